// Ctrl-C reaches a main thread that waits inside the middleware: the middleware's
// waits on the main thread wake at short intervals and run the due signal handlers.
#include "Definitions.hpp"
#include "tav/qel/InterruptionHook.hpp"
#include "tav/qel/bindings/SignalHandlers.hpp"

namespace pyqelcpp {

namespace {

// Only the main thread runs signal handlers: every other thread waits as before.
const tav::qel::InterruptionHook signalHandlersHook{
    &tav::qel::bindings::runsSignalHandlers,
    &tav::qel::bindings::runDueSignalHandlers,
};

}  // namespace

void install_signal_handling(py::module_& /*m*/) {
    tav::qel::setInterruptionHook(&signalHandlersHook);
}

}  // namespace pyqelcpp
