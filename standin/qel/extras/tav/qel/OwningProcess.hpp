#pragma once
// The process the middleware runs in. A process forked after the middleware started
// inherits copies of its entities, but none of its threads, and a lock that one of
// those threads held at the fork stays locked for good. There the middleware cannot
// run: its inherited entities refuse every operation, closing them does nothing, and
// destroying them releases nothing (their state may be in use by threads that only
// the parent has). No entity can be created there either.
#include <memory>

#include "tav/qel/Export.hpp"

namespace tav::qel {

// Records that the middleware starts running in this process: called before a
// middleware starts its first thread or opens its first entity.
QEL_API void noteMiddlewareStarted() noexcept;

// Throws QelException when this process was forked from one in which the middleware
// had started; what names the refusing object ("this subscriber", "the middleware").
// Every entity operation and every factory calls it first, before it takes any lock
// of the middleware.
QEL_API void ensureOwningProcess(const char* what);

// True in a process forked from one in which the middleware had started.
QEL_API bool inForkedProcess() noexcept;

// Keeps state reachable until the process ends and never destroys it: what a
// destructor does with its state in a forked process.
QEL_API void abandonState(std::shared_ptr<const void> state) noexcept;

// Destructors call this first: true (and the state handed over for good) in a
// forked process, where they must then do nothing else.
template <class T>
bool abandonedInForkedProcess(std::shared_ptr<T>& state) noexcept {
    if (!inForkedProcess()) {
        return false;
    }
    abandonState(std::shared_ptr<const void>(std::move(state)));
    return true;
}

}  // namespace tav::qel
