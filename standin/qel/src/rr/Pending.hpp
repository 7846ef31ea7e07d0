#pragma once
// Outstanding operations of a client: requests waiting for their reply and waits for
// the service. Each completes exactly once (reply, error, timeout or close); whoever
// claims it first delivers the outcome, always outside every lock of the engine,
// because delivering may run continuations and code of an embedding interpreter.
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <boost/thread/future.hpp>

#include "ReplyTimer.hpp"
#include "tav/qel/rr/detail/Request.hpp"

namespace tav::qel::embedded::reqrep {

class ClientState;
class Pending;
using PendingList = std::list<std::shared_ptr<Pending>>;

class Pending : public Expirable, public std::enable_shared_from_this<Pending> {
public:
    explicit Pending(std::shared_ptr<ClientState> client);
    ~Pending() override;

    bool claimed() const noexcept { return claimed_.load(); }
    ClientState& client() const noexcept { return *client_; }
    // Completes with the error; false when already completed.
    bool fail(std::exception_ptr error);
    // Completes with TimeoutException.
    void expire() override;

protected:
    // Takes the right to complete; true for exactly one caller.
    bool claim() noexcept { return !claimed_.exchange(true); }
    // Removes the operation from its client, its service and the timer (after claim()).
    void detach();
    virtual void deliverError(std::exception_ptr error) = 0;
    virtual std::string timeoutText() const = 0;

    std::shared_ptr<ClientState> client_;

private:
    friend class ClientState;
    friend class ServicePort;
    friend class ServerCore;

    // Sequentially consistent with everParked_: a port keeps an operation only after
    // seeing it unclaimed, and a claimer looks for it at the port only if it was kept,
    // so neither can miss the other.
    std::atomic<bool> claimed_{false};
    std::atomic<bool> everParked_{false};
    bool timed_ = false;  // armed on the timer; set before the operation is shared
    // Membership of the owners' lists, each guarded by its owner's mutex.
    PendingList::iterator clientLink_{};
    bool inClient_ = false;
    PendingList* portList_ = nullptr;
    PendingList::iterator portLink_{};
    PendingList::iterator serverLink_{};
    bool inServer_ = false;
};

// One request. A synchronous caller waits on the call itself; an asynchronous caller
// holds the future of its promise.
class Call final : public Pending {
public:
    enum class Mode { Waited, Promised };
    Call(std::shared_ptr<ClientState> client, tav::qel::rr::detail::Request request, Mode mode);
    ~Call() override;

    const tav::qel::rr::detail::Request& request() const noexcept { return request_; }
    // Runs once, after the caller heard, if the call ends with an error (a timeout,
    // a close, a failure): a carrier that sent it to another process then tells the
    // service to drop it, unless the error was the service's own reply.
    void setOnAbandon(std::function<void()> hook);
    // When the caller stops waiting (max: never); set before the call is shared.
    Clock::time_point deadline() const noexcept { return deadline_; }
    void setDeadline(Clock::time_point deadline) noexcept { deadline_ = deadline; }
    // Completes with the reply; false when already completed.
    bool succeed(std::string reply);
    // The reply's future (Promised mode, once).
    boost::future<std::string> future();
    // Waits for the outcome (Waited mode): the reply, or its error thrown. At the
    // deadline the call fails with TimeoutException.
    std::string wait(Clock::time_point deadline);

private:
    void deliverError(std::exception_ptr error) override;
    std::string timeoutText() const override;

    tav::qel::rr::detail::Request request_;
    Mode mode_;
    Clock::time_point deadline_ = Clock::time_point::max();
    std::optional<boost::promise<std::string>> promise_;
    std::mutex mutex_;
    std::condition_variable done_;
    // Set under mutex_; read without it by a caller that spins.
    std::atomic<bool> finished_{false};
    std::string reply_;
    std::exception_ptr error_;
    std::mutex abandonMutex_;
    std::function<void()> onAbandon_;
    bool ended_ = false;  // abandonMutex_: the error was delivered
};

// An explicit connect: completes when the service is reachable.
class ConnectWait final : public Pending {
public:
    explicit ConnectWait(std::shared_ptr<ClientState> client);
    ~ConnectWait() override;
    bool succeed();
    boost::future<void> future() { return promise_.get_future(); }

private:
    void deliverError(std::exception_ptr error) override;
    std::string timeoutText() const override;

    boost::promise<void> promise_;
};

}  // namespace tav::qel::embedded::reqrep
