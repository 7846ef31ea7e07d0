// <T>Subscriber: reads samples, instances, loans and data events, and polls for the
// handlers subscribed with staticSubscribe. Every read may wait, so each one runs
// with the interpreter lock released; arguments and results are converted with it.
#include <chrono>
#include <cstddef>
#include <memory>

#include "module/Families.hpp"
#include "structures/StructureTraits.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"
#include "tav/qel/ps/Subscriber.hpp"

namespace py = pybind11;
using tav::qel::bindings::WithoutGilCall;

namespace modkyrif {

template <class T>
void define_subscriber(py::module_& m) {
    using Subscriber = tav::qel::ps::Subscriber<T>;

    py::class_<Subscriber, std::shared_ptr<Subscriber>>(m, roleClassName<T>("Subscriber").c_str())
        // close may wait for a handler still running on a middleware thread, and
        // that handler needs the interpreter lock to finish.
        .def("close", &WithoutGilCall<&Subscriber::close>::call)
        .def(
            "createDataEntity", [](Subscriber& self) { return self.createDataEntity(); }, "Create new data entity")
        .def("read", &WithoutGilCall<&Subscriber::read>::call, "read up to given number of samples, 0 = read all")
        .def("readInstance", &WithoutGilCall<&Subscriber::readInstance>::call, "read instance")
        .def("readInstanceValue", &WithoutGilCall<&Subscriber::readInstanceValue>::call, "read instance value")
        .def("loanedRead", &WithoutGilCall<&Subscriber::loanedRead>::call, "loaned read")
        .def("loanedReadInstance", &WithoutGilCall<&Subscriber::loanedReadInstance>::call, "loaned read instance")
        .def("readDataEvents", &WithoutGilCall<&Subscriber::readDataEvents>::call, "read data events")
        .def("poll", &WithoutGilCall<&Subscriber::poll>::call, "synchronous poll for events");
}

template void define_subscriber<kyrif::Method>(py::module_&);
template void define_subscriber<kyrif::StartProperties>(py::module_&);

}  // namespace modkyrif
