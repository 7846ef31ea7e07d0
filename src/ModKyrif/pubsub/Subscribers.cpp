// <T>Subscriber: reads samples, instances, loans and data events, and polls for the
// handlers subscribed with staticSubscribe. Every read may wait, so each one runs
// with the interpreter lock released; arguments and results are converted with it,
// and the samples and filters a read looks at are copied while it is held.
#include <chrono>
#include <cstddef>
#include <memory>

#include "module/Families.hpp"
#include "pubsub/InputCopies.hpp"
#include "structures/StructureTraits.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"
#include "tav/qel/ps/Subscriber.hpp"

namespace py = pybind11;
using tav::qel::bindings::withoutGil;
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
        .def(
            "readInstance",
            [](Subscriber& self, const T& instance) {
                const std::unique_ptr<T> key = keyCopy(instance);
                return withoutGil([&] { return self.readInstance(*key); });
            },
            "read instance")
        .def(
            "readInstanceValue",
            [](Subscriber& self, const T& instance, T& value) {
                // The value is read into a sample of value's own type and copied into
                // value once the lock is held again.
                const std::unique_ptr<T> key = keyCopy(instance);
                const std::unique_ptr<T> latest = keyCopy(value);
                const bool found = withoutGil([&] { return self.readInstanceValue(*key, *latest); });
                if (found) {
                    value.assignEntity(*latest);
                }
                return found;
            },
            "read instance value")
        .def("loanedRead", &WithoutGilCall<&Subscriber::loanedRead>::call, "loaned read")
        .def(
            "loanedReadInstance",
            [](Subscriber& self, T& instance) {
                const std::unique_ptr<T> key = keyCopy(instance);
                return withoutGil([&] { return self.loanedReadInstance(*key); });
            },
            "loaned read instance")
        .def(
            "readDataEvents",
            [](Subscriber& self, const tav::qel::ps::DataEventFilter<T>& filter, std::size_t maxCount,
               const std::chrono::milliseconds& timeout) {
                const tav::qel::ps::DataEventFilter<T> copy = filterCopy(filter);
                return withoutGil([&] { return self.readDataEvents(copy, maxCount, timeout); });
            },
            "read data events")
        .def("poll", &WithoutGilCall<&Subscriber::poll>::call, "synchronous poll for events");
}

template void define_subscriber<kyrif::Method>(py::module_&);
template void define_subscriber<kyrif::StartProperties>(py::module_&);

}  // namespace modkyrif
