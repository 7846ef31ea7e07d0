#include "ServiceDispatch.hpp"

#include <memory>

#include "kyrif/KyrCmds.hpp"
#include "kyrif/Method.hpp"
#include "kyrif/StartProperties.hpp"
#include "tav/qel/QelException.hpp"

namespace kyrif::detail {

namespace {

using tav::qel::rr::detail::Request;

// The structure argument of a request, shared with the request (no copy).
template <class T>
std::shared_ptr<T> entityArgument(const Request& request, const char* typeName) {
    auto entity = std::dynamic_pointer_cast<T>(request.entity);
    if (!entity) {
        throw tav::qel::QelException("kyrif::KyrCmds::" + request.command + " needs a " + typeName +
                                     " argument");
    }
    return entity;
}

// Calls the command named by the request on a service of either form and returns
// its result (a text, or a future of a text).
template <class Service>
auto invoke(Service& service, const Request& request) {
    const std::string& command = request.command;
    if (command == "Abort") return service.Abort();
    if (command == "Execute") return service.Execute(entityArgument<Method>(request, "kyrif::Method"));
    if (command == "GetConfig") return service.GetConfig(request.text);
    if (command == "GetDiagnostics") return service.GetDiagnostics();
    if (command == "GetSetup") return service.GetSetup(request.text);
    if (command == "Ping") return service.Ping();
    if (command == "ReadPars") return service.ReadPars(request.text);
    if (command == "Recover") return service.Recover();
    if (command == "Scan") return service.Scan();
    if (command == "SetConfig") return service.SetConfig(request.text);
    if (command == "Setup") return service.Setup(request.text);
    if (command == "Start") return service.Start(entityArgument<StartProperties>(request, "kyrif::StartProperties"));
    if (command == "WritePars") return service.WritePars(request.text);
    throw tav::qel::QelException("kyrif::KyrCmds has no command \"" + command + "\"");
}

template <class Service>
Service& serviceOf(tav::qel::rr::RrEntity& entity, const char* typeName) {
    auto* service = dynamic_cast<Service*>(&entity);
    if (service == nullptr) {
        throw tav::qel::QelException(std::string("the service does not implement ") + typeName);
    }
    return *service;
}

}  // namespace

boost::future<std::string> dispatchSync(tav::qel::rr::RrEntity& service, const Request& request) {
    return boost::make_ready_future(invoke(serviceOf<KyrCmds>(service, "kyrif::KyrCmds"), request));
}

boost::future<std::string> dispatchAsync(tav::qel::rr::RrEntity& service, const Request& request) {
    return invoke(serviceOf<AsyncKyrCmds>(service, "kyrif::AsyncKyrCmds"), request);
}

}  // namespace kyrif::detail
