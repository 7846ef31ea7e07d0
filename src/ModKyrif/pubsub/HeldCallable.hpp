#pragma once
// A Python callable, converted to a std::function by the binding library, that the
// middleware keeps in a handler and may drop on any thread: a middleware thread, or
// a Python thread inside a call that released the interpreter lock (closing a
// subscriber). Dropping it needs the interpreter lock. A finalising interpreter ends
// a thread that asks for its lock by unwinding it, and that unwinding aborts the
// process when it meets a destructor; so the lock is taken here, where the
// unwinding can be stopped, and such a thread is parked for good instead (the
// process is ending). After the interpreter has gone the callable is left alone.
#include <Python.h>

#include <cxxabi.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "tav/qel/bindings/WithoutGil.hpp"

namespace modkyrif {

template <class Callback>
class HeldCallable {
public:
    explicit HeldCallable(Callback callback) : callback_(std::move(callback)) {}
    HeldCallable(const HeldCallable&) = default;
    HeldCallable(HeldCallable&&) noexcept = default;
    HeldCallable& operator=(const HeldCallable&) = delete;
    HeldCallable& operator=(HeldCallable&&) = delete;

    ~HeldCallable() {
        if (!callback_) {
            return;
        }
        if (!Py_IsInitialized()) {
            park(std::move(callback_));  // nothing of Python may be touched any more
            return;
        }
        if (tav::qel::bindings::holdsGil()) {
            callback_ = nullptr;
            return;
        }
        try {
            PyGILState_STATE state = PyGILState_Ensure();
            callback_ = nullptr;
            PyGILState_Release(state);
        } catch (abi::__forced_unwind&) {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::hours(24));
            }
        }
    }

    const Callback& get() const noexcept { return callback_; }

private:
    // Keeps a callable that can no longer be released reachable until the process
    // ends, so that it is neither destroyed nor mistaken for a leak.
    static void park(Callback callback) {
        static std::mutex mutex;
        static auto* parked = new std::vector<Callback>();
        std::lock_guard<std::mutex> lock(mutex);
        parked->push_back(std::move(callback));
    }

    Callback callback_;
};

}  // namespace modkyrif
