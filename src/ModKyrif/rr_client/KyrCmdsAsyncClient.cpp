#include "kyrif/TypeTraits.hpp"
#include "rr_client/ClientBindings.hpp"
#include "rr_client/KyrCmdsAsyncDelegate.hpp"
#include "rr_client/KyrCmdsClients.hpp"

namespace modkyrif {

void defineKyrCmdsAsyncClient(pybind11::module_ m) {
    rr_client::defineStaticGetClient<kyrif::KyrCmdsAsync, kyrif::KyrCmdsAsyncDelegate>(m);
    rr_client::defineClientClass<kyrif::KyrCmdsAsyncDelegate>(m, "KyrCmdsAsync");
}

}  // namespace modkyrif
