// Quality-of-service settings and their lists. The lists are Python classes of
// their own (never converted from Python lists), shared with every binding module.
#include <chrono>
#include <cstddef>

#include "Definitions.hpp"

namespace pyqelcpp {

void define_qos(py::module_& m) {
    namespace ps = tav::qel::ps::qos;
    namespace rr = tav::qel::rr::qos;

    py::class_<ps::QoS, std::shared_ptr<ps::QoS>>(m, "PsQoS", "Quality-of-service setting of publish/subscribe");
    py::class_<ps::QueueDepth, ps::QoS, std::shared_ptr<ps::QueueDepth>>(
        m, "QueueDepth", "Capacity of a subscriber's queue; a full queue makes publishers wait")
        .def(py::init<std::size_t>(), "Queue of the given number of samples")
        .def("getDepth", &ps::QueueDepth::getDepth, "Return the capacity");

    py::class_<rr::QoS, std::shared_ptr<rr::QoS>>(m, "RrQoS", "Quality-of-service setting of request/reply");
    py::class_<rr::ReplyTime, rr::QoS, std::shared_ptr<rr::ReplyTime>>(
        m, "ReplyTime", "How long a command waits for its reply (timedelta or float seconds)")
        .def(py::init<std::chrono::milliseconds>(), "Reply time of the given duration")
        .def("getTime", &rr::ReplyTime::getTime, "Return the reply time");

    // The element types are registered, but their shared pointers are not: without
    // the explicit flag the lists would be module-local.
    py::bind_vector<ps::QoSList>(m, "PsQoSList", py::module_local(false));
    py::bind_vector<rr::QoSList>(m, "RrQoSList", py::module_local(false));
}

}  // namespace pyqelcpp
