// Creation of publish/subscribe entities between processes, and their shutdown.
#include "DdsQel.hpp"

#include "tav/qel/OwningProcess.hpp"

#include "../embedded/EmbeddedQel.hpp"
#include "../ps/CoreFactories.hpp"
#include "Domain.hpp"
#include "EngineLog.hpp"
#include "Endpoint.hpp"
#include "EntityCores.hpp"
#include "rr/RrEndpoint.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/LogHook.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/TypeSupport.hpp"

namespace tav::qel::dds {

namespace {

using SupportPtr = std::shared_ptr<const ps::detail::DataTypeSupportBase>;

using embedded::EmbeddedQel;

// How long the exit work waits for the engine to end its threads, which normally
// takes milliseconds.
constexpr std::chrono::milliseconds kEngineEndBound{2000};

// Everything an entity of one endpoint needs from the engine.
struct Opened {
    Endpoint endpoint;
    SupportPtr support;
    std::shared_ptr<const WireType> wire;
    std::shared_ptr<Domain> domain;
    dds_entity_t topic;
};

Opened open(const std::string& libraryName, const std::string& typeName, const std::string& endpoint,
            const Properties& properties) {
    if (isRequestReplyEndpoint(endpoint)) {
        throw QelException("cannot publish or subscribe at '" + endpoint +
                           "': the scheme dds.rr carries request/reply only");
    }
    Opened opened;
    opened.endpoint = parseEndpoint(endpoint);
    opened.support = EmbeddedQel::dataType(libraryName, typeName);
    opened.wire = TypeRegistry::instance().findWireType(libraryName, typeName);
    opened.domain = Domain::open(opened.endpoint.domain, properties);
    opened.topic = opened.domain->topic(opened.endpoint.topic, *opened.wire, typeName);
    return opened;
}

// The key of the embedded engine's topic: one per domain and topic name, whatever
// spelling of the endpoint named it.
std::string localTopicName(const Endpoint& endpoint) {
    return "dds.ps://" + std::to_string(endpoint.domain) + "/" + endpoint.topic;
}

}  // namespace

Properties DdsQel::defaultProperties() {
    return Properties{{"qel.middleware", "dds"},       {"ps.queueDepth", "1024"},
                      {"dds.interfaces", "lo"},         {"dds.peers", "127.0.0.1"},
                      {"dds.leaseMs", "3000"},          {"dds.ackWaitMs", "3000"},
                      {"dds.waitForReadersMs", "10000"}, {"dds.discoveryWaitMs", "2000"},
                      {"rr.replyTimeMs", "5000"},
                      {"rr.workerThreads", "4"}};
}

DdsQel::DdsQel(Private) : Qel(defaultProperties()), shared_(std::make_shared<Shared>()) {}

DdsQel::~DdsQel() = default;

std::shared_ptr<DdsQel> DdsQel::create() {
    auto qel = std::make_shared<DdsQel>(Private{});
    qel->shared_->qel = qel;
    qel->ps_.setQel(qel);
    return qel;
}

void* DdsQel::createPublisher(const std::string& libraryName, const std::string& typeName,
                              const std::string& endpoint, const ps::qos::QoSList&, const Properties& properties) {
    checkRunning(*shared_, "cannot create a publisher for '" + endpoint + "'");
    const std::size_t ackWaitMs = embedded::positiveProperty(properties, "dds.ackWaitMs", 3000);
    const std::size_t waitFor = properties.count("dds.waitForReaders") != 0
                                    ? embedded::positiveProperty(properties, "dds.waitForReaders", 1)
                                    : 0;
    const std::size_t waitForMs = embedded::positiveProperty(properties, "dds.waitForReadersMs", 10000);
    const std::size_t discoveryWaitMs = embedded::positiveProperty(properties, "dds.discoveryWaitMs", 2000);
    Opened opened = open(libraryName, typeName, endpoint, properties);
    auto local = ps_.makePublisher(localTopicName(opened.endpoint), libraryName, typeName, opened.support);
    auto writer = std::make_shared<Writer>(opened.domain, opened.topic, opened.wire, opened.endpoint.topic,
                                           std::chrono::milliseconds(ackWaitMs),
                                           std::chrono::milliseconds(discoveryWaitMs), shared_->flusher);
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        Shared::track(shared_->writers, writer);
    }
    if (waitFor > 0) {
        writer->waitForReaders(waitFor, std::chrono::milliseconds(waitForMs));
    }
    return opened.support->makePublisher(makePublisherCore(shared_, std::move(local), std::move(writer)));
}

void* DdsQel::createSubscriber(const std::string& libraryName, const std::string& typeName,
                               const std::string& endpoint, const ps::qos::QoSList& qos,
                               const Properties& properties) {
    checkRunning(*shared_, "cannot create a subscriber for '" + endpoint + "'");
    const std::size_t depth = embedded::queueDepthOf(qos, properties);
    Opened opened = open(libraryName, typeName, endpoint, properties);
    auto state = ps_.addSubscriber(localTopicName(opened.endpoint), libraryName, typeName, opened.support, depth);
    auto local = embedded::makeSubscriberCore(state);
    Qos readerSettings;
    readerQos(readerSettings);
    auto pump = ReaderPump::make(opened.domain, opened.topic, readerSettings, opened.wire,
                                             state->topicPtr(), state, nullptr);
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        Shared::track(shared_->pumps, pump);
    }
    return opened.support->makeSubscriber(makeSubscriberCore(shared_, std::move(local), std::move(pump)));
}

