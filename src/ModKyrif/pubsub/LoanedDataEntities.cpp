// <T>LoanedDataEntity: a sample lent by the middleware without a copy.
#include <memory>
#include <utility>

#include "module/Families.hpp"
#include "structures/StructureTraits.hpp"
#include "tav/qel/ps/LoanedDataEntity.hpp"

namespace py = pybind11;

namespace modkyrif {

template <class T>
void define_loaned_data_entity(py::module_& m) {
    using Loan = tav::qel::ps::LoanedDataEntity<T>;

    py::class_<Loan, std::shared_ptr<Loan>>(m, roleClassName<T>("LoanedDataEntity").c_str())
        .def(
            "getData",
            // The lent sample is handed out without a copy, under a handle that shares
            // ownership of the loan: the loan lives as long as any sample taken from
            // it, so the sample's memory never goes away under a Python object.
            // Dropping the sample never frees it; a closed loan gives no sample. The
            // loan is taken by reference, which refuses a loan object that holds no
            // loan, and its owning handle then found through its Python object.
            [](Loan& self) -> std::shared_ptr<T> {
                T* sample = self.getData();
                if (sample == nullptr) {
                    return nullptr;
                }
                const py::object object = py::cast(&self, py::return_value_policy::reference);
                auto owner = object.template cast<std::shared_ptr<Loan>>();
                return std::shared_ptr<T>(std::move(owner), sample);
            },
            "Return loaned data entity")
        .def("close", &Loan::close, "Close and shutdown this instance");
}

template void define_loaned_data_entity<kyrif::Method>(py::module_&);
template void define_loaned_data_entity<kyrif::StartProperties>(py::module_&);

}  // namespace modkyrif
