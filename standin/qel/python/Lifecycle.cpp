// What ties the middleware's threads to the interpreter's lifetime.
#include <cxxabi.h>

#include <cstdio>
#include <functional>

#include "Definitions.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/LogHook.hpp"
#include "tav/qel/WexFactory.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"
#include "tav/qel/detail/DeliveryHook.hpp"

namespace pyqelcpp {

namespace {

using tav::qel::bindings::holdsGil;
using tav::qel::bindings::interpreterAlive;

// Waits of the middleware (closing an entity while one of its handlers runs) let
// other Python threads run when the waiting thread holds the interpreter lock: the
// handler being waited for may itself need it. These waits mostly run inside
// destructors (Python lets go of a server, a client or a subscriber, and closing it
// waits for its threads), so a thread that comes back into a finalising interpreter
// is parked. It keeps no lock of the middleware then: only the exit shutdown returns
// holding one, and it runs on the finalising thread, which gets the interpreter lock
// back as usual.
void releaseLockWhileWaiting(const std::function<void()>& wait) { tav::qel::bindings::waitWithoutGil(wait); }

// A dispatcher thread takes the interpreter lock once for a whole batch of handler
// calls: the handlers' own acquisitions then nest cheaply, instead of each event
// costing a hand-off of the lock between threads. Python code in the handlers still
// lets other threads run at its usual switch points. Once the interpreter is going
// away the batch runs without the lock (the handlers then refuse to enter Python);
// the lock is never taken in a destructor, so a thread ended by a finalising
// interpreter unwinds safely through the dispatcher.
void deliverUnderLock(const std::function<void()>& batch) {
    if (!interpreterAlive() || holdsGil()) {
        batch();
        return;
    }
    PyGILState_STATE state = PyGILState_Ensure();
    try {
        batch();
    } catch (abi::__forced_unwind&) {
        throw;  // the thread is being ended and no longer holds the lock
    } catch (...) {
        PyGILState_Release(state);
        throw;
    }
    PyGILState_Release(state);
}

// The middleware's messages become records of Python's logging. Once the interpreter
// is going away they go to stderr instead, as they would without this hook.
void logThroughPython(tav::qel::LogLevel level, const char* logger, const std::string& message) {
    if (!interpreterAlive()) {
        std::fprintf(stderr, "%s: %s\n", logger, message.c_str());
        return;
    }
    PyGILState_STATE state = PyGILState_Ensure();
    try {
        py::module_::import("logging").attr("getLogger")(logger).attr("log")(static_cast<int>(level), message);
    } catch (abi::__forced_unwind&) {
        throw;  // the thread is being ended and no longer holds the lock
    } catch (py::error_already_set& error) {
        error.discard_as_unraisable("logging a message of the middleware");
    }
    PyGILState_Release(state);
}

}  // namespace

void install_lifecycle(py::module_& /*m*/) {
    tav::qel::setBlockingHook(&releaseLockWhileWaiting);
    tav::qel::detail::setDeliveryHook(&deliverUnderLock);
    tav::qel::setLogHook(&logThroughPython);

    // The middleware's threads are stopped and joined before the interpreter
    // finalises, so that none of them enters Python while it goes away. The lock is
    // released so that a handler still running can finish. The module is initialised
    // only in the main interpreter, so only its end runs this. In a process forked
    // after the middleware started there is nothing to stop: the threads are the
    // parent's (the shutdown returns at once there).
    py::module_::import("atexit").attr("register")(py::cpp_function(
        [] { tav::qel::bindings::withoutGil([] { tav::qel::WexFactory::getInstance().shutdown(); }); },
        py::name("_shutdown_middleware")));
}

}  // namespace pyqelcpp
