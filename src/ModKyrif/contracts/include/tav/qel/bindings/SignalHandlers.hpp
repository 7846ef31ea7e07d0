#pragma once
// Ctrl-C during a long native wait. Python's signal handlers run on the main thread
// whenever it runs Python code; a native wait with the interpreter lock released
// runs none, so a program blocked in one could not be interrupted. The waits of the
// main thread therefore wake at short intervals and run the handlers that became due.
#include <pybind11/pybind11.h>

#include "tav/qel/bindings/InterpreterLifetime.hpp"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

namespace tav::qel::bindings {

// The longest a wait of the main thread goes without running the signal handlers.
inline constexpr std::chrono::milliseconds signalCheckInterval{50};

namespace detail {

// Counts the forks this process came from: in a forked child the thread that forked
// becomes the main thread, so each thread's answer below is found again once.
inline std::atomic<unsigned> forkGeneration{0};
[[maybe_unused]] inline const bool forkGenerationCounted = [] {
    ::pthread_atfork(nullptr, nullptr, [] { forkGeneration.fetch_add(1, std::memory_order_relaxed); });
    return true;
}();

}  // namespace detail

// True on the thread that runs the interpreter's signal handlers: the process's
// main thread, whose thread id is the process id (in a forked child, the thread that
// forked, as for the interpreter). Needs no interpreter lock. Asked before every
// wait and every publish that may wait, so each thread finds its answer once (two
// system calls) and keeps it until a fork.
inline bool runsSignalHandlers() {
    thread_local unsigned generation = ~0u;
    thread_local bool mainThread = false;
    const unsigned now = detail::forkGeneration.load(std::memory_order_relaxed);
    if (generation != now) {
        mainThread = static_cast<pid_t>(::syscall(SYS_gettid)) == ::getpid();
        generation = now;
    }
    return mainThread;
}

// Called by a wait that released the interpreter lock, between two stretches of
// waiting. On the main thread it takes the lock, runs the signal handlers that
// became due and releases the lock again; a handler's exception is thrown as
// error_already_set, for the wait to give up with (the binding then raises it). On
// every other thread it does nothing.
inline void runDueSignalHandlers() {
    if (!runsSignalHandlers() || !interpreterAlive()) {
        return;
    }
    GilOrPark gil;
    if (PyErr_CheckSignals() != 0) {
        throw pybind11::error_already_set();  // takes the handler's exception, under the lock
    }
}

}  // namespace tav::qel::bindings
