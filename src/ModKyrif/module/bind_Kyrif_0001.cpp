// Binding unit of the topic structure Method and its publish/subscribe roles.
#include "module/BindingUnits.hpp"
#include "module/Families.hpp"

void bind_Kyrif_0001(pybind11::module_ m) {
    using kyrif::Method;
    modkyrif::define_structure<Method>(m);
    modkyrif::define_instance_publisher<Method>(m);
    modkyrif::define_publisher<Method>(m);
    modkyrif::define_data_event<Method>(m);
    modkyrif::define_data_event_filter<Method>(m);
    modkyrif::define_loaned_data_entity<Method>(m);
    modkyrif::define_subscriber<Method>(m);
    modkyrif::define_mrv_subscriber<Method>(m);
}
