// The structure class Method (a translation unit of its own, so that the two structure
// families compile in parallel).
#include "structures/StructureClass.hpp"

namespace modkyrif {

template void define_structure<kyrif::Method>(pybind11::module_&);

}  // namespace modkyrif
