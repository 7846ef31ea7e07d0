#pragma once
#include "tav/qel/Export.hpp"

namespace tav::qel {

// Lets a thread that waits inside the middleware for its caller (reads, polls, a
// publish on a full queue, a command waiting for its reply) attend to its embedding
// interpreter while it waits: Python runs its signal handlers on its main thread, and
// a Ctrl-C must reach a program blocked in the middleware. An embedding language
// installs a hook (pyqelcpp does); without one the waits simply wait.
struct InterruptionHook {
    // True when the calling thread has to be checked while it waits. Called with a
    // lock of the middleware held: it must be cheap and must not block.
    bool (*applies)();
    // Attends to the interpreter; called with no lock of the middleware held, at
    // most interruptionInterval apart. Throwing abandons the wait: the exception
    // reaches the caller, and the operation then has not happened.
    void (*check)();
};

// The longest a checked wait goes without calling the hook's check.
inline constexpr int interruptionIntervalMs = 50;

// Installs the hook (static storage; null removes it).
QEL_API void setInterruptionHook(const InterruptionHook* hook);
QEL_API const InterruptionHook* interruptionHook();

}  // namespace tav::qel
