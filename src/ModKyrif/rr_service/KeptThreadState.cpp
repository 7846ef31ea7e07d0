#include "rr_service/KeptThreadState.hpp"

#include "exceptions/InterpreterAlive.hpp"
#include "tav/qel/bindings/Pybind.hpp"

namespace modkyrif {

namespace {

// The thread state a thread keeps; released when the thread ends.
struct Kept {
    PyThreadState* state = nullptr;

    Kept() = default;
    Kept(const Kept&) = delete;
    Kept& operator=(const Kept&) = delete;

    ~Kept() {
        if (state == nullptr || !interpreterAlive()) {
            return;
        }
        // Middleware threads end when the middleware shuts down at interpreter exit,
        // before finalisation begins: the lock can still be taken here.
        PyEval_RestoreThread(state);
        auto& internals = pybind11::detail::get_internals();
        if (PYBIND11_TLS_GET_VALUE(internals.tstate) == state) {
            PYBIND11_TLS_DELETE_VALUE(internals.tstate);
        }
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
    auto& internals = pybind11::detail::get_internals();
    if (PYBIND11_TLS_GET_VALUE(internals.tstate) != nullptr) {
        return;
    }
    // A new thread state needs no lock. It is registered where the binding library's
    // scoped acquisition looks for the thread's state, with one reference of its own,
    // so that the acquisitions' count never falls to zero and deletes it.
    PyThreadState* state = PyThreadState_New(internals.istate);
    if (state == nullptr) {
        return;  // the acquisition makes a temporary state, as before
    }
    state->gilstate_counter = 1;
    PYBIND11_TLS_REPLACE_VALUE(internals.tstate, state);
    kept.state = state;
}

}  // namespace modkyrif
