// A subscriber's queue, instance cache, reads and polling.
#include "SubscriberState.hpp"

#include <cxxabi.h>

#include <algorithm>
#include <exception>

#include "../core/Deadline.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/OwningProcess.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded {

using ps::detail::Received;

// The handle a subscribe call returns; closing or destroying it ends the
// subscription. It keeps the subscriber's state alive, not the subscriber.
class SubscriptionImpl final : public ps::Subscription {
public:
    SubscriptionImpl(std::shared_ptr<SubscriberState> state, std::shared_ptr<HandlerEntry> entry)
        : state_(std::move(state)), entry_(std::move(entry)) {}
    ~SubscriptionImpl() override {
        if (inForkedProcess()) {
            abandonState(std::move(entry_));  // may be running on a thread of the parent
            abandonState(std::move(state_));
            return;
        }
        close();
    }

    void close() override {
        if (inForkedProcess()) {
            return;  // the subscription stays with the parent
        }
        std::shared_ptr<HandlerEntry> entry;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            entry = std::move(entry_);
        }
        if (entry) {
            state_->removeHandler(entry);
        }
        // entry may hold the last reference to the handler: released here, outside
        // every middleware lock.
    }

private:
    std::mutex mutex_;
    std::shared_ptr<SubscriberState> state_;
    std::shared_ptr<HandlerEntry> entry_;
};

SubscriberState::SubscriberState(std::shared_ptr<Topic> topic, std::size_t depth)
    : topic_(std::move(topic)), depth_(depth) {}

SubscriberState::~SubscriberState() = default;

void SubscriberState::checkOpen() const {
    if (topic_->shutDown) {
        throw ClosedException("subscriber of topic '" + topic_->name + "': the middleware has shut down");
    }
    if (closed_) {
        throw ClosedException("subscriber of topic '" + topic_->name + "' is closed");
    }
}

void SubscriberState::ensureOpen() {
    std::lock_guard<std::mutex> lock(topic_->mutex);
    checkOpen();
}

SubscriberState::InstanceSlot* SubscriberState::findInstance(const ps::DataEntityBase& key, std::size_t hash) {
    auto range = instances_.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
        if (!key.hasKeyEntity() || it->second.key->keyEqualsEntity(key)) {
            return &it->second;
        }
    }
    return nullptr;
}

void SubscriberState::enqueue(std::unique_ptr<ps::DataEntityBase> copy, double timestamp, bool* readersToWake) {
    const std::size_t hash = copy->hasKeyEntity() ? copy->keyHash() : 0;
    std::shared_ptr<ps::DataEntityBase> data(std::move(copy));
    ps::InstanceEvent event = ps::InstanceEvent::UPDATED;
    if (InstanceSlot* slot = findInstance(*data, hash)) {
        slot->latest = data;
    } else {
        event = ps::InstanceEvent::CREATED;
        instances_.emplace(hash, InstanceSlot{data->cloneKeyEntity(), data});
    }
    queue_.push_back(Received{std::move(data), event, timestamp, ++receivedSeq_});
    // Readers already woken take this sample too when they run.
    if (readersWaiting_ > 0 && !readersWoken_) {
        readersWoken_ = true;
        if (readersToWake != nullptr) {
            *readersToWake = true;
        } else {
            readCv_.notify_all();
        }
    }
    scheduleDispatch();
}

void SubscriberState::removeInstance(const ps::DataEntityBase& key, double timestamp) {
    const std::size_t hash = key.hasKeyEntity() ? key.keyHash() : 0;
    auto range = instances_.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
        if (!key.hasKeyEntity() || it->second.key->keyEqualsEntity(key)) {
            std::shared_ptr<ps::DataEntityBase> keyOnly(std::move(it->second.key));
            instances_.erase(it);
            queue_.push_back(Received{std::move(keyOnly), ps::InstanceEvent::REMOVED, timestamp, ++receivedSeq_, false});
            if (readersWaiting_ > 0) {
                readCv_.notify_all();
            }
            scheduleDispatch();
            return;
        }
    }
}

