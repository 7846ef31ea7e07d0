// The process-wide ExceptionErr bridge: the Python type ModKyrif.Kyrif.ExceptionErr
// and the translator that raises it for a native ExceptionErr.
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

#include "exceptions/ExceptionErrExc.hpp"
#include "kyrif/ExceptionErr.hpp"
#include "module/BindingUnits.hpp"

namespace py = pybind11;

namespace modkyrif {
namespace {

// Lives until process exit. The functions attached to the Python type share it too.
std::shared_ptr<kyrif::ExceptionErrExc>& processBridge() {
    static std::shared_ptr<kyrif::ExceptionErrExc> bridge;
    return bridge;
}

// Raises a native ExceptionErr as the bridge's Python type, with the fixed message;
// the description and code travel through the bridge. Anything else is left to the
// translators after this one.
void translateExceptionErr(std::exception_ptr pending) {
    if (!pending) {
        return;
    }
    try {
        std::rethrow_exception(pending);
    } catch (const kyrif::ExceptionErr& error) {
        auto& bridge = processBridge();
        if (!bridge) {
            throw;
        }
        bridge->desc = error.getDesc();
        bridge->code = error.getCode();
        PyErr_SetString(bridge->ptr(), error.what());
    }
}

}  // namespace

void createExceptionErrBridge(py::module_ scope, py::handle base) {
    const std::string shortName = "ExceptionErr";
    const std::string name = py::str(scope.attr("__name__")).cast<std::string>() + "." + shortName;
    PyObject* type = PyErr_NewException(name.c_str(), base.ptr(), nullptr);
    if (type == nullptr) {
        throw py::error_already_set();
    }
    auto bridge = std::make_shared<kyrif::ExceptionErrExc>(py::reinterpret_steal<py::object>(type), name, false);
    if (py::hasattr(scope, shortName.c_str())) {
        throw std::runtime_error("Error during initialization: multiple incompatible definitions with name \"" +
                                 shortName + "\"");
    }
    kyrif::ExceptionErrExc::AttachMethods(bridge);
    scope.attr(shortName.c_str()) = py::reinterpret_borrow<py::object>(*bridge);
    processBridge() = std::move(bridge);
}

void registerExceptionErrTranslator() { py::register_exception_translator(&translateExceptionErr); }

}  // namespace modkyrif
