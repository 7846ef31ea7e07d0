#pragma once
#include "tav/qel/bindings/Pybind.hpp"

// Registration functions of the module, called by the module body in this order.
// Each takes the submodule it fills.
void bind_Kyrif_0001(pybind11::module_ m);  // Method and its role classes
void bind_Kyrif_0002(pybind11::module_ m);  // StartProperties and its role classes
void bind_Kyrif_0003(pybind11::module_ m);  // KyrCmds clients and services

namespace modkyrif {

// Creates the ExceptionErr bridge in scope (once per process), with the given base.
void createExceptionErrBridge(pybind11::module_ scope, pybind11::handle base);
// Puts the ExceptionErr translator at the front of the process-wide translator list.
void registerExceptionErrTranslator();

}  // namespace modkyrif
