#pragma once
// Ctrl-C during a long native wait. Python's signal handlers run on the main thread
// whenever it runs Python code; a native wait with the interpreter lock released
// runs none, so a program blocked in one could not be interrupted. The waits of the
// main thread therefore wake at short intervals and run the handlers that became due.
#include <pybind11/pybind11.h>

#include "tav/qel/bindings/InterpreterLifetime.hpp"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

namespace tav::qel::bindings {

// The longest a wait of the main thread goes without running the signal handlers.
inline constexpr std::chrono::milliseconds signalCheckInterval{50};

// True on the thread that runs the interpreter's signal handlers: the process's
// main thread, whose thread id is the process id (in a forked child, the thread that
// forked, as for the interpreter). Needs no interpreter lock.
inline bool runsSignalHandlers() {
    return static_cast<pid_t>(::syscall(SYS_gettid)) == ::getpid();
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
