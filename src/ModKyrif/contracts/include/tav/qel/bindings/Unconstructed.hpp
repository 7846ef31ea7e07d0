#pragma once
// Objects made by a class's __new__ without its constructor (Cls.__new__(Cls)) have
// no native value behind them. The binding library would allocate one the first
// time a function converts such an object, uninitialised, and call into it. Every
// class of a module is set here to refuse that allocation with TypeError instead, so
// that such an object is refused by every method, property and argument conversion,
// while construction, Python subclasses and objects returned by native code, which
// all carry a value, are untouched. Call refuseUnconstructedObjects(module) once at
// the end of the module's initialisation: it finds the classes itself, so a class
// added to the module later is covered too.
#include <pybind11/pybind11.h>

#include "tav/qel/bindings/Pybind11Internals.hpp"

#include <cstddef>
#include <string>

namespace tav::qel::bindings {

namespace detail {

[[noreturn]] inline void* refuseUnconstructedValue(std::size_t /*size*/) {
    throw pybind11::type_error(
        "this object was made by __new__ without its constructor and holds no native value; "
        "create it with the class's constructor or factory");
}

inline bool belongsTo(pybind11::handle object, const std::string& moduleName) {
    if (!pybind11::hasattr(object, "__module__")) {
        return false;
    }
    const pybind11::object owner = object.attr("__module__");
    if (!pybind11::isinstance<pybind11::str>(owner)) {
        return false;
    }
    const std::string name = owner.cast<std::string>();
    return name == moduleName || name.rfind(moduleName + ".", 0) == 0;
}

// Sets the refusal on every class of the binding library found in scope (a module
// or a class) and in the modules and classes nested in it that belong to the
// module named moduleName. visited keeps each scope to one visit.
inline void refuseIn(pybind11::handle scope, const std::string& moduleName, pybind11::set& visited) {
    if (visited.contains(scope)) {
        return;
    }
    visited.add(scope);
    const pybind11::object members = scope.attr("__dict__").attr("values")();
    for (const pybind11::handle value : members) {
        if (PyModule_Check(value.ptr())) {
            const std::string name = pybind11::str(value.attr("__name__"));
            if (name.rfind(moduleName + ".", 0) == 0) {
                refuseIn(value, moduleName, visited);
            }
        } else if (PyType_Check(value.ptr()) && belongsTo(value, moduleName)) {
            internals::setValueAllocator(reinterpret_cast<PyTypeObject*>(value.ptr()), &refuseUnconstructedValue);
            refuseIn(value, moduleName, visited);
        }
    }
}

}  // namespace detail

inline void refuseUnconstructedObjects(pybind11::module_& module) {
    pybind11::set visited;
    detail::refuseIn(module, pybind11::str(module.attr("__name__")), visited);
}

}  // namespace tav::qel::bindings
