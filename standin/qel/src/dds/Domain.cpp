// Participants per domain and the topics made in them.
#include "Domain.hpp"

#include <pthread.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "EngineLog.hpp"
#include "tav/qel/InterruptionHook.hpp"
#include "tav/qel/LogHook.hpp"
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

// How long discovery must have been quiet before a participant that joined a short
// while ago takes what it knows of the others as complete; after kFreshFor it always
// does (announcements of processes that start later are then news, not backlog).
constexpr auto kQuiet = std::chrono::milliseconds(100);
constexpr auto kFreshFor = std::chrono::seconds(10);

// Marks every unread announcement of reader as read; true when there was one.
bool anyNews(dds_entity_t reader) {
    void* samples[16] = {nullptr};
    dds_sample_info_t infos[16];
    bool news = false;
    for (;;) {
        const dds_return_t n = dds_read_mask(reader, samples, infos, 16, 16, DDS_NOT_READ_SAMPLE_STATE);
        if (n <= 0) {
            return news;
        }
        news = true;
        dds_return_loan(reader, samples, n);
        samples[0] = nullptr;
    }
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
    EngineLog::takeReason();  // nothing said before concerns this domain
    if (!fromEnvironment) {
        const std::string configuration = settings.configuration(id);
        const dds_entity_t domain = dds_create_domain(id, configuration.c_str());
        if (domain < 0 && domain != DDS_RETCODE_PRECONDITION_NOT_MET) {
            throw QelException("cannot join domain " + std::to_string(id) + " with " + settings.describe() + ": " +
                               engineError(domain) + EngineLog::takeReason());
        }
    }
    const dds_entity_t participant = dds_create_participant(id, nullptr, nullptr);
    if (participant < 0) {
        throw QelException("cannot join domain " + std::to_string(id) + ": " + engineError(participant) +
                           EngineLog::takeReason());
    }
    auto domain = std::make_shared<Domain>(id, participant, settings, fromEnvironment);
    domains.domains.emplace(id, domain);
    return domain;
}

bool Domain::closeAll(std::chrono::milliseconds bound) {
    Registry& domains = registry();
    {
        std::lock_guard<std::mutex> lock(domains.mutex);
        if (domains.closed) {
            return true;
        }
        domains.closed = true;
        if (domains.domains.empty()) {
            return true;
        }
    }
    // The participants' handles die with the engine; the domains stay in the
    // registry (never destroyed), so nothing deletes them a second time. The deletion
    // runs on a thread of its own so that this wait can end.
    struct Ending {
        std::mutex mutex;
        std::condition_variable done;
        bool ended = false;
    };
    auto ending = std::make_shared<Ending>();
    try {
        std::thread([ending] {
            pthread_setname_np(pthread_self(), "qel-engine-end");
            dds_delete(DDS_CYCLONEDDS_HANDLE);
            std::lock_guard<std::mutex> lock(ending->mutex);
            ending->ended = true;
            ending->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        dds_delete(DDS_CYCLONEDDS_HANDLE);  // no thread to spare: wait as before
        return true;
    }
    const InterruptionHook* hook = interruptionHook();
    const bool checked = hook != nullptr && hook->applies();
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::unique_lock<std::mutex> lock(ending->mutex);
    while (!ending->ended && std::chrono::steady_clock::now() < deadline) {
        ending->done.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                             std::chrono::milliseconds(interruptionIntervalMs)));
        if (checked && !ending->ended) {
            lock.unlock();
            try {
                hook->check();
            } catch (...) {
                logMessage(LogLevel::Warning, kTransportLogger,
                           "exit interrupted while the engine was shutting down; its threads are left behind");
                return false;
            }
            lock.lock();
        }
    }
    if (!ending->ended) {
        logMessage(LogLevel::Warning, kTransportLogger,
                   "the engine did not shut down within " + std::to_string(bound.count()) +
                       " ms (a network interface it used may have gone); its threads are left behind");
        return false;
    }
    return true;
}

Domain::Domain(std::uint32_t id, dds_entity_t participant, DomainSettings settings, bool fromEnvironment)
    : id_(id),
      participant_(participant),
      settings_(std::move(settings)),
      fromEnvironment_(fromEnvironment),
      joined_(std::chrono::steady_clock::now()) {}

Domain::~Domain() {
    dds_delete(participant_);
}

Domain::Discovered Domain::discovered(const std::string& topicName) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (participantsSeen_ == 0) {
        participantsSeen_ = dds_create_reader(participant_, DDS_BUILTIN_TOPIC_DCPSPARTICIPANT, nullptr, nullptr);
        readersSeen_ = dds_create_reader(participant_, DDS_BUILTIN_TOPIC_DCPSSUBSCRIPTION, nullptr, nullptr);
        dds_get_guid(participant_, &self_);
    }
    Discovered result;
    if (participantsSeen_ < 0 || readersSeen_ < 0) {
        result.settled = true;  // nothing to learn from: the writer's own matching decides
        return result;
    }
    bool news = anyNews(participantsSeen_);
    // Every announcement in one read (one instance per reader; a domain of hundreds
    // of processes has a few thousand), counting the new ones as news.
    constexpr std::size_t kMost = 8192;
    if (seenSamples_.empty()) {
        seenSamples_.resize(kMost);
        seenInfos_.resize(kMost);
    }
    std::vector<void*>& samples = seenSamples_;
    std::vector<dds_sample_info_t>& infos = seenInfos_;
    samples[0] = nullptr;
    const dds_return_t n = dds_read(readersSeen_, samples.data(), infos.data(), kMost, kMost);
    for (dds_return_t i = 0; i < n; ++i) {
        const auto* endpoint = static_cast<const dds_builtintopic_endpoint_t*>(samples[i]);
        news = news || infos[i].sample_state == DDS_SST_NOT_READ;
        if (infos[i].valid_data && infos[i].instance_state == DDS_IST_ALIVE &&
            std::strcmp(endpoint->topic_name, topicName.c_str()) == 0 &&
            std::memcmp(&endpoint->participant_key, &self_, sizeof self_) != 0) {
            ++result.readers;
        }
    }
    if (n > 0) {
        dds_return_loan(readersSeen_, samples.data(), n);
    }
    if (news) {
        lastChange_ = now;
    }
    result.settled = now - lastChange_ >= kQuiet || now - joined_ >= kFreshFor;
    return result;
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
