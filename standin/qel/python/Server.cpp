// Request/reply servers and connection-listener registrations.
#include "Definitions.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"
#include "tav/qel/rr/ListenerRegistration.hpp"
#include "tav/qel/rr/Server.hpp"

namespace pyqelcpp {

void define_server(py::module_& m) {
    using tav::qel::bindings::withoutGil;
    using tav::qel::rr::ListenerRegistration;
    using tav::qel::rr::Server;

    // Closing and unregistering wait for running requests, whose service code may
    // need the interpreter lock: both run with it released.
    py::class_<Server, std::shared_ptr<Server>>(m, "Server", "Serves named services at its endpoint")
        .def(
            "close", [](Server& self) { withoutGil([&] { self.close(); }); },
            "Stop serving: pending requests fail, services are released")
        .def("getEndpoint", &Server::getEndpoint, "Return the endpoint of the server")
        .def(
            "unregisterService",
            [](Server& self, const std::string& name) { withoutGil([&] { self.unregisterService(name); }); },
            "Stop serving the named service");

    py::class_<ListenerRegistration>(m, "ListenerRegistration",
                                     "Registration of a connection listener; dropping it unregisters the listener")
        .def(
            "reset", [](ListenerRegistration& self) { withoutGil([&] { self.reset(); }); },
            "Unregister the listener now")
        .def("active", &ListenerRegistration::active, "Return True while the listener is registered");
}

}  // namespace pyqelcpp
