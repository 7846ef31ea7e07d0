#pragma once
// Timeouts of the middleware's waits.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>

#include "InterruptibleWait.hpp"

namespace tav::qel::embedded {

// A point in time a wait gives up at. Negative timeouts are no wait at all; a
// timeout too long to be added to the clock (more than about thirty years) is a
// wait without end rather than an overflow.
class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds timeout)
        : unbounded_(timeout.count() > kUnboundedMs),
          at_(std::chrono::steady_clock::now() +
              std::chrono::milliseconds(timeout.count() < 0 || unbounded_ ? 0 : timeout.count())) {}

    // Waits until done() holds or the deadline passes; returns done(). The wait may
    // be abandoned by an exception of the interruption hook (waitInterruptibly).
    template <class Done>
    bool wait(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Done done) const {
        return waitInterruptibly(cv, lock, unbounded_ ? std::nullopt : std::optional(at_), done);
    }

    // The same, counted in `waiting` (guarded by the lock) for as long as it waits,
    // also when the wait is abandoned.
    template <class Done>
    bool wait(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, std::size_t& waiting,
              Done done) const {
        ++waiting;
        try {
            const bool result = wait(cv, lock, done);
            --waiting;
            return result;
        } catch (...) {
            --waiting;
            throw;
        }
    }

private:
    static constexpr long long kUnboundedMs = 1000LL * 60 * 60 * 24 * 365 * 30;
    bool unbounded_;
    std::chrono::steady_clock::time_point at_;
};

inline std::string millisecondsText(std::chrono::milliseconds timeout) {
    return std::to_string(timeout.count()) + " ms";
}

// Seconds since the epoch, the unit of source timestamps.
inline double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace tav::qel::embedded
