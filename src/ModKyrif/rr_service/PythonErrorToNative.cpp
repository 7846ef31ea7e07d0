#include "rr_service/PythonErrorToNative.hpp"

#include <stdexcept>
#include <utility>

#include "tav/qel/bindings/QelPythonExceptionObject.hpp"

namespace py = pybind11;
using tav::qel::bindings::QelPythonExceptionObjectPtr;

namespace modkyrif {

void throwNativeException(py::error_already_set& error) {
    PyErr_Clear();
    py::object instance = error.value();
    if (!instance || !py::hasattr(instance, "_cpp_exception_factory")) {
        throw std::runtime_error(error.what());
    }
    py::list args = py::hasattr(instance, "args") ? py::list(instance.attr("args")) : py::list();
    py::object holderObject = instance.attr("_cpp_exception_factory")(args);
    QelPythonExceptionObjectPtr holder = std::move(holderObject.cast<QelPythonExceptionObjectPtr&>());
    if (holder) {
        holder->throw_cpp_exception();
    }
    holder.reset();
    throw std::runtime_error("Python implementation exception handler - unknown error");
}

}  // namespace modkyrif
