#pragma once
// The entry point of a module of the middleware's bindings. Such a module serves the
// whole process: one middleware, one registry of bound types, one exit shutdown, all
// tied to the main interpreter. Its initialisation therefore runs only there; in a
// sub-interpreter (the process's first import happening there, or an interpreter
// with its own lock) the import fails with ImportError, before the binding
// library's registry is touched, so that nothing of the module is left behind in an
// interpreter that may end before the process does.
#include <Python.h>
#include <pybind11/pybind11.h>

#include "tav/qel/bindings/Pybind11Internals.hpp"

namespace tav::qel::bindings {

// True, with ImportError set, when the calling interpreter is not the main one.
inline bool refusedOutsideMainInterpreter(const char* moduleName) {
    if (PyInterpreterState_Get() == PyInterpreterState_Main()) {
        return false;
    }
    PyErr_Format(PyExc_ImportError,
                 "module %s cannot be initialised in a sub-interpreter: it serves the whole process and "
                 "must first be imported by the main interpreter",
                 moduleName);
    return true;
}

}  // namespace tav::qel::bindings

// PYBIND11_MODULE with the refusal above between the interpreter-version check and
// the set-up of the binding library's registry (rebuilt from the library's own
// macros: see Pybind11Internals.hpp).
#define TAV_QEL_MAIN_INTERPRETER_MODULE(name, variable)                                                    \
    static ::pybind11::module_::module_def PYBIND11_CONCAT(pybind11_module_def_, name);                  \
    static void PYBIND11_CONCAT(pybind11_init_, name)(::pybind11::module_&);                             \
    PYBIND11_PLUGIN_IMPL(name) {                                                                           \
        PYBIND11_CHECK_PYTHON_VERSION                                                                      \
        if (::tav::qel::bindings::refusedOutsideMainInterpreter(PYBIND11_TOSTRING(name))) {                \
            return nullptr;                                                                                \
        }                                                                                                  \
        PYBIND11_ENSURE_INTERNALS_READY                                                                    \
        auto m = ::pybind11::module_::create_extension_module(PYBIND11_TOSTRING(name), nullptr,           \
                                                              &PYBIND11_CONCAT(pybind11_module_def_, name)); \
        try {                                                                                              \
            PYBIND11_CONCAT(pybind11_init_, name)(m);                                                      \
            return m.ptr();                                                                                \
        }                                                                                                  \
        PYBIND11_CATCH_INIT_EXCEPTIONS                                                                     \
    }                                                                                                      \
    void PYBIND11_CONCAT(pybind11_init_, name)(::pybind11::module_ & (variable))
