// What ties the middleware's threads to the interpreter's lifetime.
#include <cxxabi.h>

#include <chrono>
#include <exception>
#include <functional>
#include <thread>

#include "Definitions.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/WexFactory.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"
#include "tav/qel/detail/DeliveryHook.hpp"

namespace pyqelcpp {

namespace {

[[noreturn]] void parkForever() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(24));
    }
}

// Takes the interpreter lock back after a wait. These waits mostly run inside
// destructors (Python lets go of a server, a client or a subscriber, and closing it
// waits for its threads). A finalising interpreter ends any other thread that comes
// back for its lock by unwinding it, and that unwinding aborts the process when it
// meets a destructor. Such a thread is parked for good instead: the process is
// ending, and the thread keeps no lock of the middleware (only the exit shutdown
// returns holding one, and it runs on the finalising thread, which gets the
// interpreter lock back as usual).
void retakeLockOrPark(PyThreadState* state) {
    try {
        PyEval_RestoreThread(state);
    } catch (abi::__forced_unwind&) {
        parkForever();
    }
}

// Waits of the middleware (closing an entity while one of its handlers runs) let
// other Python threads run when the waiting thread holds the interpreter lock: the
// handler being waited for may itself need it.
void releaseLockWhileWaiting(const std::function<void()>& wait) {
    if (!Py_IsInitialized() || !tav::qel::bindings::holdsGil()) {
        wait();
        return;
    }
    PyThreadState* state = PyEval_SaveThread();
    std::exception_ptr error;
    try {
        wait();
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
        error = std::current_exception();
    }
    retakeLockOrPark(state);
    if (error) {
        std::rethrow_exception(error);
    }
}

bool interpreterRunning() {
    if (!Py_IsInitialized()) {
        return false;
    }
#if PY_VERSION_HEX >= 0x030D0000
    return !Py_IsFinalizing();
#else
    return !_Py_IsFinalizing();
#endif
}

// A dispatcher thread takes the interpreter lock once for a whole batch of handler
// calls: the handlers' own acquisitions then nest cheaply, instead of each event
// costing a hand-off of the lock between threads. Python code in the handlers still
// lets other threads run at its usual switch points. Once the interpreter is going
// away the batch runs without the lock (the handlers then refuse to enter Python);
// the lock is never taken in a destructor, so a thread ended by a finalising
// interpreter unwinds safely through the dispatcher.
void deliverUnderLock(const std::function<void()>& batch) {
    if (!interpreterRunning() || tav::qel::bindings::holdsGil()) {
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

}  // namespace

void install_lifecycle(py::module_& /*m*/) {
    tav::qel::setBlockingHook(&releaseLockWhileWaiting);
    tav::qel::detail::setDeliveryHook(&deliverUnderLock);

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
