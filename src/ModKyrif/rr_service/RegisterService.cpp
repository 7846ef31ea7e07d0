// registerService(server, name, obj): wraps obj in a native implementation of the
// interface and registers it with the server, which becomes its only owner.
#include <memory>
#include <string>
#include <utility>

#include "kyrif/TypeTraits.hpp"
#include "rr_service/AsyncKyrCmdsImpl.hpp"
#include "rr_service/KyrCmdsImpl.hpp"
#include "rr_service/KyrCmdsServices.hpp"
#include "tav/qel/rr/Server.hpp"

namespace py = pybind11;

namespace modkyrif {
namespace {

template <class Impl, class Interface, bool Sync>
void defineRegisterService(py::module_& m) {
    m.def(
        "registerService",
        [](tav::qel::rr::Server* server, const std::string& name, py::object target) {
            // The server is required; None is refused before anything is created.
            if (server == nullptr) {
                PyErr_SetString(PyExc_RuntimeError, "");
                throw py::error_already_set();
            }
            auto impl = std::make_shared<Impl>(std::move(target));
            server->registerService(name, std::move(impl),
                                    std::string(tav::qel::QelTypeTraits<Interface, Sync>::libraryName),
                                    std::string(tav::qel::QelTypeTraits<Interface, Sync>::name));
        },
        "Internal registration of the service");
}

}  // namespace

void defineKyrCmdsSyncService(py::module_ m) { defineRegisterService<kyrif::KyrCmdsImpl, kyrif::KyrCmds, true>(m); }

void defineKyrCmdsAsyncService(py::module_ m) {
    defineRegisterService<kyrif::AsyncKyrCmdsImpl, kyrif::AsyncKyrCmds, false>(m);
}

}  // namespace modkyrif
