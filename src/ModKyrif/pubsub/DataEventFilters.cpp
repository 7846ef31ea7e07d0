// <T>DataEventFilter: the instance, instance state and instance events that a read or
// a subscription selects. Each setter changes the filter and returns an independent
// copy of it, so that calls can be chained into a new filter.
#include <memory>
#include <set>

#include "module/Families.hpp"
#include "structures/StructureTraits.hpp"
#include "tav/qel/ps/DataEventFilter.hpp"

namespace py = pybind11;

namespace modkyrif {

template <class T>
void define_data_event_filter(py::module_& m) {
    using Filter = tav::qel::ps::DataEventFilter<T>;
    using tav::qel::ps::InstanceEvent;
    using tav::qel::ps::InstanceState;

    auto setInstance = [](Filter& self, const std::shared_ptr<T>& instance) {
        self.setInstance(instance);
        return Filter(self);
    };
    auto setInstanceState = [](Filter& self, InstanceState state) {
        self.setInstanceState(state);
        return Filter(self);
    };
    auto setInstanceEvents = [](Filter& self, const std::set<InstanceEvent>& events) {
        self.setInstanceEvents(events);
        return Filter(self);
    };

    py::class_<Filter>(m, roleClassName<T>("DataEventFilter").c_str())
        .def("setInstance", setInstance, "Set filter instance")
        .def("setInstanceState", setInstanceState, "Set filter instance state")
        .def("setInstanceEvents", setInstanceEvents, "Set filter instance events")
        .def("getInstance", &Filter::getInstance, "Return filter instance")
        .def("getInstanceState", &Filter::getInstanceState, "Return filter instance state")
        .def("getInstanceEvents", &Filter::getInstanceEvents, "Return Filter instance events")
        .def_property("instance", &Filter::getInstance, setInstance, "Topic instance property")
        .def_property("state", &Filter::getInstanceState, setInstanceState, "Instance state property")
        .def_property("events", &Filter::getInstanceEvents, setInstanceEvents, "Instance events property");
}

template void define_data_event_filter<kyrif::Method>(py::module_&);
template void define_data_event_filter<kyrif::StartProperties>(py::module_&);

}  // namespace modkyrif
