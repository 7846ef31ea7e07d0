#include "ReplyTimer.hpp"

#include <vector>

#include "Threads.hpp"

namespace tav::qel::embedded::reqrep {

Clock::time_point deadlineAfter(std::chrono::milliseconds time) {
    // Ten years is "never" for a reply; it keeps every later computation in range.
    constexpr std::chrono::milliseconds horizon = std::chrono::hours(24 * 365 * 10);
    if (time < std::chrono::milliseconds::zero()) {
        time = std::chrono::milliseconds::zero();
    }
    return Clock::now() + (time > horizon ? horizon : time);
}

Expirable::~Expirable() = default;

ReplyTimer::ReplyTimer() : thread_([this] { run(); }) {}

ReplyTimer::~ReplyTimer() { stop(); }

void ReplyTimer::arm(const std::shared_ptr<Expirable>& item, Clock::time_point deadline) {
    bool earliest = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || item->armed_) {
            return;
        }
        item->slot_ = entries_.emplace(deadline, item);
        item->armed_ = true;
        // The thread is woken only when it would wake too late: a disarmed item's
        // deadline stays its waking time, so calls made one after the other with the
        // same reply time do not wake it each.
        earliest = deadline < wakeAt_;
    }
    if (earliest) {
        wake_.notify_one();
    }
}

void ReplyTimer::disarm(Expirable& item) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (item.armed_) {
        entries_.erase(item.slot_);
        item.armed_ = false;
    }
}

void ReplyTimer::stop() {
    std::vector<std::thread> threads;
    // Items are released only after the lock is left: the last reference to one may
    // end a future and run its continuations.
    std::vector<std::shared_ptr<Expirable>> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (auto& entry : entries_) {
            if (auto item = entry.second.lock()) {
                item->armed_ = false;
                dropped.push_back(std::move(item));
            }
        }
        entries_.clear();
        if (thread_.joinable()) {
            threads.push_back(std::move(thread_));
        }
    }
    wake_.notify_all();
    joinThreads(threads);
}

void ReplyTimer::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (entries_.empty()) {
            wakeAt_ = Clock::time_point::max();
            wake_.wait(lock);
            continue;
        }
        auto first = entries_.begin();
        // The deadline is copied: the wait reads it again after it woke up, when the
        // entry may have been disarmed and freed by another thread.
        const Clock::time_point deadline = first->first;
        if (deadline > Clock::now()) {
            wakeAt_ = deadline;
            wake_.wait_until(lock, deadline);
            continue;
        }
        std::shared_ptr<Expirable> item = first->second.lock();
        if (item) {
            item->armed_ = false;
        }
        entries_.erase(first);
        lock.unlock();
        // Expiring completes a future, which may run its continuations here: no lock
        // of ours is held, and the item is released before the lock is taken again.
        if (item) {
            item->expire();
            item.reset();
        }
        lock.lock();
    }
}

}  // namespace tav::qel::embedded::reqrep
