#pragma once
#include "tav/qel/bindings/Pybind.hpp"

namespace modkyrif {

// Fill the service submodules KyrCmdsSyncService and KyrCmdsAsyncService with
// registerService.
void defineKyrCmdsSyncService(pybind11::module_ m);
void defineKyrCmdsAsyncService(pybind11::module_ m);

}  // namespace modkyrif
