#pragma once
// One registered connection listener. The callback may hold an object of an
// embedding interpreter, so it is called and destroyed only outside the record's lock.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tav::qel::embedded::reqrep {

class ListenerRecord {
public:
    explicit ListenerRecord(std::function<void(bool)> listener);
    ListenerRecord(const ListenerRecord&) = delete;
    ListenerRecord& operator=(const ListenerRecord&) = delete;

    // Calls the listener, unless it was released. Runs on the notifier thread.
    void deliver(bool reachable);
    // Stops further deliveries and destroys the listener. A delivery running on another
    // thread is waited for through the blocking hook; one running on this thread (the
    // listener releasing itself) finishes first and destroys the listener afterwards.
    // True only for the first call.
    bool release();

private:
    std::mutex mutex_;
    std::condition_variable idle_;
    std::function<void(bool)> listener_;
    bool released_ = false;
    bool running_ = false;
    std::thread::id runner_;
};

}  // namespace tav::qel::embedded::reqrep
