#pragma once
// One registered connection listener. The callback may hold an object of an
// embedding interpreter, so it is called and destroyed only outside the record's lock.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

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

// Removes listener from listeners and hands it back, so that the caller destroys it
// after letting go of the lock that guards the list.
inline std::shared_ptr<ListenerRecord> takeListener(std::vector<std::shared_ptr<ListenerRecord>>& listeners,
                                                    const std::shared_ptr<ListenerRecord>& listener) {
    for (auto it = listeners.begin(); it != listeners.end(); ++it) {
        if (*it == listener) {
            auto taken = std::move(*it);
            listeners.erase(it);
            return taken;
        }
    }
    return nullptr;
}

}  // namespace tav::qel::embedded::reqrep
