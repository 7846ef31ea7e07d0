#pragma once
#include <chrono>
#include <cstdint>
#include <limits>
#include <utility>

#include "tav/qel/BoostThread.hpp"
#include "tav/qel/OwningProcess.hpp"
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
    FutureDelegate(FutureDelegate&& other) noexcept : future_(std::move(other.future_)) {}
    FutureDelegate(const FutureDelegate&) = delete;
    FutureDelegate& operator=(const FutureDelegate&) = delete;
    // In a forked process the result may still be completed by threads that only the
    // parent has, so its state is kept, never released.
    ~FutureDelegate() override {
        if (tav::qel::inForkedProcess() && future_.valid()) {
            tav::qel::abandonState(std::make_shared<boost::future<R>>(std::move(future_)));
        }
    }

    bool valid() override {
        return withoutGil([this] { return future_.valid(); });
    }

    void wait() const override {
        tav::qel::ensureOwningProcess("this pending result");
        withoutGil([this] {
            if (!future_.valid()) {
                boost::throw_exception(boost::future_uninitialized());
            }
            future_.wait();
        });
    }

    boost::future_status wait_for(const std::chrono::milliseconds& timeout) const override {
        tav::qel::ensureOwningProcess("this pending result");
        return withoutGil([this, &timeout] {
            const auto deadline = deadlineAfter(timeout);
            if (!future_.valid()) {
                boost::throw_exception(boost::future_uninitialized());
            }
            return future_.wait_until(deadline);
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
    mutable boost::future<R> future_;
};

}  // namespace tav::qel::bindings
