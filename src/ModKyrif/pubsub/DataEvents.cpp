// <T>DataEvent: one received sample with its instance state, instance event and
// source timestamp. The sample is shared with the event, never copied.
#include <memory>

#include "module/Families.hpp"
#include "structures/StructureTraits.hpp"
#include "tav/qel/ps/DataEvent.hpp"

namespace py = pybind11;

namespace modkyrif {

template <class T>
void define_data_event(py::module_& m) {
    using DataEvent = tav::qel::ps::DataEvent<T>;
    // A copy of the event's handle: the sample outlives the event if Python keeps it.
    auto getData = [](const DataEvent& self) -> std::shared_ptr<T> { return self.getData(); };

    py::class_<DataEvent, std::shared_ptr<DataEvent>>(m, roleClassName<T>("DataEvent").c_str())
        .def("hasValidData", &DataEvent::hasValidData, "Return indication whether event instance holds valid data")
        .def("getInstanceState", &DataEvent::getInstanceState, "Return instance state")
        .def("getInstanceEvent", &DataEvent::getInstanceEvent, "Return instance event")
        .def("getData", getData, "Return data instance")
        .def("getSourceTimestamp", &DataEvent::getSourceTimestamp, "Return sample timestamp")
        .def_property_readonly("data", getData, "Data property")
        .def_property_readonly("event", &DataEvent::getInstanceEvent, "Event property")
        .def_property_readonly("state", &DataEvent::getInstanceState, "State property")
        .def_property_readonly("sourceTimestamp", &DataEvent::getSourceTimestamp, "SourceTimestamp property");
}

template void define_data_event<kyrif::Method>(py::module_&);
template void define_data_event<kyrif::StartProperties>(py::module_&);

}  // namespace modkyrif
