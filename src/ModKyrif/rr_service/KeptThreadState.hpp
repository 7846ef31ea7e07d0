#pragma once

namespace modkyrif {

// Gives the calling native thread a Python thread state that it keeps until the
// thread ends, so that taking the interpreter lock on it (the binding library's
// scoped acquisition) no longer creates and destroys a thread state every time.
// Meant for the middleware's worker threads, which enter Python for every request.
// Call it without the interpreter lock, only while the interpreter is running. A
// thread Python already knows (a Python thread, or one that holds a state of its
// own) is left as it is. The state is released when the thread ends, with the lock
// taken in ordinary code only while the interpreter is still running; a thread that
// ends after the interpreter began to finalise leaves it behind.
void keepThreadState();

}  // namespace modkyrif
