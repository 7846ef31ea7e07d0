// The middleware's exceptions as Python exception classes.
#include <exception>

#include "Definitions.hpp"
#include "network/uri.hpp"
#include "tav/qel/QelException.hpp"

namespace pyqelcpp {

void define_exceptions(py::module_& m) {
    // The base is registered first: each registration puts its translator at the
    // front of the process-wide list, so the subclasses are tried before it.
    auto& qelException = py::register_exception<tav::qel::QelException>(m, "QelException");
    qelException.doc() = "Base of every error of the middleware";
    auto& timeoutException =
        py::register_exception<tav::qel::TimeoutException>(m, "TimeoutException", qelException.ptr());
    timeoutException.doc() = "An operation gave up after its timeout";
    auto& closedException =
        py::register_exception<tav::qel::ClosedException>(m, "ClosedException", qelException.ptr());
    closedException.doc() = "The entity was closed, or the middleware has shut down";

    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) {
                std::rethrow_exception(error);
            }
        } catch (const network::uri_syntax_error& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        }
    });
}

}  // namespace pyqelcpp
