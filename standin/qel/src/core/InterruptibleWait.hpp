#pragma once
// The one way the middleware waits on behalf of its caller.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "tav/qel/InterruptionHook.hpp"

namespace tav::qel::embedded {

// Waits on cv until done() holds or the time `at` passes (no end when empty);
// returns done(). Every wait a caller of the middleware blocks in goes through here:
// on a thread the interruption hook applies to, the wait wakes at least every
// interruptionIntervalMs and runs the hook's check with the lock released. When the
// check throws, the lock is taken back and the exception passes on, with done()
// last seen false: whatever done() would have taken is still there. When it does
// not throw, the wait goes on towards the same end.
template <class Done>
bool waitInterruptibly(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                       std::optional<std::chrono::steady_clock::time_point> at, Done done) {
    const InterruptionHook* hook = interruptionHook();
    if (hook == nullptr || !hook->applies()) {
        if (!at) {
            cv.wait(lock, done);
            return true;
        }
        return cv.wait_until(lock, *at, done);
    }
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(interruptionIntervalMs);
    for (;;) {
        const auto now = Clock::now();
        const auto sliceEnd = at && *at - now < interval ? *at : now + interval;
        if (cv.wait_until(lock, sliceEnd, done)) {
            return true;
        }
        if (at && Clock::now() >= *at) {
            return false;
        }
        lock.unlock();
        try {
            hook->check();
        } catch (...) {
            lock.lock();
            throw;
        }
        lock.lock();
    }
}

}  // namespace tav::qel::embedded
