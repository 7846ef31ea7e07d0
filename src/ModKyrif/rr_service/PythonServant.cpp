#include "rr_service/PythonServant.hpp"

namespace modkyrif {

// The server drops its implementations on its own threads, often without the
// interpreter lock: take it to release the object. Once the interpreter is gone or
// finalising the reference is deliberately leaked, as taking the lock then would end
// this thread inside a destructor.
PythonServant::~PythonServant() {
    PyObject* target = target_.release().ptr();
    if (target == nullptr || !interpreterAlive()) {
        return;
    }
    pybind11::gil_scoped_acquire gil;
    Py_DECREF(target);
}

}  // namespace modkyrif
