// The embedded middleware: creation of entities and shutdown.
#include "EmbeddedQel.hpp"

#include <limits>

#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/OwningProcess.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/TypeSupport.hpp"

namespace tav::qel::embedded {

Properties EmbeddedQel::defaultProperties() {
    return Properties{{"qel.middleware", "embedded"},
                      {"ps.queueDepth", "1024"},
                      {"rr.replyTimeMs", "5000"},
                      {"rr.workerThreads", "4"}};
}

std::size_t positiveProperty(const Properties& properties, const std::string& key, std::size_t fallback) {
    auto it = properties.find(key);
    if (it == properties.end()) {
        return fallback;
    }
    const std::string& text = it->second;
    std::size_t value = 0;
    bool valid = !text.empty() && text.size() <= 19;
    for (char c : text) {
        if (c < '0' || c > '9') {
            valid = false;
            break;
        }
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    if (!valid || value == 0) {
        throw QelException("property '" + key + "' must be a whole number from 1 up, not '" + text + "'");
    }
    return value;
}

std::size_t queueDepthOf(const ps::qos::QoSList& qos, const Properties& properties) {
    const ps::qos::QueueDepth* setting = nullptr;
    for (const auto& entry : qos) {
        if (auto depth = dynamic_cast<const ps::qos::QueueDepth*>(entry.get())) {
            setting = depth;
        }
    }
    if (setting != nullptr) {
        if (setting->getDepth() == 0) {
            throw QelException("QoS QueueDepth must be at least 1");
        }
        return setting->getDepth();
    }
    return positiveProperty(properties, "ps.queueDepth", 1024);
}

EmbeddedQel::EmbeddedQel(Private)
    : Qel(defaultProperties()), dataAccess_(std::make_shared<DataAccessStore>()) {}

EmbeddedQel::~EmbeddedQel() = default;

std::shared_ptr<EmbeddedQel> EmbeddedQel::create() {
    noteMiddlewareStarted();
    auto qel = std::make_shared<EmbeddedQel>(Private{});
    qel->ps_.setQel(qel);
    return qel;
}

void EmbeddedQel::checkRunning(const std::string& what) const {
    ensureOwningProcess("the middleware");
    if (shutDown_.load()) {
        throw ClosedException("cannot create " + what + ": the middleware has shut down");
    }
}

std::shared_ptr<const ps::detail::DataTypeSupportBase> EmbeddedQel::dataType(const std::string& libraryName,
                                                                            const std::string& typeName) {
    auto support = std::dynamic_pointer_cast<const ps::detail::DataTypeSupportBase>(
        TypeRegistry::instance().find(libraryName, typeName, TypeRole::Data));
    if (!support) {
        throw QelException("type '" + typeName + "' of library '" + libraryName +
                           "' was not registered as a data structure");
    }
    return support;
}

void* EmbeddedQel::createPublisher(const std::string& libraryName, const std::string& typeName,
                                   const std::string& endpoint, const ps::qos::QoSList&, const Properties&) {
    checkRunning("a publisher for '" + endpoint + "'");
    auto support = dataType(libraryName, typeName);
    return support->makePublisher(ps_.makePublisher(endpoint, libraryName, typeName, support));
}

void* EmbeddedQel::createSubscriber(const std::string& libraryName, const std::string& typeName,
                                    const std::string& endpoint, const ps::qos::QoSList& qos,
                                    const Properties& properties) {
    checkRunning("a subscriber for '" + endpoint + "'");
    auto support = dataType(libraryName, typeName);
    const std::size_t depth = queueDepthOf(qos, properties);
    return support->makeSubscriber(ps_.makeSubscriber(endpoint, libraryName, typeName, support, depth));
}

void* EmbeddedQel::createMrvSubscriber(const std::string& libraryName, const std::string& typeName,
                                       const std::string& endpoint, const ps::qos::QoSList&, const Properties&) {
    checkRunning("a most-recent-value subscriber for '" + endpoint + "'");
    auto support = dataType(libraryName, typeName);
    return support->makeMrvSubscriber(ps_.makeMrvSubscriber(endpoint, libraryName, typeName, support));
}

void* EmbeddedQel::createClient(const std::string& libraryName, const std::string& typeName,
                                const std::string& endpoint, const rr::qos::QoSList& qos,
                                const Properties& properties) {
    checkRunning("a client for '" + endpoint + "'");
    auto support = std::dynamic_pointer_cast<const ClientTypeSupport>(
        TypeRegistry::instance().find(libraryName, typeName, TypeRole::Client));
    if (!support) {
        throw QelException("type '" + typeName + "' of library '" + libraryName + "' was not registered as a client");
    }
    return support->make(rr_.makeClient(weak_from_this(), endpoint, qos, properties));
}

ps::DataEntityBase* EmbeddedQel::createDataEntity(const std::string& libraryName, const std::string& typeName) {
    checkRunning("a sample of type '" + typeName + "'");
    return dataType(libraryName, typeName)->newEntity();
}

std::shared_ptr<rr::Server> EmbeddedQel::createServer(const std::string& endpoint, const rr::qos::QoSList& qos,
                                                      const Properties& properties) {
    checkRunning("a server for '" + endpoint + "'");
    return rr_.makeServer(weak_from_this(), endpoint, qos, properties);
}

std::unique_ptr<rr::da::DataAccessSync> EmbeddedQel::createDataAccess(const std::string& endpoint,
                                                                      const rr::qos::QoSList&, const Properties&) {
    checkRunning("data access for '" + endpoint + "'");
    return dataAccess_->makeClient(endpoint);
}

void EmbeddedQel::shutdown() {
    if (inForkedProcess()) {
        return;  // its threads and entities are the parent's, which shuts them down
    }
    // Concurrent callers wait for the first to finish, so that every caller returns
    // with every thread of the middleware stopped.
    // The first may be waiting for a handler that needs the caller's interpreter
    // lock, so the wait for it goes through the blocking hook.
    std::unique_lock<std::mutex> lock(shutdownMutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
        runBlocking([&] { lock.lock(); });
    }
    if (shutDown_.exchange(true)) {
        return;
    }
    ps_.shutdown();
    dataAccess_->shutdown();
    rr_.shutdown();
}

bool EmbeddedQel::isShutDown() const {
    return shutDown_.load();
}

}  // namespace tav::qel::embedded
