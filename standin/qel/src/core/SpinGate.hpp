#pragma once
// Waiting by spinning for a short while before sleeping. A thread that sleeps on a
// condition and is woken again costs tens of microseconds on an idle machine: the
// core it is woken on has to leave its idle state first. Where what a thread waits
// for usually comes within microseconds (the reply of a service in another process,
// the next request of a client that calls in a loop), it keeps its core awake
// instead, yielding it to any other thread that is ready to run. The gate learns from
// the waits: it spins only while recent waits ended within its limit, so a thread
// whose waits are long sleeps at once and burns no time.
#include <sched.h>

#include <atomic>
#include <chrono>

namespace tav::qel::embedded {

class SpinGate {
public:
    using Clock = std::chrono::steady_clock;

    // A limit of zero makes a gate that never spins.
    explicit SpinGate(std::chrono::microseconds limit) noexcept : limit_(limit), open_(limit.count() > 0) {}

    std::chrono::microseconds limit() const noexcept { return limit_; }
    bool spins() const noexcept { return limit_.count() > 0; }

    // Spins until ready() or the limit: true when ready() said so. Does not spin at
    // all (false) while recent waits were longer than the limit.
    template <class Ready>
    bool spin(Ready&& ready) {
        if (!open_.load(std::memory_order_relaxed)) {
            return false;
        }
        const Clock::time_point until = Clock::now() + limit_;
        do {
            if (ready()) {
                return true;
            }
            sched_yield();
        } while (Clock::now() < until);
        if (ready()) {
            return true;
        }
        open_.store(false, std::memory_order_relaxed);  // sleeps until a short wait again
        return false;
    }

    // Tells how long a wait that ended by sleeping took in all, counted from when the
    // thread began to wait: a short one opens the gate again.
    void slept(Clock::duration took) noexcept {
        if (took < limit_) {  // never for a limit of zero
            open_.store(true, std::memory_order_relaxed);
        }
    }

private:
    const std::chrono::microseconds limit_;
    std::atomic<bool> open_;
};

}  // namespace tav::qel::embedded
