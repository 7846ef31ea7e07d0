#include "kyrif/TypeTraits.hpp"
#include "rr_client/ClientBindings.hpp"
#include "rr_client/KyrCmdsClients.hpp"
#include "rr_client/KyrCmdsSyncDelegate.hpp"

namespace modkyrif {

void defineKyrCmdsSyncClient(pybind11::module_ m) {
    rr_client::defineStaticGetClient<kyrif::KyrCmdsSync, kyrif::KyrCmdsSyncDelegate>(m);
    rr_client::defineClientClass<kyrif::KyrCmdsSyncDelegate>(m, "KyrCmdsSync");
}

}  // namespace modkyrif
