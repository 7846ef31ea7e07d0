#pragma once
// Threads shared by many entities of the middleware. A thread is started when work is
// queued and every thread is busy, and a thread that stays idle for a while ends, so
// that the number of threads follows the work running at once, not the number of
// entities that might some day have work; a pool with nothing to do has no thread.
// Work queued when no thread can start stays queued and runs once a thread is free
// or a later post manages to start one.
//
// "Busy" means making no progress: jobs that merely queue up for a moment (behind
// an embedding interpreter's lock, say) are taken by the threads there are, and a
// watchdog thread, present only while every thread is busy, starts another one when
// no thread has taken a job for a short while (a job that blocks, a job that waits
// for another job of the same pool).
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace tav::qel::embedded {

// Work a pool runs. The pool keeps the job alive from the post until it ran.
class PoolJob {
public:
    virtual ~PoolJob();
    // Runs on a thread of the pool, with no lock of the pool held.
    virtual void runJob() = 0;
};

class ElasticPool {
public:
    // `role` names the threads in error texts ("dispatcher", "worker"). A thread that
    // runs out of jobs spins up to `spin` for the next one before it sleeps, while
    // jobs have been coming that fast (zero: never spins).
    ElasticPool(std::string role, std::chrono::milliseconds idleTime,
                std::chrono::microseconds spin = std::chrono::microseconds(0));
    // Stops the pool (see stop()).
    ~ElasticPool();
    ElasticPool(const ElasticPool&) = delete;
    ElasticPool& operator=(const ElasticPool&) = delete;

    // Queues the job and starts a thread when none is free. Never throws: when no
    // thread can start the job stays queued and runs once a busy thread is free (a
    // line on standard error says so); false then, and after stop(), when the job
    // was dropped.
    bool post(std::shared_ptr<PoolJob> job) noexcept;
    // Makes sure the pool has a thread, starting one if none exists: a QelException
    // saying what failed when it cannot, a ClosedException after stop(). Entities
    // call it when they are made, so that a process that cannot start threads any
    // more hears of it where it can act on it.
    void ensureThread();
    // Drops the queued jobs and waits, through the blocking hook, until every thread
    // has ended, except the calling one when it is a thread of this pool (it ends
    // once its job returns). Later posts are dropped. Harmless when repeated. In a
    // process made by fork, which has none of the threads, it does nothing at all
    // (not even take the pool's lock, which a thread of the parent may have held).
    void stop();
    // For a process made by fork, which has none of the threads: forgets them and
    // the queued jobs without waiting or taking a lock, and starts afresh. Call only
    // while the process runs a single thread.
    void abandon();
    // True on a thread of this pool.
    bool onPoolThread() const noexcept;

private:
    struct State;
    struct ExitMark;

    static void threadMain(std::shared_ptr<State> state);
    static void watchdogMain(std::shared_ptr<State> state);
    // Wakes the watchdog, starting it if it is not there; mutex held through `lock`.
    static void wakeWatchdog(const std::shared_ptr<State>& state, std::unique_lock<std::mutex>& lock);
    // Starts a thread; mutex held through `lock`, let go while the thread is made.
    // False (and the reason in `error`) when it cannot start.
    static bool startThread(const std::shared_ptr<State>& state, std::unique_lock<std::mutex>& lock,
                            std::string& error);
    static void reportStartFailure(State& state, const std::string& error);

    std::shared_ptr<State> state_;
};

}  // namespace tav::qel::embedded
