// What ties the middleware's threads to the interpreter's lifetime.
#include <functional>

#include "Definitions.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/WexFactory.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"

namespace pyqelcpp {

namespace {

// Waits of the middleware (closing an entity while one of its handlers runs) let
// other Python threads run when the waiting thread holds the interpreter lock: the
// handler being waited for may itself need it.
void releaseLockWhileWaiting(const std::function<void()>& wait) {
    if (Py_IsInitialized() && PyGILState_Check()) {
        tav::qel::bindings::withoutGil([&] { wait(); });
    } else {
        wait();
    }
}

}  // namespace

void install_lifecycle(py::module_& /*m*/) {
    tav::qel::setBlockingHook(&releaseLockWhileWaiting);

    // The middleware's threads are stopped and joined before the interpreter
    // finalises, so that none of them enters Python while it goes away. The lock is
    // released so that a handler still running can finish.
    py::module_::import("atexit").attr("register")(py::cpp_function(
        [] { tav::qel::bindings::withoutGil([] { tav::qel::WexFactory::getInstance().shutdown(); }); },
        py::name("_shutdown_middleware")));
}

}  // namespace pyqelcpp
