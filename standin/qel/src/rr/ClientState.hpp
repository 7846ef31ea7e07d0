#pragma once
// A client of one service endpoint: sends requests, tracks them until they complete,
// and owns the connection listeners registered through it.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <boost/thread/future.hpp>

#include "ListenerRecord.hpp"
#include "Pending.hpp"
#include "../core/SpinGate.hpp"
#include "tav/qel/Qel.hpp"
#include "tav/qel/rr/ListenerRegistration.hpp"
#include "tav/qel/rr/detail/Request.hpp"

namespace tav::qel::embedded::reqrep {

struct EngineState;
class ServicePort;

class ClientState : public std::enable_shared_from_this<ClientState> {
public:
    ClientState(std::shared_ptr<EngineState> engine, std::weak_ptr<tav::qel::Qel> qel,
                std::shared_ptr<ServicePort> port, std::chrono::milliseconds replyTime);
    ~ClientState();
    ClientState(const ClientState&) = delete;
    ClientState& operator=(const ClientState&) = delete;

    boost::future<std::string> call(tav::qel::rr::detail::Request request);
    std::string callSync(tav::qel::rr::detail::Request request);
    // A request that came from a caller in another process and owns its argument:
    // no copy is made. It fails with TimeoutException once the caller stopped
    // waiting (replyTime after its arrival; zero: never), so that a service that
    // was hung does not run requests nobody waits for any more. call is set to the
    // request's call, which a cancellation fails.
    boost::future<std::string> forward(tav::qel::rr::detail::Request request, std::chrono::milliseconds replyTime,
                                       std::weak_ptr<Call>& call);
    boost::future<void> asyncConnect();
    tav::qel::rr::ListenerRegistration registerConnectionListener(std::function<void(bool)> listener);
    std::shared_ptr<tav::qel::Qel> qel() const { return qel_.lock(); }
    // Fails every pending operation with ClosedException and releases the listeners;
    // later operations fail at once.
    void close();
    // The owner let go of the client without closing it: the listeners are released
    // and the waits for the service fail with ClosedException (nothing could use the
    // connection), while the requests already sent complete as usual, by their reply
    // or their timeout (each keeps the state alive until then; shutdown still fails
    // them).
    void release();

    const std::string& endpoint() const noexcept;
    std::chrono::milliseconds replyTime() const noexcept { return replyTime_; }
    ServicePort& port() noexcept { return *port_; }
    EngineState& engine() noexcept { return *engine_; }
    // How a synchronous caller of this client waits for its reply: spinning first
    // while the replies have been prompt.
    SpinGate& replySpin() noexcept { return replySpin_; }
    // Forgets a pending operation that completed.
    void untrack(Pending& pending);

private:
    void track(const std::shared_ptr<Pending>& pending);
    void forget(const std::shared_ptr<ListenerRecord>& listener);
    void throwIfClosed();

    const std::shared_ptr<EngineState> engine_;
    const std::weak_ptr<tav::qel::Qel> qel_;
    const std::shared_ptr<ServicePort> port_;
    const std::chrono::milliseconds replyTime_;
    SpinGate replySpin_{std::chrono::microseconds(200)};

    std::mutex mutex_;
    bool closed_ = false;
    PendingList pending_;
    std::vector<std::shared_ptr<ListenerRecord>> listeners_;
};

}  // namespace tav::qel::embedded::reqrep
