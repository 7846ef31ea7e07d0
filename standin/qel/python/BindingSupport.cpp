// Classes of the binding support that other binding modules build on.
#include "Definitions.hpp"
#include "tav/qel/bindings/ClientRrEntityBaseDelegate.hpp"
#include "tav/qel/bindings/QelPythonExceptionObject.hpp"

namespace pyqelcpp {

void define_binding_support(py::module_& m) {
    using tav::qel::bindings::QelPythonExceptionObjectPtr;

    py::class_<QelPythonExceptionObjectPtr>(m, "QelPythonExceptionObjectPtr",
                                            "Container of a native exception to be thrown for a Python exception")
        .def("__bool__", [](const QelPythonExceptionObjectPtr& self) { return static_cast<bool>(self); });

    py::class_<tav::qel::bindings::rr::ClientRrEntityBaseDelegate>(m, "ClientRrEntityBaseDelegate",
                                                                   "Base of the request/reply client classes");
}

}  // namespace pyqelcpp
