#pragma once
#include <Python.h>

namespace modkyrif {

// True while Python objects may still be touched: the interpreter is initialised and
// has not begun to finalise. A thread that tries to take the interpreter lock after
// finalisation has begun is ended by the interpreter, so code that may run that late
// (destructors on middleware threads, static destructors) checks this first and
// leaks its Python references instead.
inline bool interpreterAlive() {
    if (!Py_IsInitialized()) {
        return false;
    }
#if PY_VERSION_HEX >= 0x030D0000
    return !Py_IsFinalizing();
#else
    return !_Py_IsFinalizing();
#endif
}

}  // namespace modkyrif
