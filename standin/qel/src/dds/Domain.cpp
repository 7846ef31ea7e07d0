// Participants per domain and the topics made in them.
#include "Domain.hpp"

#include <cstdlib>
#include <unordered_map>

#include "tav/qel/OwningProcess.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::uint32_t, std::shared_ptr<Domain>> domains;
    bool closed = false;
};

Registry& registry() {
    // Never destroyed: entities may still be closed while the process ends.
    static Registry* instance = new Registry();
    return *instance;
}

bool configuredByEnvironment() {
    const char* uri = std::getenv("CYCLONEDDS_URI");
    return uri != nullptr && *uri != '\0';
}

}  // namespace

std::string engineError(dds_return_t code) {
    return std::string(dds_strretcode(code));
}

std::shared_ptr<Domain> Domain::open(std::uint32_t id, const Properties& properties) {
    ensureOwningProcess("the middleware");
    noteMiddlewareStarted();  // the engine starts its threads here
    const DomainSettings settings = DomainSettings::from(properties);
    Registry& domains = registry();
    std::lock_guard<std::mutex> lock(domains.mutex);
    if (domains.closed) {
        throw ClosedException("cannot join domain " + std::to_string(id) + ": the middleware has shut down");
    }
    auto it = domains.domains.find(id);
    if (it != domains.domains.end()) {
        const Domain& domain = *it->second;
        if (!domain.fromEnvironment_ && !(domain.settings_ == settings)) {
            throw QelException("domain " + std::to_string(id) + " is already in use in this process with " +
                               domain.settings_.describe() + "; an entity cannot ask for " + settings.describe());
        }
        return it->second;
    }
    const bool fromEnvironment = configuredByEnvironment();
    if (!fromEnvironment) {
        const std::string configuration = settings.configuration(id);
        const dds_entity_t domain = dds_create_domain(id, configuration.c_str());
        if (domain < 0 && domain != DDS_RETCODE_PRECONDITION_NOT_MET) {
            throw QelException("cannot join domain " + std::to_string(id) + " with " + settings.describe() + ": " +
                               engineError(domain));
        }
    }
    const dds_entity_t participant = dds_create_participant(id, nullptr, nullptr);
    if (participant < 0) {
        throw QelException("cannot join domain " + std::to_string(id) + ": " + engineError(participant));
    }
    auto domain = std::make_shared<Domain>(id, participant, settings, fromEnvironment);
    domains.domains.emplace(id, domain);
    return domain;
}

void Domain::closeAll() {
    Registry& domains = registry();
    std::lock_guard<std::mutex> lock(domains.mutex);
    if (domains.closed) {
        return;
    }
    domains.closed = true;
    if (!domains.domains.empty()) {
        // The participants' handles die with the engine; the domains stay in the
        // registry (never destroyed), so nothing deletes them a second time.
        dds_delete(DDS_CYCLONEDDS_HANDLE);
    }
}

Domain::Domain(std::uint32_t id, dds_entity_t participant, DomainSettings settings, bool fromEnvironment)
    : id_(id), participant_(participant), settings_(std::move(settings)), fromEnvironment_(fromEnvironment) {}

Domain::~Domain() {
    dds_delete(participant_);
}

dds_entity_t Domain::topic(const std::string& name, const WireType& wire, const std::string& typeName) {
    return topic(name, wire.descriptor(), typeName);
}

dds_entity_t Domain::topic(const std::string& name, const void* wireDescriptor, const std::string& typeName) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = topics_.find(name);
    if (it != topics_.end()) {
        if (it->second.descriptor != wireDescriptor) {
            throw QelException("topic '" + name + "' of domain " + std::to_string(id_) + " carries type '" +
                               it->second.typeName + "' in this process, not '" + typeName + "'");
        }
        return it->second.topic;
    }
    const auto* descriptor = static_cast<const dds_topic_descriptor_t*>(wireDescriptor);
    const dds_entity_t topic = dds_create_topic(participant_, descriptor, name.c_str(), nullptr, nullptr);
    if (topic < 0) {
        throw QelException("cannot make topic '" + name + "' of type '" + typeName + "' in domain " +
                           std::to_string(id_) + ": " + engineError(topic));
    }
    topics_.emplace(name, TopicEntry{topic, wireDescriptor, typeName});
    return topic;
}

}  // namespace tav::qel::dds
