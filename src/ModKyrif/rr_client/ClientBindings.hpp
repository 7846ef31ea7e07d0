#pragma once
// Registration of a KyrCmds client flavour: its static factory, the entity methods
// and the thirteen commands. Both flavours share these templates; they differ only
// in the middleware client and the delegate that owns it.
#include <map>
#include <memory>
#include <string>
#include <tuple>
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

// A command's argument as the middleware gets it. A structure is copied while the
// interpreter lock is held: the command runs without the lock, and the middleware
// keeps the request's structure until the service has run, while the caller may
// change its object meanwhile. A text is the caller's converted copy already.
inline const std::string& commandArgument(const std::string& text) { return text; }

template <class T>
std::shared_ptr<T> commandArgument(const std::shared_ptr<T>& structure) {
    return structure ? std::shared_ptr<T>(structure->clone()) : nullptr;
}

// Binds a command of the delegate: its arguments become command arguments while the
// lock is held, then the command runs with the lock released.
template <auto Member>
struct CommandCall;

template <class C, class R, class... A, R (C::*Member)(A...)>
struct CommandCall<Member> {
    static R call(C& self, A... args) {
        std::tuple<decltype(commandArgument(args))...> arguments(commandArgument(args)...);
        return tav::qel::bindings::withoutGil([&]() -> R {
            return std::apply([&](auto&... argument) -> R { return (self.*Member)(argument...); }, arguments);
        });
    }
};

// The delegate's Python class, without constructor: delegates come only from
// staticGetClient. The base is a virtual one, hence multiple_inheritance.
template <class Delegate>
py::class_<Delegate, BaseDelegate> defineClientClass(py::module_& m, const char* name) {
    py::class_<Delegate, BaseDelegate> cls(m, name, py::multiple_inheritance());
    cls.def("asyncConnect", &Delegate::asyncConnect, "Explicit connect request")
        .def("close", &Delegate::close, "Close this instance and release all resources")
        .def("registerConnectionListener", &Delegate::registerConnectionListener, "Register connection listener")
        .def("getQel", &Delegate::getQel, "Return reference to the Qel owning this entity")
        .def("serviceDescription", &Delegate::serviceDescription, "Return description of this service in XML format")
        .def("Abort", &CommandCall<&Delegate::Abort>::call, "Abort")
        .def("Execute", &CommandCall<&Delegate::Execute>::call, "Execute")
        .def("GetConfig", &CommandCall<&Delegate::GetConfig>::call, "GetConfig")
        .def("GetDiagnostics", &CommandCall<&Delegate::GetDiagnostics>::call, "GetDiagnostics")
        .def("GetSetup", &CommandCall<&Delegate::GetSetup>::call, "GetSetup")
        .def("Ping", &CommandCall<&Delegate::Ping>::call, "Ping")
        .def("ReadPars", &CommandCall<&Delegate::ReadPars>::call, "ReadPars")
        .def("Recover", &CommandCall<&Delegate::Recover>::call, "Recover")
        .def("Scan", &CommandCall<&Delegate::Scan>::call, "Scan")
        .def("SetConfig", &CommandCall<&Delegate::SetConfig>::call, "SetConfig")
        .def("Setup", &CommandCall<&Delegate::Setup>::call, "Setup")
        .def("Start", &CommandCall<&Delegate::Start>::call, "Start")
        .def("WritePars", &CommandCall<&Delegate::WritePars>::call, "WritePars");
    return cls;
}

}  // namespace modkyrif::rr_client
