#pragma once
// The rules that tie native threads to the interpreter's lifetime, for every module of
// the middleware's bindings.
//
// Native threads (the middleware's, and Python threads inside a call that released
// the interpreter lock) may still be waiting when the process begins to end. Once
// the interpreter has begun to finalise, a thread other than the finalising one that
// asks for the interpreter lock is ended by the interpreter (pthread_exit, a forced
// unwinding of its stack). That unwinding is harmless in ordinary code, but it aborts
// the process when it meets a destructor or a noexcept function. Hence one policy:
//
//  - Ordinary code that takes the lock (a bound function taking it back after its
//    wait, a handler entering Python, a batch of deliveries) lets the interpreter end
//    the thread, as Python ends its own daemon threads: the unwinding releases what
//    the thread holds. Such code never takes the lock in a destructor.
//  - Code that may run inside a destructor (the middleware's waits, dropping Python
//    references, releasing a thread state) and the signal handlers' runs take the
//    lock with GilOrPark or restoreThreadOrPark: a thread that the interpreter would
//    end is parked instead, asleep until the process ends, without the interpreter
//    lock.
//  - Python references held by native objects are dropped by dropPythonReferences,
//    on any thread, at any time: at once, under the lock; or, once the interpreter is
//    finalising or gone, never (they are kept reachable until the process ends, so
//    that nothing of Python is touched and nothing is mistaken for a leak).
#include <Python.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace tav::qel::bindings {

// True while Python objects may be touched: the interpreter is initialised and has
// not begun to finalise. Needs no lock.
inline bool interpreterAlive() noexcept {
    if (!Py_IsInitialized()) {
        return false;
    }
#if PY_VERSION_HEX >= 0x030D0000
    return !Py_IsFinalizing();
#else
    return !_Py_IsFinalizing();
#endif
}

// True when the calling thread holds the interpreter lock, that is, has a thread
// state attached. PyGILState_Check cannot tell: once any sub-interpreter has been
// created in the process it answers true on every thread.
inline bool holdsGil() noexcept {
#if PY_VERSION_HEX >= 0x030D0000
    return PyThreadState_GetUnchecked() != nullptr;
#else
    return _PyThreadState_UncheckedGet() != nullptr;
#endif
}

// Parks the calling thread for good: it sleeps until the process ends.
[[noreturn]] inline void parkThread() noexcept {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(24));
    }
}

// PyEval_RestoreThread(state), for code that may run inside a destructor: a thread
// the finalising interpreter ends is parked instead. The only exception the call can
// raise is that forced unwinding, hence the catch-all (which binds no exception object).
inline void restoreThreadOrPark(PyThreadState* state) noexcept {
    try {
        PyEval_RestoreThread(state);
    } catch (...) {
        parkThread();
    }
}

// Holds the interpreter lock for its scope, on any thread (a thread without a Python
// thread state gets one for the scope), for code that may run inside a destructor: a
// thread the finalising interpreter ends is parked instead. Nests with every other
// way of taking the lock. Take it only while interpreterAlive(): once the
// interpreter is gone there is no lock to take.
class GilOrPark {
public:
    GilOrPark() noexcept {
        try {
            state_ = PyGILState_Ensure();
        } catch (...) {
            parkThread();
        }
    }
    GilOrPark(const GilOrPark&) = delete;
    GilOrPark& operator=(const GilOrPark&) = delete;
    ~GilOrPark() { PyGILState_Release(state_); }

private:
    PyGILState_STATE state_{};
};

// Keeps value reachable, never destroyed, until the process ends.
template <class T>
void keepUntilProcessEnds(T&& value) {
    static std::mutex mutex;
    static auto* kept = new std::vector<std::shared_ptr<void>>();
    auto holder = std::make_shared<std::decay_t<T>>(std::forward<T>(value));
    std::lock_guard<std::mutex> lock(mutex);
    kept->push_back(std::move(holder));
}

// Destroys references, an object whose destruction drops Python references (a
// pybind11::object, a callable converted by the binding library, ...), on any thread:
// at once if the calling thread holds the interpreter lock, else with the lock taken
// for it (GilOrPark). Once the interpreter is finalising or gone, it is kept until the
// process ends instead (keepUntilProcessEnds), even by the finalising thread. Moving
// references must not touch Python and must leave the moved-from object holding none
// (true of both examples).
template <class T>
void dropPythonReferences(T&& references) noexcept {
    static_assert(!std::is_lvalue_reference_v<T>, "hand the references over (an rvalue): a copy would need the lock");
    std::optional<std::decay_t<T>> held(std::forward<T>(references));
    if (!interpreterAlive()) {
        keepUntilProcessEnds(std::move(*held));
    } else if (holdsGil()) {
        held.reset();
    } else {
        GilOrPark gil;
        held.reset();
    }
}

// Owns value, an object that holds Python references, so that it may be destroyed
// on any thread at any time: its references are dropped by dropPythonReferences (a
// value that holds none, tested by its conversion to bool, costs nothing). Copying
// copies value, with whatever lock value's copy takes itself.
template <class T>
class AnyThreadHeld {
public:
    explicit AnyThreadHeld(T value) : value_(std::move(value)) {}
    AnyThreadHeld(const AnyThreadHeld&) = default;
    AnyThreadHeld(AnyThreadHeld&&) noexcept = default;
    AnyThreadHeld& operator=(const AnyThreadHeld&) = delete;
    AnyThreadHeld& operator=(AnyThreadHeld&&) = delete;
    ~AnyThreadHeld() {
        if (static_cast<bool>(value_)) {
            dropPythonReferences(std::move(value_));
        }
    }

    const T& get() const noexcept { return value_; }

private:
    T value_;
};

}  // namespace tav::qel::bindings
