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

// The thread that runs the signal handlers, once it has asked; null until then.
inline std::atomic<pthread_t> signalHandlerThread{};

// In a child made by fork, the thread that forked is the main thread.
inline void forkedChildTakesSignals() {
    signalHandlerThread.store(::pthread_self(), std::memory_order_relaxed);
}

}  // namespace detail

// True on the thread that runs the interpreter's signal handlers: the process's
// main thread, whose thread id is the process id (in a forked child, the thread that
// forked, as for the interpreter). Needs no interpreter lock. Asked before every
// wait and every publish that may wait: the answer costs two system calls until the
// main thread has asked once, and a comparison from then on.
inline bool runsSignalHandlers() {
    const pthread_t known = detail::signalHandlerThread.load(std::memory_order_acquire);
    if (known != pthread_t{}) {
        return ::pthread_equal(known, ::pthread_self()) != 0;
    }
    if (static_cast<pid_t>(::syscall(SYS_gettid)) != ::getpid()) {
        return false;
    }
    // Only the main thread comes here, and only once: from then on the thread is
    // known (and a fork child's handler keeps it known).
    ::pthread_atfork(nullptr, nullptr, &detail::forkedChildTakesSignals);
    detail::signalHandlerThread.store(::pthread_self(), std::memory_order_release);
    return true;
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
