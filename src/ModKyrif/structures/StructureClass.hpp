#pragma once
// The structure classes Method and StartProperties: field accessors, cloning, key
// comparison, the data-access hooks, and every static function of the family (the
// factories of the publish/subscribe roles, sample creation, callback subscriptions),
// registered before the role classes exist.
#include <memory>
#include <string>
#include <vector>

#include "kyrif/TypeTraits.hpp"
#include "module/Families.hpp"
#include "pubsub/CallbackSubscriptions.hpp"
#include "pubsub/PublisherFactory.hpp"
#include "pubsub/SubscriberFactories.hpp"
#include "structures/DataAccessHooks.hpp"
#include "structures/StructureTraits.hpp"
#include "tav/qel/Qel.hpp"
#include "tav/qel/ps/DataEventFilter.hpp"

namespace modkyrif {

template <class T>
void define_structure(pybind11::module_& m) {
    namespace py = pybind11;
    using Class = py::class_<T, std::shared_ptr<T>>;
    using Traits = tav::qel::QelTypeTraits<T>;

    Class cls(m, StructureTraits<T>::name);
    StructureTraits<T>::defineFields(cls);
    cls.def(
           "clone", [](const T& self) { return std::shared_ptr<T>(self.clone()); }, "Create clone of this instance")
        .def(
            "cloneKey", [](const T& self) { return std::shared_ptr<T>(self.cloneKey()); },
            "Create clone of this instance, only key fields are copied")
        .def("keyEquals", &T::keyEquals, "Test equality of key with another instance and return boolean result")
        .def("hasKey", &T::hasKey, "Check whether entity has a key")
        .def("_internalReadDa", &internalReadDa<T>, "read instance value trough DataAccess client")
        .def("_internalWriteDa", &internalWriteDa<T>, "write instance value trough DataAccess client");

    defineSubscriberFactory<T>(cls);
    definePublisherFactory<T>(cls);
    defineMrvSubscriberFactory<T>(cls);
    cls.def_static(
           "staticGetDataEventFilter", [] { return tav::qel::ps::DataEventFilter<T>(); },
           "Factory method, returning new instance of DataEventFilter")
        .def_static(
            "staticCreateDataEntity",
            [](tav::qel::Qel& qel) {
                return adoptSample<T>(
                    qel.createDataEntity(std::string(Traits::libraryName), std::string(Traits::name)));
            },
            "Create new instance of the DataEntity")
        .def_static("staticCreateDataEntityDa", &createDataEntityDa<T>, py::return_value_policy::take_ownership,
                    "Create new instance of the DataEntity trough DataAccess client")
        .def_static(
            "staticMakeVector", [] { return std::vector<std::shared_ptr<T>>(); },
            "Return new empty vector container for DataEntity");
    defineCallbackSubscriptions<T>(cls);
}

}  // namespace modkyrif
