// The floor of the binding cost: a structure-like class held by shared ownership whose
// accessors are virtual member functions bound directly, as the module binds the
// accessors of its structures. Nothing else happens in a call. It depends on
// pybind11 and the project's timeout conversion only.
#include <memory>
#include <string>

#include <pybind11/pybind11.h>

#include <chrono>

#include "tav/qel/bindings/Duration.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"

namespace py = pybind11;

namespace {

class Named {
public:
    virtual ~Named() = default;
    virtual std::string getName() { return name_; }
    virtual void setName(const std::string& name) { name_ = name; }

private:
    std::string name_;
};

}  // namespace

PYBIND11_MODULE(modkyrif_bench_floor, m) {
    m.doc() = "Benchmark floor: bare pybind11 calls";
    py::class_<Named, std::shared_ptr<Named>>(m, "Named")
        .def(py::init<>())
        .def("getName", &Named::getName, "Return name")
        .def("setName", &Named::setName, "Set name")
        // The shape of publish(sample, timeout): the same argument conversions, with
        // and without letting go of the interpreter lock around an empty native call.
        .def(
            "publish", [](Named&, const Named&, const std::chrono::milliseconds&) {}, "Publish nothing")
        .def(
            "publishReleased",
            [](Named&, const Named&, const std::chrono::milliseconds&) { tav::qel::bindings::withoutGil([] {}); },
            "Publish nothing, with the lock released");
}
