// The structure class StartProperties (a translation unit of its own, so that the two structure
// families compile in parallel).
#include "structures/StructureClass.hpp"

namespace modkyrif {

template void define_structure<kyrif::StartProperties>(pybind11::module_&);

}  // namespace modkyrif
