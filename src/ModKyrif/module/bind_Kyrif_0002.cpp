// Binding unit of the topic structure StartProperties and its publish/subscribe roles.
#include "module/BindingUnits.hpp"
#include "module/Families.hpp"

void bind_Kyrif_0002(pybind11::module_ m) {
    using kyrif::StartProperties;
    modkyrif::define_structure<StartProperties>(m);
    modkyrif::define_instance_publisher<StartProperties>(m);
    modkyrif::define_publisher<StartProperties>(m);
    modkyrif::define_data_event<StartProperties>(m);
    modkyrif::define_data_event_filter<StartProperties>(m);
    modkyrif::define_loaned_data_entity<StartProperties>(m);
    modkyrif::define_subscriber<StartProperties>(m);
    modkyrif::define_mrv_subscriber<StartProperties>(m);
}
