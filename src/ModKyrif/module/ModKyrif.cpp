// Entry point of the extension module: the interpreter-version check, the refusal
// of sub-interpreters, the submodule tree, the StartTriggerTypes enumeration and the binding units in their fixed order.
#include "kyrif/StartTriggerTypes.hpp"
#include "module/BindingUnits.hpp"
#include "tav/qel/bindings/MainInterpreterModule.hpp"
#include "tav/qel/bindings/Unconstructed.hpp"

namespace py = pybind11;

TAV_QEL_MAIN_INTERPRETER_MODULE(ModKyrif, root) {
    // The middleware's Python types and translators must exist before anything of
    // this module refers to them.
    py::module_ pyqelcpp = py::module_::import("pyqelcpp");

    py::module_ kyrifModule = root.def_submodule("Kyrif", "Submodule");

    py::enum_<kyrif::StartTriggerTypes>(kyrifModule, "StartTriggerTypes")
        .value("Signal", kyrif::Signal)
        .value("AbsTime", kyrif::AbsTime)
        .value("Custom", kyrif::Custom)
        .value("NotUsed", kyrif::NotUsed)
        .export_values();

    bind_Kyrif_0001(kyrifModule);
    bind_Kyrif_0002(kyrifModule);

    static bool bridgeCreated = false;
    if (!bridgeCreated) {
        modkyrif::createExceptionErrBridge(kyrifModule, pyqelcpp.attr("QelException"));
        bridgeCreated = true;
    }
    modkyrif::registerExceptionErrTranslator();

    py::module_ kyrCmdsModule = kyrifModule.def_submodule("KyrCmds", "Submodule for KyrCmds");
    bind_Kyrif_0003(kyrCmdsModule);

    tav::qel::bindings::refuseUnconstructedObjects(root);
}