std::vector<Received> SubscriberState::take(std::size_t maxCount) {
    std::vector<Received> taken;
    std::lock_guard<std::mutex> lock(topic_->mutex);
    checkOpen();
    const std::size_t count = maxCount == 0 ? queue_.size() : std::min(maxCount, queue_.size());
    taken.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        taken.push_back(std::move(queue_.front()));
        queue_.pop_front();
    }
    if (count > 0) {
        topic_->roomFreed();
    }
    return taken;
}

std::shared_ptr<ps::DataEntityBase> SubscriberState::latest(const ps::DataEntityBase& key) {
    const std::size_t hash = key.hasKeyEntity() ? key.keyHash() : 0;
    std::lock_guard<std::mutex> lock(topic_->mutex);
    checkOpen();
    InstanceSlot* slot = findInstance(key, hash);
    return slot != nullptr ? slot->latest : nullptr;
}

std::vector<Received> SubscriberState::takeMatching(const ps::detail::EventSelection& selection,
                                                    std::size_t maxCount, std::chrono::milliseconds timeout) {
    std::vector<Received> taken;
    auto collect = [&] {
        for (auto it = queue_.begin(); it != queue_.end() && (maxCount == 0 || taken.size() < maxCount);) {
            if (selection.matches(*it)) {
                taken.push_back(std::move(*it));
                it = queue_.erase(it);
            } else {
                ++it;
            }
        }
        return !taken.empty();
    };
    const Deadline deadline(timeout);
    std::unique_lock<std::mutex> lock(topic_->mutex);
    checkOpen();
    if (!collect()) {
        deadline.wait(readCv_, lock, readersWaiting_,
                      readerWaits([&] { return closed_ || topic_->shutDown || collect(); }));
        checkOpen();
    }
    if (!taken.empty()) {
        topic_->roomFreed();
    }
    return taken;
}

std::size_t SubscriberState::poll(std::size_t maxCount, std::chrono::milliseconds timeout) {
    const Deadline deadline(timeout);
    const std::thread::id self = std::this_thread::get_id();
    std::vector<std::shared_ptr<HandlerEntry>> running;
    std::exception_ptr failure;
    std::size_t count = 0;
    std::unique_lock<std::mutex> lock(topic_->mutex);
    checkOpen();
    if (queue_.empty()) {
        deadline.wait(readCv_, lock, readersWaiting_,
                      readerWaits([&] { return closed_ || topic_->shutDown || !queue_.empty(); }));
        checkOpen();
    }
    while (!failure && !queue_.empty() && (maxCount == 0 || count < maxCount)) {
        Received event = std::move(queue_.front());
        queue_.pop_front();
        ++count;
        topic_->roomFreed();
        for (const auto& entry : handlers_) {
            if (entry->kind == HandlerEntry::Kind::Polled && entry->selection.matches(event)) {
                entry->runningOn.push_back(self);
                running.push_back(entry);
            }
        }
        if (running.empty()) {
            continue;
        }
        lock.unlock();
        for (const auto& entry : running) {
            if (!entry->active.load()) {
                continue;
            }
            try {
                entry->sink->deliver(event);
            } catch (abi::__forced_unwind&) {
                throw;
            } catch (...) {
                if (!failure) {
                    failure = std::current_exception();
                }
            }
        }
        lock.lock();
        for (const auto& entry : running) {
            unmark(*entry);
        }
        // The handlers are released outside the lock.
        lock.unlock();
        running.clear();
        lock.lock();
    }
    lock.unlock();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return count;
}

void SubscriberState::unmark(HandlerEntry& entry) {
    auto it = std::find(entry.runningOn.begin(), entry.runningOn.end(), std::this_thread::get_id());
    if (it != entry.runningOn.end()) {
        entry.runningOn.erase(it);
        if (idleWaiters_ > 0) {
            idleCv_.notify_all();
        }
    }
}

