#include "module/BindingUnits.hpp"

void bind_Kyrif_0001(pybind11::module_ /*m*/) {}
