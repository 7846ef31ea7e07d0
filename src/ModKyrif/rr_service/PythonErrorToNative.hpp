#pragma once
#include "tav/qel/bindings/Pybind.hpp"

namespace modkyrif {

// Throws the native exception for a Python error raised by a service object. An
// exception type with _cpp_exception_factory (ExceptionErr) is rebuilt as its native
// exception from its arguments; any other Python error becomes a runtime error with
// the binding library's description of it (type, message, traceback).
// Needs the interpreter lock.
[[noreturn]] void throwNativeException(pybind11::error_already_set& error);

}  // namespace modkyrif
