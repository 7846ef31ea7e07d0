#pragma once
// What differs between the two topic structures of the interface: the Python name
// of the structure (which also prefixes every role class) and its field accessors.
// Every role family is written once over the structure type and reads these traits.
#include <memory>
#include <string>

#include "kyrif/Method.hpp"
#include "kyrif/StartProperties.hpp"
#include "tav/qel/bindings/Pybind.hpp"

namespace modkyrif {

template <class T>
struct StructureTraits;

template <>
struct StructureTraits<kyrif::Method> {
    static constexpr const char* name = "Method";

    template <class Class>
    static void defineFields(Class& cls) {
        using kyrif::Method;
        cls.def("getName", &Method::getName, "Return name")
            .def("setName", &Method::setName, "Set name")
            .def("getParameters", &Method::getParameters, "Return parameters")
            .def("setParameters", &Method::setParameters, "Set parameters");
    }
};

template <>
struct StructureTraits<kyrif::StartProperties> {
    static constexpr const char* name = "StartProperties";

    template <class Class>
    static void defineFields(Class& cls) {
        using kyrif::StartProperties;
        cls.def("getAbsTime", &StartProperties::getAbsTime, "Return absTime")
            .def("setAbsTime", &StartProperties::setAbsTime, "Set absTime")
            .def("getCustomTrigger", &StartProperties::getCustomTrigger, "Return customTrigger")
            .def("setCustomTrigger", &StartProperties::setCustomTrigger, "Set customTrigger")
            .def("getInfo", &StartProperties::getInfo, "Return info")
            .def("setInfo", &StartProperties::setInfo, "Set info")
            .def("getTrigger", &StartProperties::getTrigger, "Return trigger")
            .def("setTrigger", &StartProperties::setTrigger, "Set trigger");
    }
};

// Python name of a role class of T, such as "MethodPublisher".
template <class T>
std::string roleClassName(const char* role) {
    return std::string(StructureTraits<T>::name) + role;
}

}  // namespace modkyrif
