#pragma once
// A test-only service interface for driving the request/reply engine directly: its
// requests run a handler chosen by each test.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rr/RrEngine.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/TypeSupport.hpp"
#include "tav/qel/ps/DataEntity.hpp"
#include "tav/qel/rr/RrEntity.hpp"
#include "tav/qel/rr/qos/QoS.hpp"

namespace rrtest {

using tav::qel::rr::detail::Request;
using namespace std::chrono_literals;

constexpr const char* library = "rr-engine-test";
constexpr const char* syncType = "SyncProbe";
constexpr const char* asyncType = "AsyncProbe";
constexpr const char* dataType = "DataProbe";

class ProbeService : public virtual tav::qel::rr::RrEntity {
public:
    using Handler = std::function<boost::future<std::string>(const Request&)>;
    explicit ProbeService(Handler handler) : handler_(std::move(handler)) {}
    boost::future<std::string> handle(const Request& request) { return handler_(request); }

private:
    Handler handler_;
};

// A service that answers at once with the command, a colon and the text.
inline std::shared_ptr<ProbeService> echoService() {
    return std::make_shared<ProbeService>([](const Request& request) {
        return boost::make_ready_future(request.command + ":" + request.text);
    });
}

// A sample with one text field, standing in for an interface's structure.
class Probe : public tav::qel::ps::DataEntity<Probe> {
public:
    std::string value;
    std::unique_ptr<DataEntityBase> cloneEntity() const override { return std::make_unique<Probe>(*this); }
    std::unique_ptr<DataEntityBase> cloneKeyEntity() const override { return std::make_unique<Probe>(); }
    bool keyEqualsEntity(const DataEntityBase& other) const override { return dynamic_cast<const Probe*>(&other); }
    bool hasKeyEntity() const override { return false; }
    std::size_t keyHash() const override { return 0; }
    void assignEntity(const DataEntityBase& other) override { value = dynamic_cast<const Probe&>(other).value; }
    const char* entityTypeName() const override { return "Probe"; }
};

// An interface's own exception: it must reach the client as itself.
class ProbeError : public tav::qel::QelException {
public:
    ProbeError(const std::string& what, int code) : QelException(what), code(code) {}
    int code;
};

inline boost::future<std::string> probeDispatch(tav::qel::rr::RrEntity& service, const Request& request) {
    return dynamic_cast<ProbeService&>(service).handle(request);
}

class DataOnlySupport : public tav::qel::TypeSupport {
public:
    tav::qel::TypeRole role() const override { return tav::qel::TypeRole::Data; }
};

// Makes the probe types known to the middleware (once per process).
inline void registerProbeTypes() {
    static const bool done = [] {
        auto& registry = tav::qel::TypeRegistry::instance();
        registry.add(library, syncType,
                     std::make_shared<tav::qel::ServiceTypeSupport>(tav::qel::TypeRole::SyncService, &probeDispatch));
        registry.add(library, asyncType,
                     std::make_shared<tav::qel::ServiceTypeSupport>(tav::qel::TypeRole::AsyncService, &probeDispatch));
        registry.add(library, dataType, std::make_shared<DataOnlySupport>());
        return true;
    }();
    (void)done;
}

inline tav::qel::rr::qos::QoSList replyTime(std::chrono::milliseconds time) {
    return {std::make_shared<tav::qel::rr::qos::ReplyTime>(time)};
}

// Collects what listeners hear, so that a test can wait for it.
class Heard {
public:
    std::function<void(bool)> listener() {
        // Notified under the lock, so that the waiter cannot destroy this first.
        return [this](bool reachable) {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back(reachable);
            changed_.notify_all();
        };
    }
    // The events once there are at least count of them, or after the wait.
    std::vector<bool> waitFor(std::size_t count, std::chrono::milliseconds wait = 2000ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, wait, [&] { return events_.size() >= count; });
        return events_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> events_;
};

// A one-shot gate between threads.
class Gate {
public:
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool wait(std::chrono::milliseconds wait = 5000ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, wait, [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

}  // namespace rrtest
