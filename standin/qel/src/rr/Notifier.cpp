#include "Notifier.hpp"

#include <vector>

#include "Threads.hpp"

namespace tav::qel::embedded::reqrep {

Notifier::Notifier() : thread_([this] { run(); }) {}

Notifier::~Notifier() { stop(); }

void Notifier::post(std::shared_ptr<ListenerRecord> listener, bool reachable) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            return;
        }
        queue_.emplace_back(std::move(listener), reachable);
    }
    wake_.notify_one();
}

void Notifier::stop() {
    std::vector<std::thread> threads;
    std::deque<std::pair<std::shared_ptr<ListenerRecord>, bool>> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        dropped.swap(queue_);
        if (thread_.joinable()) {
            threads.push_back(std::move(thread_));
        }
    }
    wake_.notify_all();
    joinThreads(threads);
}

void Notifier::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) {
            return;
        }
        auto [listener, reachable] = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        listener->deliver(reachable);
        listener.reset();
        lock.lock();
    }
}

}  // namespace tav::qel::embedded::reqrep
