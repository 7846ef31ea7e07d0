#include "ElasticPool.hpp"

#include <cxxabi.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "SpinGate.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded {

PoolJob::~PoolJob() = default;

struct ElasticPool::State {
    State(std::string threadRole, std::chrono::milliseconds idle, std::chrono::microseconds spinLimit)
        : role(std::move(threadRole)), idleTime(idle), spin(spinLimit) {}

    const std::string role;
    const std::chrono::milliseconds idleTime;
    SpinGate spin;
    // Counts posts and the stop, for threads that spin without the mutex.
    std::atomic<std::uint64_t> posts{0};
    const pid_t process = getpid();  // the process whose threads these are

    std::mutex mutex;
    std::condition_variable work;   // idle threads wait here for jobs
    std::condition_variable ended;  // stop() waits here for the threads to end
    std::condition_variable watch;  // the watchdog waits here
    std::deque<std::shared_ptr<PoolJob>> queue;
    std::size_t live = 0;      // threads that exist or are being made
    std::size_t members = 0;   // of these, threads that still take jobs
    std::size_t idle = 0;      // of these, threads waiting for a job
    std::size_t starting = 0;  // of these, threads not yet running
    std::uint64_t taken = 0;   // jobs taken from the queue so far
    bool watchdog = false;         // the watchdog thread runs
    bool watchdogWaiting = false;  // it waits for every thread to be busy
    bool stopping = false;
    bool failing = false;  // the last start failed and was reported
    bool spinnerOut = false;  // an idle thread spins for the next job

    // Jobs wait and no thread is free or about to be.
    bool starved() const { return !queue.empty() && idle == 0 && starting == 0; }
};

namespace {

// The state of the pool whose thread the current thread is.
thread_local const void* currentPool = nullptr;

// How long the jobs may wait while every thread is busy and none takes a job, before
// the watchdog starts another thread.
constexpr std::chrono::milliseconds patience(20);

}  // namespace

// Counts a thread out of its pool as the very last thing the thread does. It is made
// first on the thread, so its destructor runs after every other thread-local
// destructor there, such as one that hands a thread state back to an embedding
// interpreter: once stop() returns, no thread of the pool runs such code any more.
struct ElasticPool::ExitMark {
    std::shared_ptr<State> state;

    ExitMark() = default;
    ExitMark(const ExitMark&) = delete;
    ExitMark& operator=(const ExitMark&) = delete;
    ~ExitMark() {
        if (state) {
            std::lock_guard<std::mutex> lock(state->mutex);
            --state->live;
            state->ended.notify_all();
        }
    }
};

ElasticPool::ElasticPool(std::string role, std::chrono::milliseconds idleTime, std::chrono::microseconds spin)
    : state_(std::make_shared<State>(std::move(role), idleTime, spin)) {}

ElasticPool::~ElasticPool() {
    try {
        stop();
    } catch (...) {
    }
}

bool ElasticPool::onPoolThread() const noexcept { return currentPool == state_.get(); }

