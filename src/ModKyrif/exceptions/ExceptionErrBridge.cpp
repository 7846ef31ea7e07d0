#include "module/BindingUnits.hpp"

namespace modkyrif {

void createExceptionErrBridge(pybind11::module_ /*scope*/, pybind11::handle /*base*/) {}
void registerExceptionErrTranslator() {}

}  // namespace modkyrif
