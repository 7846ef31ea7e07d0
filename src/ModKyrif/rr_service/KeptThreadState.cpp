#include "rr_service/KeptThreadState.hpp"

#include "tav/qel/bindings/InterpreterLifetime.hpp"
#include "tav/qel/bindings/Pybind11Internals.hpp"

namespace modkyrif {

namespace {

namespace internals = tav::qel::bindings::internals;

// The thread state a thread keeps; released when the thread ends.
struct Kept {
    PyThreadState* state = nullptr;

    Kept() = default;
    Kept(const Kept&) = delete;
    Kept& operator=(const Kept&) = delete;

    ~Kept() {
        if (state == nullptr || !tav::qel::bindings::interpreterAlive()) {
            return;
        }
        // Middleware threads end when the middleware shuts down at interpreter exit,
        // before finalisation begins: the lock can still be taken here, and a thread
        // that finds finalisation begun meanwhile is parked.
        tav::qel::bindings::restoreThreadOrPark(state);
        internals::clearSlotThreadState(state);
        PyThreadState_Clear(state);
        PyThreadState_DeleteCurrent();
    }
};

}  // namespace

void keepThreadState() {
    thread_local Kept kept;
    if (kept.state != nullptr || PyGILState_GetThisThreadState() != nullptr) {
        return;
    }
    if (internals::slotThreadState() != nullptr) {
        return;
    }
    // A new thread state needs no lock. It is registered where the binding library's
    // scoped acquisition looks for the thread's state, with one reference of its own,
    // so that the acquisitions' count never falls to zero and deletes it.
    PyThreadState* state = PyThreadState_New(internals::slotInterpreter());
    if (state == nullptr) {
        return;  // the acquisition makes a temporary state, as before
    }
    state->gilstate_counter = 1;
    internals::setSlotThreadState(state);
    kept.state = state;
}

}  // namespace modkyrif