bool ElasticPool::startThread(const std::shared_ptr<State>& state, std::unique_lock<std::mutex>& lock,
                              std::string& error) {
    ++state->live;
    ++state->members;
    ++state->starting;
    lock.unlock();
    bool started = false;
    try {
        // Detached: the thread keeps the state alive, and its exit is counted by its
        // ExitMark, so nobody ever joins it (a process made by fork has no such
        // thread to join).
        std::thread(&ElasticPool::threadMain, state).detach();
        started = true;
    } catch (const std::system_error& failure) {
        error = failure.what();
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    lock.lock();
    if (!started) {
        --state->live;
        --state->members;
        --state->starting;
        state->ended.notify_all();
    } else {
        state->failing = false;
    }
    return started;
}

void ElasticPool::reportStartFailure(State& state, const std::string& error) {
    if (state.failing) {
        return;
    }
    state.failing = true;
    std::fprintf(stderr, "qel: cannot start another %s thread (%s); queued work waits for a busy one\n",
                 state.role.c_str(), error.c_str());
    std::fflush(stderr);
}

bool ElasticPool::post(std::shared_ptr<PoolJob> job) noexcept {
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (state_->stopping) {
        lock.unlock();
        return false;  // the job is released here, outside the lock
    }
    state_->queue.push_back(std::move(job));
    state_->posts.fetch_add(1, std::memory_order_release);
    if (state_->idle > 0) {
        // A spinning thread sees the post, or the job once it stops spinning.
        if (!state_->spinnerOut) {
            state_->work.notify_one();
        }
    } else if (state_->members == 0) {
        std::string error;
        if (!startThread(state_, lock, error)) {
            reportStartFailure(*state_, error);
            wakeWatchdog(state_, lock);  // it tries again
        }
    } else if (state_->starting == 0) {
        wakeWatchdog(state_, lock);
    }
    return true;
}

void ElasticPool::wakeWatchdog(const std::shared_ptr<State>& state, std::unique_lock<std::mutex>& lock) {
    if (state->watchdog) {
        if (state->watchdogWaiting) {
            state->watch.notify_one();
        }
        return;
    }
    state->watchdog = true;
    ++state->live;
    lock.unlock();
    std::string error;
    try {
        std::thread(&ElasticPool::watchdogMain, state).detach();
    } catch (const std::system_error& failure) {
        error = failure.what();
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    lock.lock();
    if (!error.empty()) {
        state->watchdog = false;
        --state->live;
        state->ended.notify_all();
        reportStartFailure(*state, error);
    }
}

void ElasticPool::watchdogMain(std::shared_ptr<State> state) {
    thread_local ExitMark mark;
    mark.state = state;

    std::unique_lock<std::mutex> lock(state->mutex);
    while (!state->stopping) {
        if (!state->starved()) {
            state->watchdogWaiting = true;
            const bool woken =
                state->watch.wait_for(lock, state->idleTime, [&] { return state->stopping || state->starved(); });
            state->watchdogWaiting = false;
            if (!woken) {
                break;  // nothing to watch for a while
            }
            continue;
        }
        const std::uint64_t seen = state->taken;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        state->watch.wait_until(lock, deadline, [&] { return state->stopping; });
        if (!state->stopping && state->starved() && state->taken == seen) {
            std::string error;
            if (!startThread(state, lock, error)) {
                reportStartFailure(*state, error);  // tried again after a while
            }
        }
    }
    state->watchdog = false;
}

void ElasticPool::ensureThread() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (state_->stopping) {
        throw ClosedException("the middleware has shut down");
    }
    if (state_->members > 0) {
        return;
    }
    std::string error;
    if (!startThread(state_, lock, error)) {
        throw QelException("cannot start a " + state_->role + " thread: " + error);
    }
}

void ElasticPool::threadMain(std::shared_ptr<State> state) {
    thread_local ExitMark mark;
    mark.state = state;
    currentPool = state.get();

    std::unique_lock<std::mutex> lock(state->mutex);
    --state->starting;
    for (;;) {
        if (state->stopping) {
            break;
        }
        if (state->queue.empty()) {
            ++state->idle;
            const SpinGate::Clock::time_point began = SpinGate::Clock::now();
            // One idle thread at a time spins: it takes the next job, the others sleep.
            if (state->spin.spins() && !state->spinnerOut) {
                state->spinnerOut = true;
                const std::uint64_t seen = state->posts.load(std::memory_order_acquire);
                lock.unlock();
                const bool posted =
                    state->spin.spin([&] { return state->posts.load(std::memory_order_acquire) != seen; });
                lock.lock();
                state->spinnerOut = false;
                if (posted) {
                    --state->idle;
                    continue;
                }
            }
            const bool woken =
                state->work.wait_for(lock, state->idleTime, [&] { return state->stopping || !state->queue.empty(); });
            --state->idle;
            if (!woken) {
                break;  // idle for long enough
            }
            state->spin.slept(SpinGate::Clock::now() - began);
            continue;
        }
        std::shared_ptr<PoolJob> job = std::move(state->queue.front());
        state->queue.pop_front();
        ++state->taken;
        if (!state->queue.empty()) {
            // More work waits behind this job: an idle thread takes it, or else the
            // watchdog sees to it.
            if (state->idle > 0) {
                state->work.notify_one();
            } else if (state->starting == 0) {
                wakeWatchdog(state, lock);
            }
        }
        lock.unlock();
        try {
            job->runJob();
        } catch (abi::__forced_unwind&) {
            // An embedding interpreter that is finalising ends the thread: it no
            // longer takes jobs.
            job.reset();
            lock.lock();
            --state->members;
            throw;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "qel: a %s job failed: %s\n", state->role.c_str(), error.what());
            std::fflush(stderr);
        } catch (...) {
            std::fprintf(stderr, "qel: a %s job failed\n", state->role.c_str());
            std::fflush(stderr);
        }
        job.reset();  // released outside the lock
        lock.lock();
    }
    --state->members;
}

void ElasticPool::stop() {
    std::deque<std::shared_ptr<PoolJob>> dropped;  // released after the lock is let go
    std::shared_ptr<State> state = state_;
    if (getpid() != state->process) {
        return;  // a process made by fork: the threads are the parent's
    }
    const std::size_t own = currentPool == state.get() ? 1 : 0;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->stopping = true;
        state->posts.fetch_add(1, std::memory_order_release);
        dropped.swap(state->queue);
        state->work.notify_all();
        state->watch.notify_all();
        if (state->live <= own) {
            return;
        }
    }
    runBlocking([&] {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->ended.wait(lock, [&] { return state->live <= own; });
    });
}

void ElasticPool::abandon() {
    // The old state may hold a lock taken by a thread that does not exist here, so it
    // is neither used nor destroyed; it stays reachable, not leaked.
    static auto* abandoned = new std::vector<std::shared_ptr<State>>();
    abandoned->push_back(state_);
    state_ = std::make_shared<State>(state_->role, state_->idleTime, state_->spin.limit());
}

}  // namespace tav::qel::embedded
