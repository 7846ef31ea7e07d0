#include "module/BindingUnits.hpp"

void bind_Kyrif_0002(pybind11::module_ /*m*/) {}
