// Queueing, rate limiting and handing on of the engine's messages.
#include "EngineLog.hpp"

#include <dds/dds.h>
#include <pthread.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>

#include "tav/qel/LogHook.hpp"
#include "tav/qel/OwningProcess.hpp"

namespace tav::qel::dds {

namespace {

// What the queue holds at most, and how many kinds of message are remembered for
// the rate limit: an engine in trouble cannot grow either without bound.
constexpr std::size_t kMostQueued = 1000;
constexpr std::size_t kMostKinds = 1000;

struct Seen {
    std::chrono::steady_clock::time_point since;
    std::size_t suppressed = 0;
};

struct State {
    std::mutex mutex;
    std::condition_variable wake;
    struct Message {
        LogLevel level;
        const char* logger;
        std::string text;
    };
    std::deque<Message> queue;
    std::unordered_map<std::string, Seen> seen;
    std::size_t dropped = 0;
    bool started = false;
    // Set by the exit work: later messages go to stderr.
    bool stopping = false;
    std::thread thread;
};

State& state() {
    // Never destroyed: the engine may write until the process's very end.
    static State* instance = new State();
    return *instance;
}

thread_local std::string lastError;

LogLevel levelOf(std::uint32_t priority) {
    if ((priority & (DDS_LC_FATAL | DDS_LC_ERROR)) != 0) {
        return LogLevel::Error;
    }
    if ((priority & DDS_LC_WARNING) != 0) {
        return LogLevel::Warning;
    }
    return (priority & DDS_LC_INFO) != 0 ? LogLevel::Info : LogLevel::Debug;
}

void drain() {
    pthread_setname_np(pthread_self(), "qel-engine-log");
    State& s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    for (;;) {
        s.wake.wait(lock, [&] { return s.stopping || !s.queue.empty(); });
        if (s.queue.empty()) {
            return;  // stopping, and everything handed on
        }
        auto [level, logger, text] = std::move(s.queue.front());
        s.queue.pop_front();
        if (s.dropped > 0 && s.queue.empty()) {
            text += " (" + std::to_string(s.dropped) + " more messages were dropped: too many at once)";
            s.dropped = 0;
        }
        lock.unlock();
        logMessage(level, logger, text);
        lock.lock();
    }
}

// Queues a message for the thread, starting it on first use; mutex held.
void enqueue(State& s, LogLevel level, const char* logger, std::string text) {
    if (s.queue.size() >= kMostQueued) {
        ++s.dropped;
        return;
    }
    s.queue.push_back(State::Message{level, logger, std::move(text)});
    if (!s.started) {
        s.started = true;
        try {
            s.thread = std::thread(drain);
        } catch (...) {
            // No thread to hand messages on: these go to stderr, and the next
            // message tries again.
            for (const auto& queued : s.queue) {
                std::fprintf(stderr, "%s: %s\n", queued.logger, queued.text.c_str());
            }
            s.queue.clear();
            s.started = false;
            return;
        }
    }
    s.wake.notify_one();
}

void sink(void*, const dds_log_data_t* data) {
    std::string text(data->message, data->size);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return;
    }
    const LogLevel level = levelOf(data->priority);
    if (level >= LogLevel::Warning) {
        lastError = text;
    }
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.stopping) {
        return;  // the process is ending: threads of an engine left behind go unheard
    }
    // Messages that differ only in numbers (addresses, ports, times) are one kind.
    std::string kind = text;
    for (char& c : kind) {
        if (c >= '0' && c <= '9') {
            c = '#';
        }
    }
    const auto now = std::chrono::steady_clock::now();
    if (s.seen.size() >= kMostKinds) {
        s.seen.clear();
    }
    auto [it, first] = s.seen.try_emplace(kind, Seen{now, 0});
    if (!first) {
        if (now - it->second.since < EngineLog::kQuietFor) {
            ++it->second.suppressed;
            return;
        }
        if (it->second.suppressed > 0) {
            text += " (repeated " + std::to_string(it->second.suppressed) + " times since it was last logged)";
        }
        it->second = Seen{now, 0};
    }
    enqueue(s, level, kEngineLogger, std::move(text));
}

// Installed when the library is loaded, before any domain exists.
[[maybe_unused]] const bool installed = (dds_set_log_sink(&sink, nullptr), true);

}  // namespace

void EngineLog::post(LogLevel level, const char* logger, std::string text) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.stopping) {
        enqueue(s, level, logger, std::move(text));
    }
}

std::string EngineLog::takeReason() {
    std::string said = std::exchange(lastError, std::string());
    return said.empty() ? said : " (" + said + ")";
}

void EngineLog::stop() {
    if (inForkedProcess()) {
        return;  // the thread, if any, is the parent's
    }
    State& s = state();
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.stopping) {
            return;
        }
        s.stopping = true;
        thread = std::move(s.thread);
        s.wake.notify_one();
    }
    if (thread.joinable()) {
        thread.join();
    }
}

}  // namespace tav::qel::dds
