#pragma once
// The engine's side of one subscriber: its bounded queue, the latest sample of
// every instance it received and its handlers. Its asynchronous handlers and
// notifiers run on the engine's dispatcher threads, one batch of events at a time and
// in publishing order. Every member is guarded by the topic's mutex.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Topic.hpp"
#include "tav/qel/ps/detail/EntityCores.hpp"

namespace tav::qel::embedded {

// One handler subscription. The sink is kept here once and never copied; it is
// released by whoever drops the last reference, never under a lock.
struct HandlerEntry {
    enum class Kind { Polled, Async, Notifier };
    HandlerEntry(Kind handlerKind, ps::detail::EventSelection handlerSelection,
                 std::shared_ptr<ps::detail::EventSink> eventSink, std::shared_ptr<ps::detail::NotifySink> notifySink)
        : kind(handlerKind),
          selection(std::move(handlerSelection)),
          sink(std::move(eventSink)),
          notifier(std::move(notifySink)) {}

    const Kind kind;
    const ps::detail::EventSelection selection;
    // Emptied when the subscriber closes and no thread runs them (topic mutex).
    std::shared_ptr<ps::detail::EventSink> sink;
    std::shared_ptr<ps::detail::NotifySink> notifier;
    // Cleared (under the topic mutex) when the subscription ends: no new delivery starts.
    std::atomic<bool> active{true};
    // Threads running this handler right now (topic mutex).
    std::vector<std::thread::id> runningOn;
};

// What a subscriber hands to the dispatcher threads. It refers to the subscriber
// only weakly while queued, so that a queued dispatch keeps neither the subscriber
// nor its topic alive, and it counts the threads running it, so that a close can wait
// until no dispatcher thread refers to the subscriber any more.
class DispatchJob final : public PoolJob {
public:
    explicit DispatchJob(std::weak_ptr<SubscriberState> state) : state_(std::move(state)) {}
    void runJob() override;
    // Waits until no thread runs the job, except the calling one.
    void waitUntilIdle();

private:
    std::weak_ptr<SubscriberState> state_;
    std::mutex mutex_;
    std::condition_variable idle_;
    std::size_t running_ = 0;
};

class SubscriberState : public std::enable_shared_from_this<SubscriberState> {
public:
    SubscriberState(std::shared_ptr<Topic> topic, std::size_t depth);
    ~SubscriberState();

    Topic& topic() { return *topic_; }
    const std::shared_ptr<Topic>& topicPtr() const { return topic_; }

    // Publishing side, topic mutex held. Enqueuing hands the subscriber to a
    // dispatcher thread when one of its handlers has work.
    bool full() const { return queue_.size() >= depth_; }
    std::size_t room() const { return queue_.size() >= depth_ ? 0 : depth_ - queue_.size(); }
    std::size_t depth() const { return depth_; }
    // False once closed or shut down: nothing more is queued.
    bool accepting() const { return !closed_ && !topic_->shutDown; }
    // With readersToWake, readers waiting for samples are not woken here: the flag is
    // set instead, for the caller to call wakeReaders() once it has let go of the
    // mutex, so that a woken reader does not wait for that mutex at once.
    void enqueue(std::unique_ptr<ps::DataEntityBase> copy, double timestamp, bool* readersToWake = nullptr);
    // Wakes the readers waiting for samples; with or without the topic mutex.
    void wakeReaders() { readCv_.notify_all(); }
    // The instance that key names went away: queues its REMOVED event (not alive, no
    // valid data) and forgets its latest sample. Nothing happens for an instance this
    // subscriber never received. Queued even when the queue is full, so that the
    // leaving writer never waits; at most one event per received instance.
    void removeInstance(const ps::DataEntityBase& key, double timestamp);

    // ClosedException when closed or shut down.
    void ensureOpen();

    // Reading side.
    std::vector<ps::detail::Received> take(std::size_t maxCount);
    std::shared_ptr<ps::DataEntityBase> latest(const ps::DataEntityBase& key);
    std::vector<ps::detail::Received> takeMatching(const ps::detail::EventSelection& selection, std::size_t maxCount,
                                                   std::chrono::milliseconds timeout);
    std::size_t poll(std::size_t maxCount, std::chrono::milliseconds timeout);

    // A QelException when the first dispatcher thread cannot start (asynchronous
    // handlers and notifiers); nothing is subscribed then.
    std::unique_ptr<ps::Subscription> addHandler(std::shared_ptr<HandlerEntry> entry);
    // Ends one subscription: no new delivery, then waits for a running one on
    // another thread.
    void removeHandler(const std::shared_ptr<HandlerEntry>& entry);

    // Stops deliveries, wakes every waiting call, waits for the handlers running on
    // other threads and releases every handler. Harmless when repeated.
    void close();
    // Shutdown of the middleware: wakes waiting calls; mutex held.
    void wakeAll();

private:
    struct InstanceSlot {
        std::unique_ptr<ps::DataEntityBase> key;
        std::shared_ptr<ps::DataEntityBase> latest;
    };

    void checkOpen() const;  // mutex held
    InstanceSlot* findInstance(const ps::DataEntityBase& key, std::size_t hash);
    bool hasDispatchWork() const;  // mutex held
    void scheduleDispatch();       // mutex held
    // Runs the batches that are due, on a dispatcher thread.
    void dispatch();
    void dispatchLoop(std::unique_lock<std::mutex>& lock);
    void unmark(HandlerEntry& entry);  // mutex held
    void waitUntilIdle(const std::vector<std::shared_ptr<HandlerEntry>>& entries);
    void report(const char* what) const;

    const std::shared_ptr<Topic> topic_;
    const std::size_t depth_;
    std::deque<ps::detail::Received> queue_;
    std::unordered_multimap<std::size_t, InstanceSlot> instances_;
    std::uint64_t receivedSeq_ = 0;
    std::uint64_t notifiedSeq_ = 0;

    std::vector<std::shared_ptr<HandlerEntry>> handlers_;
    std::size_t asyncCount_ = 0;
    std::size_t notifierCount_ = 0;

    std::condition_variable readCv_;
    std::size_t readersWaiting_ = 0;
    // The waiting readers were woken for a sample and have not looked yet: samples
    // queued meanwhile need no wake of their own. Cleared whenever a reader looks,
    // before it waits (again).
    bool readersWoken_ = false;

    // done as the condition of a reader's wait on readCv_ (mutex held).
    template <class Done>
    auto readerWaits(Done done) {
        return [this, done] {
            readersWoken_ = false;
            return done();
        };
    }
    std::condition_variable idleCv_;
    std::size_t idleWaiters_ = 0;

    // Handed to the dispatcher threads and not yet back: at most one thread runs
    // the subscriber's handlers at a time.
    bool scheduled_ = false;
    std::shared_ptr<DispatchJob> job_;  // made on the first dispatch
    bool stopDispatcher_ = false;
    bool closed_ = false;

    friend class SubscriptionImpl;
    friend class DispatchJob;
};

}  // namespace tav::qel::embedded
