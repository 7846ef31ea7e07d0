// <T>MrvSubscriber: the most recent sample of every instance of a topic.
#include <memory>

#include "module/Families.hpp"
#include "structures/StructureTraits.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"
#include "tav/qel/ps/MrvSubscriber.hpp"

namespace py = pybind11;
using tav::qel::bindings::WithoutGilCall;

namespace modkyrif {

template <class T>
void define_mrv_subscriber(py::module_& m) {
    using MrvSubscriber = tav::qel::ps::MrvSubscriber<T>;

    py::class_<MrvSubscriber, std::unique_ptr<MrvSubscriber>>(m, roleClassName<T>("MrvSubscriber").c_str())
        .def("close", &MrvSubscriber::close, "close MRV subscriber and release all resources")
        .def("readMostRecent", &WithoutGilCall<&MrvSubscriber::readMostRecent>::call, "read most recent values");
}

template void define_mrv_subscriber<kyrif::Method>(py::module_&);
template void define_mrv_subscriber<kyrif::StartProperties>(py::module_&);

}  // namespace modkyrif