std::unique_ptr<ps::Subscription> SubscriberState::addHandler(std::shared_ptr<HandlerEntry> entry) {
    if (entry->kind != HandlerEntry::Kind::Polled) {
        topic_->engine->dispatchers.ensureThread();
    }
    {
        std::lock_guard<std::mutex> lock(topic_->mutex);
        checkOpen();
        handlers_.push_back(entry);
        if (entry->kind == HandlerEntry::Kind::Async) {
            ++asyncCount_;
        } else if (entry->kind == HandlerEntry::Kind::Notifier) {
            ++notifierCount_;
            // Samples already queued are news to a new notifier.
            notifiedSeq_ = std::min(notifiedSeq_, queue_.empty() ? receivedSeq_ : queue_.front().sequence - 1);
        }
        scheduleDispatch();
    }
    return std::make_unique<SubscriptionImpl>(shared_from_this(), std::move(entry));
}

void SubscriberState::removeHandler(const std::shared_ptr<HandlerEntry>& entry) {
    {
        std::lock_guard<std::mutex> lock(topic_->mutex);
        entry->active.store(false);
        auto it = std::find(handlers_.begin(), handlers_.end(), entry);
        if (it != handlers_.end()) {
            handlers_.erase(it);
            if (entry->kind == HandlerEntry::Kind::Async) {
                --asyncCount_;
            } else if (entry->kind == HandlerEntry::Kind::Notifier) {
                --notifierCount_;
            }
        }
    }
    waitUntilIdle({entry});
}

void SubscriberState::waitUntilIdle(const std::vector<std::shared_ptr<HandlerEntry>>& entries) {
    const std::thread::id self = std::this_thread::get_id();
    auto idle = [&] {
        for (const auto& entry : entries) {
            for (const auto& id : entry->runningOn) {
                if (id != self) {
                    return false;
                }
            }
        }
        return true;
    };
    {
        std::lock_guard<std::mutex> lock(topic_->mutex);
        if (idle()) {
            return;
        }
    }
    runBlocking([&] {
        std::unique_lock<std::mutex> lock(topic_->mutex);
        ++idleWaiters_;
        idleCv_.wait(lock, idle);
        --idleWaiters_;
    });
}

void SubscriberState::wakeAll() { readCv_.notify_all(); }

void SubscriberState::close() {
    std::vector<std::shared_ptr<HandlerEntry>> released;
    std::deque<Received> dropped;
    {
        std::lock_guard<std::mutex> lock(topic_->mutex);
        if (!closed_) {
            closed_ = true;
            auto& subscribers = topic_->subscribers;
            auto it = std::find(subscribers.begin(), subscribers.end(), shared_from_this());
            if (it != subscribers.end()) {
                subscribers.erase(it);
            }
            topic_->roomFreed();
        }
        stopDispatcher_ = true;
        for (const auto& entry : handlers_) {
            entry->active.store(false);
        }
        released.swap(handlers_);
        asyncCount_ = 0;
        notifierCount_ = 0;
        dropped.swap(queue_);
        instances_.clear();
        wakeAll();
    }
    // A handler running on this very thread (one that closes its own subscriber) is
    // not waited for: its dispatcher stops once it returns.
    waitUntilIdle(released);
    // Nor does a dispatcher thread refer to the subscriber (and its topic) once the
    // close returns.
    std::shared_ptr<DispatchJob> job;
    {
        std::lock_guard<std::mutex> lock(topic_->mutex);
        job = job_;
    }
    if (job) {
        job->waitUntilIdle();
    }
    // The handlers go with the subscriber even while subscription handles still
    // exist; one running on this very thread is left to its last owner.
    std::vector<std::shared_ptr<ps::detail::EventSink>> sinks;
    std::vector<std::shared_ptr<ps::detail::NotifySink>> notifiers;
    {
        std::lock_guard<std::mutex> lock(topic_->mutex);
        for (const auto& entry : released) {
            if (entry->runningOn.empty()) {
                sinks.push_back(std::move(entry->sink));
                notifiers.push_back(std::move(entry->notifier));
            }
        }
    }
}

}  // namespace tav::qel::embedded
