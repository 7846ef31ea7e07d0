// Binding unit of the KyrCmds interface: the two client submodules, then the two
// service submodules.
#include "module/BindingUnits.hpp"
#include "rr_client/KyrCmdsClients.hpp"
#include "rr_service/KyrCmdsServices.hpp"

void bind_Kyrif_0003(pybind11::module_ m) {
    modkyrif::defineKyrCmdsSyncClient(m.def_submodule("KyrCmdsSync", "Submodule for kyrcmdsSync"));
    modkyrif::defineKyrCmdsAsyncClient(m.def_submodule("KyrCmdsAsync", "Submodule for kyrcmdsAsync"));
    modkyrif::defineKyrCmdsSyncService(m.def_submodule("KyrCmdsSyncService", "Sync service implementation for kyrcmdsSync"));
    modkyrif::defineKyrCmdsAsyncService(
        m.def_submodule("KyrCmdsAsyncService", "Async service implementation for kyrcmdsSync"));
}
