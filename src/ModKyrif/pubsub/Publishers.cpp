// The publishing roles of a topic structure: <T>InstancePublisher and <T>Publisher.
// A publish runs with the interpreter lock released, on a copy of the sample taken
// while the lock is held.
#include <chrono>
#include <memory>
#include <string>

#include "module/Families.hpp"
#include "pubsub/InputCopies.hpp"
#include "structures/StructureTraits.hpp"
#include "tav/qel/Qel.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"
#include "tav/qel/ps/Publisher.hpp"

namespace py = pybind11;
using tav::qel::bindings::withoutGil;
using tav::qel::bindings::WithoutGilCall;

namespace modkyrif {

template <class T>
void define_instance_publisher(py::module_& m) {
    using InstancePublisher = tav::qel::ps::InstancePublisher<T>;
    const std::string createDoc = std::string("Create new ") + StructureTraits<T>::name + " instance";

    py::class_<InstancePublisher, std::unique_ptr<InstancePublisher>>(m, roleClassName<T>("InstancePublisher").c_str())
        .def(
            "createDataEntity", [](InstancePublisher& self) { return self.createDataEntity(); }, createDoc.c_str())
        .def("close", &WithoutGilCall<&InstancePublisher::close>::call, "Close this instance of the publisher")
        .def(
            "publish",
            [](InstancePublisher& self, const T& sample, const std::chrono::milliseconds& timeout) {
                const std::unique_ptr<T> copy = sampleCopy(sample);
                withoutGil([&] { self.publish(*copy, timeout); });
            },
            "Publish data instance or raise TimeoutException on timeout")
        .def(
            "publishWithTimestamp",
            [](InstancePublisher& self, double timestamp, const T& sample, const std::chrono::milliseconds& timeout) {
                const std::unique_ptr<T> copy = sampleCopy(sample);
                withoutGil([&] { self.publish(timestamp, *copy, timeout); });
            },
            "Publish data instance with user supplied timestamp or raise TimeoutException on timeout")
        .def("getQel", &WithoutGilCall<&InstancePublisher::getQel>::call,
             "Return reference to the corresponding QEL instance");
}

template <class T>
void define_publisher(py::module_& m) {
    using Publisher = tav::qel::ps::Publisher<T>;
    using InstancePublisher = tav::qel::ps::InstancePublisher<T>;
    const std::string doc =
        std::string("Create new instance of the Instance Publisher for ") + StructureTraits<T>::name;

    // The instance publisher is a virtual base of the publisher: inherited calls must
    // convert the pointer to it, not reinterpret it, hence multiple_inheritance.
    py::class_<Publisher, InstancePublisher, std::unique_ptr<Publisher>>(m, roleClassName<T>("Publisher").c_str(),
                                                                          py::multiple_inheritance())
        .def("createInstancePublisher", &Publisher::createInstancePublisher, doc.c_str());
}

template void define_instance_publisher<kyrif::Method>(py::module_&);
template void define_instance_publisher<kyrif::StartProperties>(py::module_&);
template void define_publisher<kyrif::Method>(py::module_&);
template void define_publisher<kyrif::StartProperties>(py::module_&);

}  // namespace modkyrif
