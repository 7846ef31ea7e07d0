// The process-wide factory.
#include <map>
#include <memory>
#include <string>

#include "DataAccessClient.hpp"
#include "Definitions.hpp"
#include "network/uri.hpp"
#include "tav/qel/WexFactory.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"

namespace pyqelcpp {

namespace {

using tav::qel::Properties;
using tav::qel::WexFactory;
using tav::qel::bindings::withoutGil;
using RrQoSList = tav::qel::rr::qos::QoSList;

// The QoS list is a Python object that another thread may change while the entity
// is created without the interpreter lock: creation gets a copy taken with the lock.
std::shared_ptr<tav::qel::rr::Server> createServer(WexFactory& factory, const std::string& endpoint,
                                                   const RrQoSList& qos, const Properties& properties) {
    const RrQoSList qosCopy = qos;
    return withoutGil([&] { return factory.createServer(endpoint, qosCopy, properties); });
}

std::unique_ptr<DataAccessClient> getDataAccess(WexFactory& factory, const std::string& endpoint,
                                                const RrQoSList& qos, const Properties& properties) {
    const RrQoSList qosCopy = qos;
    return withoutGil(
        [&] { return std::make_unique<DataAccessClient>(factory.getDataAccess(endpoint, qosCopy, properties)); });
}

}  // namespace

void define_factory(py::module_& m) {
    // The factory is a singleton that Python only refers to.
    py::class_<WexFactory, std::unique_ptr<WexFactory, py::nodelete>>(m, "WexFactory",
                                                                       "The process-wide entry point")
        .def_static("getInstance", &WexFactory::getInstance, py::return_value_policy::reference,
                    "Return the process-wide factory")
        .def(
            "getQel",
            [](WexFactory& self, const network::uri& endpoint) {
                std::string text = endpoint.string();
                return withoutGil([&] { return self.getQel(text); });
            },
            "Return the middleware that serves the endpoint")
        .def(
            "getQel",
            [](WexFactory& self, const std::string& endpoint) {
                return withoutGil([&] { return self.getQel(endpoint); });
            },
            "Return the middleware that serves the endpoint")
        .def(
            "createServer",
            [](WexFactory& self, const network::uri& endpoint, const RrQoSList& qos, const Properties& properties) {
                return createServer(self, endpoint.string(), qos, properties);
            },
            "Create a request/reply server at the endpoint")
        .def("createServer", &createServer, "Create a request/reply server at the endpoint")
        .def(
            "getDataAccess",
            [](WexFactory& self, const network::uri& endpoint, const RrQoSList& qos, const Properties& properties) {
                return getDataAccess(self, endpoint.string(), qos, properties);
            },
            "Create a data-access client for the endpoint")
        .def("getDataAccess", &getDataAccess, "Create a data-access client for the endpoint");
}

}  // namespace pyqelcpp
