// Data access: the one value the middleware keeps for an endpoint.
#include <memory>
#include <sstream>

#include "DataAccessClient.hpp"
#include "Definitions.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"

namespace pyqelcpp {

void define_data_access(py::module_& m) {
    using tav::qel::rr::da::DataAccessSync;
    using tav::qel::rr::da::SampleInfo;

    py::class_<SampleInfo>(m, "SampleInfo", "What a data-access read reports about the value it read")
        .def(py::init<>(), "Empty information, filled by a read")
        .def_readonly("valid", &SampleInfo::valid, "False while no value has been written")
        .def_readonly("sourceTimestamp", &SampleInfo::sourceTimestamp, "Seconds since the epoch of the write")
        .def_readonly("sequence", &SampleInfo::sequence, "Number of writes to the endpoint so far")
        .def("__repr__", [](const SampleInfo& info) {
            std::ostringstream text;
            text.precision(17);
            text << "SampleInfo(valid=" << (info.valid ? "True" : "False")
                 << ", sourceTimestamp=" << info.sourceTimestamp << ", sequence=" << info.sequence << ")";
            return text.str();
        });

    py::class_<DataAccessSync>(m, "DataAccessSync", "Synchronous data-access client of the middleware");

    py::class_<DataAccessClient>(m, "DataAccessClient", "Owner of a data-access client")
        .def("ref", &DataAccessClient::ref, py::return_value_policy::reference_internal,
             "Return the data-access client; valid while this object lives")
        .def(
            "close", [](DataAccessClient& self) { tav::qel::bindings::withoutGil([&] { self.close(); }); },
            "Close the data-access client");
}

}  // namespace pyqelcpp
