#include "ListenerRecord.hpp"

#include <cstdio>
#include <exception>

#include "tav/qel/BlockingHook.hpp"

namespace tav::qel::embedded::reqrep {

ListenerRecord::ListenerRecord(std::function<void(bool)> listener) : listener_(std::move(listener)) {}

void ListenerRecord::deliver(bool reachable) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (released_ || !listener_) {
            return;
        }
        running_ = true;
        runner_ = std::this_thread::get_id();
    }
    // A listener's failure has nobody to go to: it is reported and the thread goes on.
    try {
        listener_(reachable);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "connection listener failed: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "connection listener failed with an unknown exception\n");
    }
    std::function<void(bool)> doomed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        if (released_) {
            doomed = std::move(listener_);
        }
    }
    idle_.notify_all();
}

bool ListenerRecord::release() {
    std::function<void(bool)> doomed;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (released_) {
            return false;
        }
        released_ = true;
        if (running_ && runner_ == std::this_thread::get_id()) {
            return true;
        }
        if (running_) {
            lock.unlock();
            tav::qel::runBlocking([this] {
                std::unique_lock<std::mutex> wait(mutex_);
                idle_.wait(wait, [this] { return !running_; });
            });
            lock.lock();
        }
        doomed = std::move(listener_);
    }
    return true;
}

}  // namespace tav::qel::embedded::reqrep
