#pragma once
#include "tav/qel/bindings/Pybind.hpp"

namespace modkyrif {

// Fill the client submodules KyrCmdsSync and KyrCmdsAsync: staticGetClient (two
// overloads) and the client class.
void defineKyrCmdsSyncClient(pybind11::module_ m);
void defineKyrCmdsAsyncClient(pybind11::module_ m);

}  // namespace modkyrif
