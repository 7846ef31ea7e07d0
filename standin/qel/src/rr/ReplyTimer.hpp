#pragma once
// Deadlines of asynchronous calls and connection waits: one thread per engine that
// expires each armed item when its deadline passes.
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace tav::qel::embedded::reqrep {

using Clock = std::chrono::steady_clock;

// The deadline that lies `time` from now, saturated far in the future so that a huge
// reply time never overflows the clock.
Clock::time_point deadlineAfter(std::chrono::milliseconds time);

class ReplyTimer;

// Something that gives up at a deadline. expire() runs on the timer thread, with no
// lock of the timer held.
class Expirable {
public:
    virtual ~Expirable();
    virtual void expire() = 0;

private:
    friend class ReplyTimer;
    using Slot = std::multimap<Clock::time_point, std::weak_ptr<Expirable>>::iterator;
    Slot slot_{};
    bool armed_ = false;  // guarded by the timer's mutex
};

class ReplyTimer {
public:
    ReplyTimer();
    ~ReplyTimer();
    ReplyTimer(const ReplyTimer&) = delete;
    ReplyTimer& operator=(const ReplyTimer&) = delete;

    // The timer keeps only a weak reference: an item that goes away is simply not expired.
    void arm(const std::shared_ptr<Expirable>& item, Clock::time_point deadline);
    void disarm(Expirable& item);
    // Ends the thread; armed items never expire afterwards.
    void stop();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    // When the thread wakes next by itself (max: only when woken).
    Clock::time_point wakeAt_ = Clock::time_point::max();
    std::multimap<Clock::time_point, std::weak_ptr<Expirable>> entries_;
    std::thread thread_;
};

}  // namespace tav::qel::embedded::reqrep
