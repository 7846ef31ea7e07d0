#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "tav/qel/bindings/Pybind.hpp"
#include "tav/qel/bindings/QelPythonExceptionObject.hpp"

namespace kyrif {

// Carries the interface's ExceptionErr across the language boundary.
//
// One class, three roles:
//  - the process-wide bridge: bound to the Python type ModKyrif.Kyrif.ExceptionErr;
//    its desc and code hold the values of the latest native ExceptionErr raised in
//    Python (the raised Python instances carry only the message);
//  - containers made by cpp_exception_factory: no Python type; they rebuild the
//    native exception from a Python one (throw_cpp_exception);
//  - snapshots made by _new_instance: bound to a subclass of their origin's type,
//    with a frozen copy of its desc and code.
//
// The Python object handle (the base) is the exception type the instance is bound
// to, or null for containers. The functions attached to a type share ownership of
// their instance, so they can never reach a destroyed one.
class ExceptionErrExc : public tav::qel::bindings::QelPythonExceptionObject, public pybind11::object {
public:
    // A container: no Python type, not owned.
    ExceptionErrExc() = default;
    // An instance bound to the exception type `type`, whose full dotted name is `name`.
    ExceptionErrExc(pybind11::object type, std::string name, bool owned);
    ExceptionErrExc(const ExceptionErrExc&) = delete;
    ExceptionErrExc& operator=(const ExceptionErrExc&) = delete;
    ~ExceptionErrExc() override;

    // Throws the native ExceptionErr with this container's desc and code.
    [[noreturn]] void throw_cpp_exception() override;

    // A new container filled from obj, a list of the Python exception's arguments
    // (description, code); anything else is first made into a list. Conversion
    // failures are reported on standard error and leave the container as filled so far.
    static tav::qel::bindings::QelPythonExceptionObjectPtr cpp_exception_factory(pybind11::handle obj);

    // Sets _cpp_exception_factory, getDesc, getCode, _new_instance and __del__ on
    // self's Python type. Needs the interpreter lock.
    static void AttachMethods(const std::shared_ptr<ExceptionErrExc>& self);

    bool owned = false;   // a snapshot, finished by the first __del__ of its class
    std::string name;     // full dotted name of the Python type
    std::string desc;
    std::int32_t code = 0;

private:
    // A new snapshot of self under a new subclass of self's type; returns that class.
    static pybind11::object newInstance(const std::shared_ptr<ExceptionErrExc>& self);
    // The first finalisation of an instance of a snapshot's class: the snapshot lets
    // go of its class (so that class and snapshot can be collected) and keeps only a
    // weak reference to it. Its desc and code stay readable.
    void finish();
    // The Python type this instance is bound to (a new reference).
    pybind11::object boundType() const;
    void releasePythonReferences() noexcept;

    pybind11::object finishedType_;  // weak reference to the type after finish()
    bool finished_ = false;
};

}  // namespace kyrif
