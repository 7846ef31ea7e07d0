// Future wrappers of the middleware's pending results and their wait status.
#include <exception>
#include <optional>
#include <string>

#include "Definitions.hpp"
#include "tav/qel/bindings/FutureDelegate.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"

namespace pyqelcpp {

namespace {

using tav::qel::bindings::FutureBaseDelegate;
using tav::qel::bindings::FutureDelegate;

// FutureStatus compares equal with the int of its value, so that code written
// against plain status numbers keeps working; equal values hash alike.
void makeComparableWithInt(py::enum_<boost::future_status>& status) {
    py::handle type = status;
    auto value = [type](py::handle object) -> std::optional<long long> {
        if (py::isinstance(object, type)) {
            return py::int_(py::reinterpret_borrow<py::object>(object)).cast<long long>();
        }
        if (PyLong_Check(object.ptr()) && !PyBool_Check(object.ptr())) {
            int overflow = 0;
            const long long number = PyLong_AsLongLongAndOverflow(object.ptr(), &overflow);
            if (overflow == 0) {
                return number;
            }
        }
        return std::nullopt;
    };
    auto compare = [value](const py::object& self, const py::object& other, bool equal) -> py::object {
        const auto theirs = value(other);
        if (!theirs) {
            return py::reinterpret_borrow<py::object>(Py_NotImplemented);
        }
        return py::bool_((*value(self) == *theirs) == equal);
    };
    status.attr("__eq__") = py::cpp_function(
        [compare](const py::object& self, const py::object& other) { return compare(self, other, true); },
        py::name("__eq__"), py::is_method(status));
    status.attr("__ne__") = py::cpp_function(
        [compare](const py::object& self, const py::object& other) { return compare(self, other, false); },
        py::name("__ne__"), py::is_method(status));
    status.attr("__hash__") = py::cpp_function(
        [](const py::object& self) { return py::hash(py::int_(self)); }, py::name("__hash__"),
        py::is_method(status));
}

// Waits with the interpreter lock released, then takes the result: the value, or
// the stored error rethrown for the registered translators. A Boost promise given
// a std::exception_ptr stores the pointer itself as the error; the error it points
// to is rethrown instead, so that it keeps its type (an ExceptionErr stays one).
template <class R>
R takeResult(FutureDelegate<R, R>& self) {
    self.wait();
    try {
        return self.future().get();
    } catch (const std::exception_ptr& stored) {
        if (!stored) {
            throw;
        }
        std::rethrow_exception(stored);
    }
}

}  // namespace

void define_futures(py::module_& m) {
    py::enum_<boost::future_status> status(m, "FutureStatus", "Result of a timed wait on a future");
    status.value("ready", boost::future_status::ready)
        .value("timeout", boost::future_status::timeout)
        .value("deferred", boost::future_status::deferred);
    makeComparableWithInt(status);

    // No call guard: every operation releases the interpreter lock itself.
    py::class_<FutureBaseDelegate>(m, "FutureBaseDelegate", "Pending result of the middleware")
        .def("valid", &FutureBaseDelegate::valid, "Return True while the future has a result state")
        .def("wait", &FutureBaseDelegate::wait, "Wait until the result is ready")
        .def("wait_for", &FutureBaseDelegate::wait_for,
             "Wait until the result is ready or the timeout (timedelta or float seconds) passes");

    using StringFuture = FutureDelegate<std::string, std::string>;
    py::class_<StringFuture, FutureBaseDelegate, std::unique_ptr<StringFuture>>(
        m, "StringFuture", "Pending text result", py::multiple_inheritance())
        .def("get", &takeResult<std::string>, "Wait for the result and return it, or raise its error");

    using VoidFuture = FutureDelegate<void, void>;
    py::class_<VoidFuture, FutureBaseDelegate, std::unique_ptr<VoidFuture>>(
        m, "VoidFuture", "Pending completion without a value", py::multiple_inheritance())
        .def("get", &takeResult<void>, "Wait for completion, or raise its error");
}

}  // namespace pyqelcpp
