#include "Pending.hpp"

#include "ClientState.hpp"
#include "EngineState.hpp"
#include "ReplyError.hpp"
#include "ServicePort.hpp"
#include "../core/InterruptibleWait.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded::reqrep {

Pending::Pending(std::shared_ptr<ClientState> client) : client_(std::move(client)) {}

Pending::~Pending() = default;

bool Pending::fail(std::exception_ptr error) {
    if (!claim()) {
        return false;
    }
    detach();
    deliverError(std::move(error));
    return true;
}

void Pending::expire() {
    if (claimed()) {
        return;
    }
    fail(std::make_exception_ptr(tav::qel::TimeoutException(timeoutText())));
}

void Pending::detach() {
    // The common path (a prompt reply to a call that never waited for its service)
    // touches neither the timer nor the port.
    if (timed_) {
        client_->engine().timer.disarm(*this);
    }
    client_->untrack(*this);
    if (everParked_.load()) {
        client_->port().unlink(*this);
    }
}

Call::Call(std::shared_ptr<ClientState> client, tav::qel::rr::detail::Request request, Mode mode)
    : Pending(std::move(client)), request_(std::move(request)), mode_(mode) {
    if (mode_ == Mode::Promised) {
        promise_.emplace();
    }
}

Call::~Call() = default;

boost::future<std::string> Call::future() { return promise_->get_future(); }

bool Call::succeed(std::string reply) {
    if (!claim()) {
        return false;
    }
    detach();
    if (mode_ == Mode::Promised) {
        promise_->set_value(std::move(reply));
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reply_ = std::move(reply);
        finished_.store(true, std::memory_order_release);
    }
    done_.notify_all();
    return true;
}

void Call::deliverError(std::exception_ptr error) {
    if (mode_ == Mode::Promised) {
        promise_->set_exception(futureErrorOf(std::move(error)));
    } else {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            error_ = std::move(error);
            finished_.store(true, std::memory_order_release);
        }
        done_.notify_all();
    }
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(abandonMutex_);
        ended_ = true;
        hook = std::move(onAbandon_);
    }
    if (hook) {
        hook();
    }
}

void Call::setOnAbandon(std::function<void()> hook) {
    {
        std::lock_guard<std::mutex> lock(abandonMutex_);
        if (!ended_) {
            onAbandon_ = std::move(hook);
            return;
        }
    }
    hook();  // it ended meanwhile
}

std::string Call::wait(Clock::time_point deadline) {
    const SpinGate::Clock::time_point began = SpinGate::Clock::now();
    SpinGate& gate = client_->replySpin();
    const bool spun = gate.spin([this] { return finished_.load(std::memory_order_acquire); });
    std::unique_lock<std::mutex> lock(mutex_);
    bool finished = spun;
    try {
        if (!spun) {
            finished = waitInterruptibly(done_, lock, deadline, [this] { return finished_.load(); });
            gate.slept(SpinGate::Clock::now() - began);
        }
    } catch (...) {
        // The caller gave up waiting: the call is withdrawn, and a reply that still
        // comes is discarded.
        lock.unlock();
        fail(std::make_exception_ptr(tav::qel::QelException("the caller of " + request_.command +
                                                            " stopped waiting for its reply")));
        throw;
    }
    if (!finished) {
        lock.unlock();
        expire();
        lock.lock();
        // Whoever completed the call first delivers its outcome now, if not yet.
        done_.wait(lock, [this] { return finished_.load(); });
    }
    if (error_) {
        std::rethrow_exception(error_);
    }
    return std::move(reply_);
}

std::string Call::timeoutText() const {
    return "no reply to " + request_.command + " from " + client_->endpoint() + " within " +
           std::to_string(client_->replyTime().count()) + " ms";
}

ConnectWait::ConnectWait(std::shared_ptr<ClientState> client) : Pending(std::move(client)) {}

ConnectWait::~ConnectWait() = default;

bool ConnectWait::succeed() {
    if (!claim()) {
        return false;
    }
    detach();
    promise_.set_value();
    return true;
}

void ConnectWait::deliverError(std::exception_ptr error) { promise_.set_exception(futureErrorOf(std::move(error))); }

std::string ConnectWait::timeoutText() const {
    return "service " + client_->endpoint() + " not reachable within " +
           std::to_string(client_->replyTime().count()) + " ms";
}

}  // namespace tav::qel::embedded::reqrep
