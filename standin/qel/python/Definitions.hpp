#pragma once
// The registration functions of pyqelcpp, one per concept, called in this order by
// the module entry: a type is registered before the functions that name it.
#include "tav/qel/bindings/Pybind.hpp"

namespace pyqelcpp {

namespace py = pybind11;

void define_exceptions(py::module_& m);        // QelException, TimeoutException, ClosedException
void define_uri(py::module_& m);               // Uri
void define_qos(py::module_& m);               // PsQoS, QueueDepth, RrQoS, ReplyTime, the QoS lists
void define_pubsub(py::module_& m);            // InstanceState, InstanceEvent, Subscription
void define_data_access(py::module_& m);       // SampleInfo, DataAccessSync, DataAccessClient
void define_qel(py::module_& m);               // Qel
void define_server(py::module_& m);            // Server, ListenerRegistration
void define_binding_support(py::module_& m);   // QelPythonExceptionObjectPtr, ClientRrEntityBaseDelegate
void define_futures(py::module_& m);           // FutureStatus and the future wrappers
void define_factory(py::module_& m);           // WexFactory
void install_lifecycle(py::module_& m);        // blocking hook and shutdown at interpreter exit
void install_signal_handling(py::module_& m);  // signal handlers run during the main thread's waits

}  // namespace pyqelcpp
