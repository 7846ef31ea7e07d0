// The middleware instance of an endpoint's scheme.
#include "Definitions.hpp"
#include "tav/qel/Qel.hpp"

namespace pyqelcpp {

void define_qel(py::module_& m) {
    py::class_<tav::qel::Qel, std::shared_ptr<tav::qel::Qel>>(m, "Qel", "One middleware")
        .def("getDefaultProperties", &tav::qel::Qel::getDefaultProperties,
             "Return a copy of the default entity properties")
        .def("isShutDown", &tav::qel::Qel::isShutDown, "Return True once the middleware has shut down");
}

}  // namespace pyqelcpp
