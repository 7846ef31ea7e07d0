// network::uri, the endpoint type.
#include <functional>
#include <string>

#include "Definitions.hpp"
#include "network/uri.hpp"

namespace pyqelcpp {

void define_uri(py::module_& m) {
    py::class_<network::uri>(m, "Uri", "An absolute URI; text that is not one raises ValueError")
        .def(py::init<const std::string&>(), "Parse the text of an absolute URI")
        .def("__str__", &network::uri::string, "Return the text of the URI")
        .def("__repr__",
             [](const network::uri& uri) { return "Uri(" + py::repr(py::str(uri.string())).cast<std::string>() + ")"; })
        .def(
            "__eq__",
            [](const network::uri& self, const network::uri& other) { return self.string() == other.string(); },
            py::is_operator())
        .def("__hash__", [](const network::uri& self) { return std::hash<std::string>{}(self.string()); })
        .def("scheme", &network::uri::scheme, "Return the scheme")
        .def("path", &network::uri::path, "Return the path");
}

}  // namespace pyqelcpp
