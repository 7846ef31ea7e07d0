#pragma once
// Registration functions of the structure families. Each is written once over the
// structure type and instantiated for kyrif::Method and kyrif::StartProperties in the
// translation unit of its concept; the binding units call them in registration order.
#include "kyrif/Method.hpp"
#include "kyrif/StartProperties.hpp"
#include "tav/qel/bindings/Pybind.hpp"

namespace modkyrif {

// The structure class with its methods and every static function of the family.
template <class T>
void define_structure(pybind11::module_& m);
// <T>InstancePublisher, then <T>Publisher.
template <class T>
void define_instance_publisher(pybind11::module_& m);
template <class T>
void define_publisher(pybind11::module_& m);
template <class T>
void define_data_event(pybind11::module_& m);
template <class T>
void define_data_event_filter(pybind11::module_& m);
template <class T>
void define_loaned_data_entity(pybind11::module_& m);
template <class T>
void define_subscriber(pybind11::module_& m);
template <class T>
void define_mrv_subscriber(pybind11::module_& m);

#define MODKYRIF_DECLARE_FAMILY(T)                                    \
    extern template void define_structure<T>(pybind11::module_&);          \
    extern template void define_instance_publisher<T>(pybind11::module_&); \
    extern template void define_publisher<T>(pybind11::module_&);          \
    extern template void define_data_event<T>(pybind11::module_&);         \
    extern template void define_data_event_filter<T>(pybind11::module_&);  \
    extern template void define_loaned_data_entity<T>(pybind11::module_&); \
    extern template void define_subscriber<T>(pybind11::module_&);         \
    extern template void define_mrv_subscriber<T>(pybind11::module_&);

MODKYRIF_DECLARE_FAMILY(kyrif::Method)
MODKYRIF_DECLARE_FAMILY(kyrif::StartProperties)

#undef MODKYRIF_DECLARE_FAMILY

}  // namespace modkyrif
