#pragma once
#include <Python.h>

#include "tav/qel/bindings/InterpreterLifetime.hpp"

#include <cxxabi.h>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace tav::qel::bindings {

namespace detail {

// Runs f with the interpreter lock released (the caller holds it) and takes the lock
// back before it returns or rethrows f's exception: with restoreThreadOrPark if
// Park, else plainly, in ordinary code, so that a thread the finalising interpreter
// ends unwinds outside any destructor.
template <bool Park, class F>
auto runWithoutGil(F& f) -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<R>) {
        auto returningTrue = [&f] {
            f();
            return true;
        };
        runWithoutGil<Park>(returningTrue);
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
        if constexpr (Park) {
            restoreThreadOrPark(state);
        } else {
            PyEval_RestoreThread(state);
        }
        if (error) {
            std::rethrow_exception(error);
        }
        return std::move(*result);
    }
}

}  // namespace detail

// Runs f with the interpreter lock released and takes the lock back before it
// returns or rethrows f's exception. For bound functions, which hold the lock: a
// daemon thread that comes back while the interpreter finalises is ended by it, as
// ordinary code lets it be (InterpreterLifetime.hpp), so never call this in a
// destructor. f must not touch Python objects.
template <class F>
auto withoutGil(F&& f) -> std::invoke_result_t<F&> {
    return detail::runWithoutGil<false>(f);
}

// Runs wait, a native wait that may need other threads to enter Python (a handler
// being waited for), on any thread and even inside a destructor: if the calling
// thread holds the lock of a live interpreter, the lock is released around the wait
// and taken back with restoreThreadOrPark; otherwise wait just runs. wait must not
// touch Python objects.
template <class F>
void waitWithoutGil(F&& wait) {
    if (!interpreterAlive() || !holdsGil()) {
        wait();
        return;
    }
    detail::runWithoutGil<true>(wait);
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
