#pragma once
// The engine's thread for connection notifications: listeners hear about their
// service in the order in which it came and went, never under a lock of the engine.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "ListenerRecord.hpp"

namespace tav::qel::embedded::reqrep {

class Notifier {
public:
    Notifier();
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    void post(std::shared_ptr<ListenerRecord> listener, bool reachable);
    // Ends the thread; notifications not yet delivered are dropped.
    void stop();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::deque<std::pair<std::shared_ptr<ListenerRecord>, bool>> queue_;
    std::thread thread_;
};

}  // namespace tav::qel::embedded::reqrep
