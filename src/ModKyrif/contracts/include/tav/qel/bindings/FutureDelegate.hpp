#pragma once
#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include <unistd.h>

#include <boost/thread/future.hpp>

#include "tav/qel/bindings/SignalHandlers.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"

namespace tav::qel::bindings {

// Base of every future wrapper handed to Python. Each operation is entered with the
// interpreter lock held, releases it while it looks at or waits on the future, and
// takes it back before it returns or raises.
class FutureBaseDelegate {
public:
    virtual bool valid() = 0;
    virtual void wait() const = 0;
    virtual boost::future_status wait_for(const std::chrono::milliseconds& timeout) const = 0;
    virtual ~FutureBaseDelegate() = default;
};

// Wraps one middleware future of R. Waiting never consumes the result; retrieving
// it is the business of the Python class that exposes the wrapper.
template <class R, class P>
class FutureDelegate : public virtual FutureBaseDelegate {
public:
    explicit FutureDelegate(boost::future<R>&& future) : future_(std::move(future)) {}
    FutureDelegate(FutureDelegate&& other) noexcept : future_(std::move(other.future_)), owner_(other.owner_) {}
    FutureDelegate(const FutureDelegate&) = delete;
    FutureDelegate& operator=(const FutureDelegate&) = delete;
    // In a forked process the result may still be completed by threads that only the
    // parent has, so its state is kept, never released.
    // Its shared state is then deliberately leaked: releasing it could wait for a lock
    // that one of those threads held at the fork.
    ~FutureDelegate() override {
        if (getpid() != owner_ && future_.valid()) {
            new boost::future<R>(std::move(future_));
        }
    }

    bool valid() override {
        return withoutGil([this] { return future_.valid(); });
    }

    void wait() const override {
        ensureOwningProcess();
        withoutGil([this] {
            if (!future_.valid()) {
                boost::throw_exception(boost::future_uninitialized());
            }
            waitUntil(Clock::time_point::max());
        });
    }

    boost::future_status wait_for(const std::chrono::milliseconds& timeout) const override {
        ensureOwningProcess();
        return withoutGil([this, &timeout] {
            const auto deadline = deadlineAfter(timeout);
            if (!future_.valid()) {
                boost::throw_exception(boost::future_uninitialized());
            }
            return waitUntil(deadline);
        });
    }

    // The wrapped future, for the operation that retrieves the result.
    boost::future<R>& future() { return future_; }

    // now + timeout on the steady clock, the timeout taken in nanoseconds and
    // saturated so that huge timeouts mean "no deadline" rather than overflow.
    static boost::chrono::steady_clock::time_point deadlineAfter(const std::chrono::milliseconds& timeout) {
        using Clock = boost::chrono::steady_clock;
        constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max();
        const std::int64_t ms = timeout.count();
        const auto now = Clock::now();
        if (ms <= 0) {
            return now;
        }
        if (ms > limit / 1000000) {
            return Clock::time_point::max();
        }
        const std::int64_t ns = ms * 1000000;
        if (now.time_since_epoch().count() > limit - ns) {
            return Clock::time_point::max();
        }
        return now + boost::chrono::nanoseconds(ns);
    }

private:
    using Clock = boost::chrono::steady_clock;

    // A process forked after this future was made has none of the threads that would
    // complete it: waiting there is refused instead of lasting for ever.
    void ensureOwningProcess() const {
        if (getpid() != owner_) {
            throw tav::qel::QelException(
                "this pending result belongs to process " + std::to_string(owner_) +
                ", from which this process was forked: the middleware cannot be used in a process forked after "
                "it started (start processes with the 'spawn' or 'forkserver' method of multiprocessing)");
        }
    }

    // Waits, with the interpreter lock released, until the result is ready or the
    // deadline passes (time_point::max(): without end). On the main thread the wait
    // runs the due signal handlers every signalCheckInterval; a handler's exception
    // ends it and passes on, the future untouched and still waitable. A deferred
    // result is run by a wait without end, as future::wait does.
    boost::future_status waitUntil(Clock::time_point deadline) const {
        const bool endless = deadline == Clock::time_point::max();
        if (!runsSignalHandlers()) {
            if (endless) {
                future_.wait();
                return boost::future_status::ready;
            }
            return future_.wait_until(deadline);
        }
        const Clock::duration interval = boost::chrono::milliseconds(signalCheckInterval.count());
        for (;;) {
            const auto now = Clock::now();
            const auto status = future_.wait_until(deadline - now < interval ? deadline : now + interval);
            if (status == boost::future_status::deferred && endless) {
                future_.wait();
                return boost::future_status::ready;
            }
            if (status != boost::future_status::timeout) {
                return status;
            }
            if (Clock::now() >= deadline) {
                return boost::future_status::timeout;
            }
            runDueSignalHandlers();
        }
    }

    mutable boost::future<R> future_;
    pid_t owner_ = getpid();
};

}  // namespace tav::qel::bindings
