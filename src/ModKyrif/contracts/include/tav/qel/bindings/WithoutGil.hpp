#pragma once
#include <Python.h>

#include <cxxabi.h>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace tav::qel::bindings {

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

// Runs f with the interpreter lock released and takes the lock back before it
// returns or rethrows f's exception. The lock is taken back in ordinary code, never
// in a destructor: a daemon thread that comes back while the interpreter is
// finalising is ended by the interpreter (pthread_exit), and that unwinding is only
// safe outside destructors. f must not touch Python objects.
template <class F>
auto withoutGil(F&& f) -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<R>) {
        withoutGil([&f] {
            f();
            return true;
        });
    } else {
        PyThreadState* state = PyEval_SaveThread();
        std::optional<R> result;
        std::exception_ptr error;
        try {
            result.emplace(f());
        } catch (abi::__forced_unwind&) {
            throw;
        } catch (...) {
            error = std::current_exception();
        }
        PyEval_RestoreThread(state);
        if (error) {
            std::rethrow_exception(error);
        }
        return std::move(*result);
    }
}

// Wraps a member function so that the native call runs with the lock released:
// arguments are converted before and the result after, with the lock held. Only for
// members whose arguments are converted values (numbers, texts, durations): an
// argument that refers to an object Python can change meanwhile (a sample, a filter)
// must be copied while the lock is held instead.
template <auto Member>
struct WithoutGilCall;

template <class C, class R, class... A, R (C::*Member)(A...)>
struct WithoutGilCall<Member> {
    static R call(C& self, A... args) {
        return withoutGil([&]() -> R { return (self.*Member)(std::forward<A>(args)...); });
    }
};

template <class C, class R, class... A, R (C::*Member)(A...) const>
struct WithoutGilCall<Member> {
    static R call(const C& self, A... args) {
        return withoutGil([&]() -> R { return (self.*Member)(std::forward<A>(args)...); });
    }
};

}  // namespace tav::qel::bindings
