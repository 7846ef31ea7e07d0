#pragma once
// Registration of a KyrCmds client flavour: its static factory, the entity methods
// and the thirteen commands. Both flavours share these templates; they differ only
// in the middleware client and the delegate that owns it.
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "network/uri.hpp"
#include "tav/qel/WexFactory.hpp"
#include "tav/qel/bindings/ClientRrEntityBaseDelegate.hpp"
#include "tav/qel/bindings/Pybind.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"
#include "tav/qel/rr/qos/QoS.hpp"

namespace modkyrif::rr_client {

namespace py = pybind11;
using BaseDelegate = tav::qel::bindings::rr::ClientRrEntityBaseDelegate;
using Properties = std::map<std::string, std::string>;

// Creates the middleware client for the endpoint and hands it to a new delegate;
// null when the middleware made no client. Runs without the interpreter lock.
template <class Client, class Delegate>
std::unique_ptr<BaseDelegate> makeClientDelegate(tav::qel::WexFactory& factory, const std::string& endpoint,
                                                 const tav::qel::rr::qos::QoSList& qos,
                                                 const Properties& properties) {
    std::unique_ptr<Client> client = factory.getClient<Client>(endpoint, qos, properties);
    if (!client) {
        return nullptr;
    }
    return std::make_unique<Delegate>(std::move(client));
}

// staticGetClient, endpoint as URI object first, then as text. The QoS list is
// copied while the lock is held: another Python thread may change the list object
// while the client is created.
template <class Client, class Delegate>
void defineStaticGetClient(py::module_& m) {
    const char* doc = "Return new instance of Client Rr Entity delegate";
    m.def(
        "staticGetClient",
        [](tav::qel::WexFactory& factory, const network::uri& endpoint, const tav::qel::rr::qos::QoSList& qos,
           Properties properties) -> std::unique_ptr<BaseDelegate> {
            std::string text = endpoint.string();
            tav::qel::rr::qos::QoSList qosCopy = qos;
            return tav::qel::bindings::withoutGil(
                [&] { return makeClientDelegate<Client, Delegate>(factory, text, qosCopy, properties); });
        },
        doc, py::return_value_policy::move);
    m.def(
        "staticGetClient",
        [](tav::qel::WexFactory& factory, const std::string& endpoint, const tav::qel::rr::qos::QoSList& qos,
           Properties properties) -> std::unique_ptr<BaseDelegate> {
            tav::qel::rr::qos::QoSList qosCopy = qos;
            return tav::qel::bindings::withoutGil(
                [&] { return makeClientDelegate<Client, Delegate>(factory, endpoint, qosCopy, properties); });
        },
        doc, py::return_value_policy::move);
}

// The delegate's Python class, without constructor: delegates come only from
// staticGetClient. The base is a virtual one, hence multiple_inheritance.
template <class Delegate>
py::class_<Delegate, BaseDelegate> defineClientClass(py::module_& m, const char* name) {
    using tav::qel::bindings::WithoutGilCall;
    py::class_<Delegate, BaseDelegate> cls(m, name, py::multiple_inheritance());
    cls.def("asyncConnect", &Delegate::asyncConnect, "Explicit connect request")
        .def("close", &Delegate::close, "Close this instance and release all resources")
        .def("registerConnectionListener", &Delegate::registerConnectionListener, "Register connection listener")
        .def("getQel", &Delegate::getQel, "Return reference to the Qel owning this entity")
        .def("serviceDescription", &Delegate::serviceDescription, "Return description of this service in XML format")
        .def("Abort", &WithoutGilCall<&Delegate::Abort>::call, "Abort")
        .def("Execute", &WithoutGilCall<&Delegate::Execute>::call, "Execute")
        .def("GetConfig", &WithoutGilCall<&Delegate::GetConfig>::call, "GetConfig")
        .def("GetDiagnostics", &WithoutGilCall<&Delegate::GetDiagnostics>::call, "GetDiagnostics")
        .def("GetSetup", &WithoutGilCall<&Delegate::GetSetup>::call, "GetSetup")
        .def("Ping", &WithoutGilCall<&Delegate::Ping>::call, "Ping")
        .def("ReadPars", &WithoutGilCall<&Delegate::ReadPars>::call, "ReadPars")
        .def("Recover", &WithoutGilCall<&Delegate::Recover>::call, "Recover")
        .def("Scan", &WithoutGilCall<&Delegate::Scan>::call, "Scan")
        .def("SetConfig", &WithoutGilCall<&Delegate::SetConfig>::call, "SetConfig")
        .def("Setup", &WithoutGilCall<&Delegate::Setup>::call, "Setup")
        .def("Start", &WithoutGilCall<&Delegate::Start>::call, "Start")
        .def("WritePars", &WithoutGilCall<&Delegate::WritePars>::call, "WritePars");
    return cls;
}

}  // namespace modkyrif::rr_client
