// The thread that sends batched samples.
#include "WriteFlusher.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "Writer.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/OwningProcess.hpp"

namespace tav::qel::dds {

namespace {

struct Batch {
    std::weak_ptr<Writer> writer;
    std::int64_t opened;
};

std::chrono::steady_clock::time_point dueTime(const Batch& batch) {
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(batch.opened)) +
           WriteFlusher::kDue;
}

}  // namespace

struct WriteFlusher::State {
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable ended;
    // In order of opening, and so of their due times.
    std::deque<Batch> due;
    bool started = false;
    bool running = false;
    bool stopping = false;
};

WriteFlusher::WriteFlusher() : state_(std::make_shared<State>()) {}

WriteFlusher::~WriteFlusher() {
    stop();
}

bool WriteFlusher::schedule(std::weak_ptr<Writer> writer, std::int64_t opened) noexcept {
    State& state = *state_;
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.stopping) {
        return false;
    }
    try {
        if (!state.started) {
            // Detached: the thread keeps the state alive, and stop() waits for its
            // end through the state, so a process made by fork has nothing to join.
            std::thread(&WriteFlusher::run, state_).detach();
            state.started = true;
            state.running = true;
        }
        state.due.push_back(Batch{std::move(writer), opened});
    } catch (...) {
        return false;
    }
    if (state.due.size() == 1) {
        state.work.notify_one();
    }
    return true;
}

void WriteFlusher::run(std::shared_ptr<State> shared) {
    State& state = *shared;
    std::vector<Batch> flushing;
    std::unique_lock<std::mutex> lock(state.mutex);
    for (;;) {
        state.work.wait(lock, [&] { return state.stopping || !state.due.empty(); });
        if (!state.stopping) {
            // A stop sends everything at once.
            state.work.wait_until(lock, dueTime(state.due.front()), [&] { return state.stopping; });
        }
        const auto now = std::chrono::steady_clock::now();
        while (!state.due.empty() && (state.stopping || dueTime(state.due.front()) <= now)) {
            flushing.push_back(std::move(state.due.front()));
            state.due.pop_front();
        }
        lock.unlock();
        for (const auto& batch : flushing) {
            if (auto writer = batch.writer.lock()) {
                writer->flushBatch(batch.opened);
            }
        }
        // Let go outside the lock.
        flushing.clear();
        lock.lock();
        if (state.stopping && state.due.empty()) {
            state.running = false;
            state.ended.notify_all();
            return;
        }
    }
}

void WriteFlusher::stop() {
    if (inForkedProcess()) {
        return;
    }
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    state_->work.notify_one();
    if (state_->running) {
        lock.unlock();
        runBlocking([&] {
            std::unique_lock<std::mutex> waiting(state_->mutex);
            state_->ended.wait(waiting, [&] { return !state_->running; });
        });
    }
}

}  // namespace tav::qel::dds