void* DdsQel::createMrvSubscriber(const std::string& libraryName, const std::string& typeName,
                                  const std::string& endpoint, const ps::qos::QoSList&,
                                  const Properties& properties) {
    checkRunning(*shared_, "cannot create a most-recent-value subscriber for '" + endpoint + "'");
    Opened opened = open(libraryName, typeName, endpoint, properties);
    // Filled by the engine alone, from this process's publishers too, so that it
    // also receives the latest samples written before it joined.
    auto topic = ps_.openTopic(localTopicName(opened.endpoint), libraryName, typeName, opened.support);
    auto state = std::make_shared<embedded::MrvState>(topic);
    auto local = embedded::makeMrvSubscriberCore(state);
    Qos readerSettings;
    mrvReaderQos(readerSettings);
    auto pump = ReaderPump::make(opened.domain, opened.topic, readerSettings, opened.wire, topic,
                                             nullptr, state);
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        Shared::track(shared_->pumps, pump);
    }
    return opened.support->makeMrvSubscriber(makeMrvSubscriberCore(shared_, std::move(local), std::move(pump)));
}

void* DdsQel::createClient(const std::string& libraryName, const std::string& typeName, const std::string& endpoint,
                           const rr::qos::QoSList& qos, const Properties& properties) {
    if (!isRequestReplyEndpoint(endpoint)) {
        throw QelException("cannot create a client for '" + endpoint +
                           "': the scheme dds.ps carries publish/subscribe only");
    }
    checkRunning(*shared_, "cannot create a client for '" + endpoint + "'");
    auto support = std::dynamic_pointer_cast<const ClientTypeSupport>(
        TypeRegistry::instance().find(libraryName, typeName, TypeRole::Client));
    if (!support) {
        throw QelException("type '" + typeName + "' of library '" + libraryName + "' was not registered as a client");
    }
    return support->make(rr_.makeClient(weak_from_this(), libraryName, typeName, endpoint, qos, properties));
}

ps::DataEntityBase* DdsQel::createDataEntity(const std::string& libraryName, const std::string& typeName) {
    checkRunning(*shared_, "cannot create a sample of type '" + typeName + "'");
    return EmbeddedQel::dataType(libraryName, typeName)->newEntity();
}

std::shared_ptr<rr::Server> DdsQel::createServer(const std::string& endpoint, const rr::qos::QoSList& qos,
                                                 const Properties& properties) {
    if (!isRequestReplyEndpoint(endpoint)) {
        throw QelException("cannot create a server for '" + endpoint +
                           "': the scheme dds.ps carries publish/subscribe only");
    }
    checkRunning(*shared_, "cannot create a server for '" + endpoint + "'");
    return rr_.makeServer(weak_from_this(), endpoint, qos, properties);
}

std::unique_ptr<rr::da::DataAccessSync> DdsQel::createDataAccess(const std::string& endpoint,
                                                                 const rr::qos::QoSList&, const Properties&) {
    throw QelException("cannot create data access for '" + endpoint +
                       "': the schemes dds.ps and dds.rr carry no data access");
}

void DdsQel::shutdown() {
    if (inForkedProcess()) {
        return;  // the engine and its threads are the parent's, which shuts them down
    }
    std::unique_lock<std::mutex> lock(shutdownMutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
        runBlocking([&] { lock.lock(); });
    }
    if (shared_->shutDown.exchange(true)) {
        return;
    }
    std::vector<std::shared_ptr<Writer>> writers;
    std::vector<std::shared_ptr<ReaderPump>> pumps;
    {
        std::lock_guard<std::mutex> entities(shared_->mutex);
        for (const auto& weak : shared_->writers) {
            if (auto writer = weak.lock()) {
                writers.push_back(std::move(writer));
            }
        }
        for (const auto& weak : shared_->pumps) {
            if (auto pump = weak.lock()) {
                pumps.push_back(std::move(pump));
            }
        }
    }
    // What readers still owe is waited for once more here, and what they never
    // acknowledged is told, since no caller is left to raise it to.
    // All of them by one time, however many there are.
    auto longest = std::chrono::milliseconds(0);
    for (const auto& writer : writers) {
        longest = std::max(longest, writer->ackWait());
    }
    const auto notAfter = std::chrono::steady_clock::now() + longest;
    for (const auto& writer : writers) {
        if (const std::size_t left = writer->finish(notAfter)) {
            logMessage(LogLevel::Warning, kTransportLogger, unacknowledgedText(*writer, left) + " before the process ended");
        }
    }
    shared_->flusher->stop();
    for (const auto& pump : pumps) {
        pump->stop();
        pump->closeTarget();
    }
    ps_.shutdown();
    rr_.shutdown();
    runBlocking([] { Domain::closeAll(kEngineEndBound); });
    EngineLog::stop();
}

bool DdsQel::isShutDown() const {
    return shared_->shutDown.load();
}

}  // namespace tav::qel::dds
