#include "module/BindingUnits.hpp"

void bind_Kyrif_0003(pybind11::module_ /*m*/) {}
