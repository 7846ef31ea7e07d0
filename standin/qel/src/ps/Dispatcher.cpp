// Dispatching of a subscriber: its asynchronous handlers and notifiers run on a
// dispatcher thread of the engine, in publishing order, outside every middleware lock.
#include <cxxabi.h>

#include <cstdio>
#include <exception>

#include "SubscriberState.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/detail/DeliveryHook.hpp"

namespace tav::qel::embedded {

using ps::detail::Received;

bool SubscriberState::hasDispatchWork() const {
    return !stopDispatcher_ && ((asyncCount_ > 0 && !queue_.empty()) ||
                                (notifierCount_ > 0 && receivedSeq_ > notifiedSeq_));
}

void SubscriberState::scheduleDispatch() {
    if (scheduled_ || !hasDispatchWork()) {
        return;
    }
    scheduled_ = true;
    if (!job_) {
        job_ = std::make_shared<DispatchJob>(weak_from_this());
    }
    // Once the middleware shuts down the job is dropped, and the subscriber is
    // closed anyway.
    topic_->engine->dispatchers.post(job_);
}

namespace {
// The dispatch job the current thread runs, if any.
thread_local const DispatchJob* currentJob = nullptr;
}  // namespace

void DispatchJob::runJob() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++running_;
    }
    auto finished = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        --running_;
        idle_.notify_all();
    };
    const DispatchJob* outer = currentJob;
    currentJob = this;
    try {
        if (std::shared_ptr<SubscriberState> state = state_.lock()) {
            state->dispatch();
            // The subscriber is let go before a close waiting for this job hears of
            // its end, so that the close returns with no other reference to it here.
        }
    } catch (abi::__forced_unwind&) {
        currentJob = outer;
        finished();
        throw;
    }
    currentJob = outer;
    finished();
}

void DispatchJob::waitUntilIdle() {
    const std::size_t own = currentJob == this ? 1 : 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_ <= own) {
            return;
        }
    }
    runBlocking([&] {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [&] { return running_ <= own; });
    });
}

void SubscriberState::report(const char* what) const {
    std::fprintf(stderr, "qel: handler of topic '%s' failed: %s\n", topic_->name.c_str(), what);
    std::fflush(stderr);
}

void SubscriberState::dispatch() {
    std::unique_lock<std::mutex> lock(topic_->mutex);
    try {
        dispatchLoop(lock);
    } catch (abi::__forced_unwind&) {
        // The thread is being ended from outside (an interpreter finalising while a
        // handler ran): leave nothing marked as running, so that no close waits for it.
        if (!lock.owns_lock()) {
            lock.lock();
        }
        for (const auto& entry : handlers_) {
            entry->runningOn.clear();
        }
        stopDispatcher_ = true;
        idleCv_.notify_all();
        throw;
    }
}

void SubscriberState::dispatchLoop(std::unique_lock<std::mutex>& lock) {
    std::vector<Received> batch;
    std::vector<std::shared_ptr<HandlerEntry>> handlers;
    std::vector<std::shared_ptr<HandlerEntry>> notifiers;
    std::vector<bool> marked;
    const std::thread::id self = std::this_thread::get_id();

    auto invoke = [this](auto&& call) {
        try {
            call();
        } catch (abi::__forced_unwind&) {
            throw;
        } catch (const std::exception& error) {
            report(error.what());
        } catch (...) {
            report("unknown error");
        }
    };

    // Runs batches while there is work, then lets the thread go; the next event
    // hands the subscriber to a dispatcher thread again.
    while (hasDispatchWork()) {

        if (notifierCount_ > 0 && receivedSeq_ > notifiedSeq_) {
            for (const auto& entry : handlers_) {
                if (entry->kind != HandlerEntry::Kind::Notifier) {
                    continue;
                }
                for (auto it = queue_.rbegin(); it != queue_.rend() && it->sequence > notifiedSeq_; ++it) {
                    if (entry->selection.matches(*it)) {
                        entry->runningOn.push_back(self);
                        notifiers.push_back(entry);
                        break;
                    }
                }
            }
            notifiedSeq_ = receivedSeq_;
        }
        if (asyncCount_ > 0 && !queue_.empty()) {
            batch.reserve(queue_.size());
            for (auto& received : queue_) {
                batch.push_back(std::move(received));
            }
            queue_.clear();
            topic_->roomFreed();
            for (const auto& entry : handlers_) {
                if (entry->kind == HandlerEntry::Kind::Async) {
                    entry->runningOn.push_back(self);
                    handlers.push_back(entry);
                }
            }
        }
        lock.unlock();

        tav::qel::detail::runDelivery([&] {
            for (const auto& entry : notifiers) {
                if (entry->active.load()) {
                    invoke([&] { entry->notifier->notify(); });
                }
            }
            // A subscription that ends during the batch is let go at once, so that its
            // close does not wait for the rest of the batch.
            marked.assign(handlers.size(), true);
            auto release = [&](std::size_t index) {
                std::lock_guard<std::mutex> relock(topic_->mutex);
                unmark(*handlers[index]);
                marked[index] = false;
            };
            for (const auto& received : batch) {
                for (std::size_t index = 0; index < handlers.size(); ++index) {
                    if (!marked[index]) {
                        continue;
                    }
                    const auto& entry = handlers[index];
                    if (!entry->active.load()) {
                        release(index);
                        continue;
                    }
                    if (entry->selection.matches(received)) {
                        invoke([&] { entry->sink->deliver(received); });
                        if (!entry->active.load()) {
                            release(index);
                        }
                    }
                }
            }
        });
        batch.clear();

        lock.lock();
        for (const auto& entry : notifiers) {
            unmark(*entry);
        }
        for (const auto& entry : handlers) {
            unmark(*entry);
        }
        // Handlers whose subscription ended meanwhile may be released now, which
        // must happen outside the lock.
        lock.unlock();
        notifiers.clear();
        handlers.clear();
        lock.lock();
    }
    scheduled_ = false;
    lock.unlock();
}

}  // namespace tav::qel::embedded
