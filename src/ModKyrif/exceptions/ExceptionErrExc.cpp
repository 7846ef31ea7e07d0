#include "exceptions/ExceptionErrExc.hpp"

#include <iostream>
#include <stdexcept>
#include <utility>

#include "kyrif/ExceptionErr.hpp"
#include "tav/qel/bindings/InterpreterLifetime.hpp"

namespace py = pybind11;
using tav::qel::bindings::QelPythonExceptionObjectPtr;

namespace kyrif {

ExceptionErrExc::ExceptionErrExc(py::object type, std::string name, bool owned)
    : py::object(std::move(type)), owned(owned), name(std::move(name)) {}

ExceptionErrExc::~ExceptionErrExc() { releasePythonReferences(); }

void ExceptionErrExc::releasePythonReferences() noexcept {
    // Moving the references out touches no Python object. The process-wide bridge is
    // destroyed at process exit, after the interpreter is gone: its references are
    // then kept, untouched.
    std::pair<py::object, py::object> references(std::move(static_cast<py::object&>(*this)),
                                                 std::move(finishedType_));
    if (references.first || references.second) {
        tav::qel::bindings::dropPythonReferences(std::move(references));
    }
}

void ExceptionErrExc::throw_cpp_exception() {
    auto attributes = std::make_shared<ExceptionErr::Attributes>();
    attributes->desc = desc;
    attributes->code = code;
    throw ExceptionErr(std::move(attributes));
}

QelPythonExceptionObjectPtr ExceptionErrExc::cpp_exception_factory(py::handle obj) {
    auto owner = std::make_unique<ExceptionErrExc>();
    ExceptionErrExc& container = *owner;
    QelPythonExceptionObjectPtr holder(std::move(owner));
    try {
        py::list args = py::isinstance<py::list>(obj) ? py::reinterpret_borrow<py::list>(obj)
                                                      : py::list(py::reinterpret_borrow<py::object>(obj));
        if (!args.empty()) {
            container.desc = args.attr("pop")(0).cast<std::string>();
        }
        if (!args.empty()) {
            container.code = args.attr("pop")(0).cast<std::int32_t>();
        }
    } catch (const py::cast_error& e) {
        std::cerr << "cpp_exception_factory for ExceptionErrExc cast fail: " << e.what() << std::endl;
    } catch (py::error_already_set& e) {
        std::cerr << "cpp_exception_factory for ExceptionErrExc general fail: " << e.what() << std::endl;
        PyErr_Clear();
    }
    return holder;
}

py::object ExceptionErrExc::boundType() const {
    if (!finished_) {
        return py::reinterpret_borrow<py::object>(*this);
    }
    py::object type = py::reinterpret_borrow<py::object>(PyWeakref_GetObject(finishedType_.ptr()));
    if (type.is_none()) {
        throw std::runtime_error("the exception class of this " + name + " snapshot no longer exists");
    }
    return type;
}

py::object ExceptionErrExc::newInstance(const std::shared_ptr<ExceptionErrExc>& self) {
    py::object base = self->boundType();
    PyObject* type = PyErr_NewException(self->name.c_str(), base.ptr(), nullptr);
    if (type == nullptr) {
        throw py::error_already_set();
    }
    auto snapshot = std::make_shared<ExceptionErrExc>(py::reinterpret_steal<py::object>(type), self->name, true);
    AttachMethods(snapshot);
    snapshot->desc = self->desc;
    snapshot->code = self->code;
    return py::reinterpret_borrow<py::object>(*snapshot);
}

void ExceptionErrExc::finish() {
    if (!owned || finished_) {
        return;
    }
    // The finalised instance still holds its class, so the class outlives this call.
    finishedType_ = py::weakref(*this);
    finished_ = true;
    static_cast<py::object&>(*this) = py::object();
}

void ExceptionErrExc::AttachMethods(const std::shared_ptr<ExceptionErrExc>& self) {
    py::object type = py::reinterpret_borrow<py::object>(*self);
    type.attr("_cpp_exception_factory") =
        py::cpp_function([](py::object obj) { return cpp_exception_factory(obj); }, py::name("_cpp_exception_factory"),
                         py::doc("Return container pointer for C++ exception to be thrown"));
    type.attr("getDesc") = py::cpp_function([self]() { return self->desc; }, py::name("getDesc"),
                                            py::doc("Return value of desc"));
    type.attr("getCode") = py::cpp_function([self]() { return self->code; }, py::name("getCode"),
                                            py::doc("Return value of code"));
    type.attr("_new_instance") = py::cpp_function([self]() { return newInstance(self); }, py::name("_new_instance"),
                                                  py::doc("Create new instance and transfer member fields to it"));
    type.attr("__del__") = py::cpp_function([self]() { self->finish(); }, py::name("__del__"));
}

}  // namespace kyrif
