// Entry of the middleware's Python module.
#include "Definitions.hpp"
#include "tav/qel/bindings/MainInterpreterModule.hpp"
#include "tav/qel/bindings/Unconstructed.hpp"

TAV_QEL_MAIN_INTERPRETER_MODULE(pyqelcpp, m) {
    m.doc() = "Python binding of the QEL middleware";
    pyqelcpp::define_exceptions(m);
    pyqelcpp::define_uri(m);
    pyqelcpp::define_qos(m);
    pyqelcpp::define_pubsub(m);
    pyqelcpp::define_data_access(m);
    pyqelcpp::define_qel(m);
    pyqelcpp::define_server(m);
    pyqelcpp::define_binding_support(m);
    pyqelcpp::define_futures(m);
    pyqelcpp::define_factory(m);
    pyqelcpp::install_lifecycle(m);
    pyqelcpp::install_signal_handling(m);
    tav::qel::bindings::refuseUnconstructedObjects(m);
}
