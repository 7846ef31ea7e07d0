// Instance states and events, and the handle of callback subscriptions.
#include "Definitions.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"
#include "tav/qel/ps/InstanceState.hpp"
#include "tav/qel/ps/Subscription.hpp"

namespace pyqelcpp {

void define_pubsub(py::module_& m) {
    using tav::qel::ps::InstanceEvent;
    using tav::qel::ps::InstanceState;

    py::enum_<InstanceState>(m, "InstanceState", "Life state of a topic instance; ANY selects every state")
        .value("ALIVE", InstanceState::ALIVE)
        .value("NOT_ALIVE", InstanceState::NOT_ALIVE)
        .value("ANY", InstanceState::ANY);

    py::enum_<InstanceEvent>(m, "InstanceEvent", "What a sample did to its topic instance")
        .value("CREATED", InstanceEvent::CREATED)
        .value("UPDATED", InstanceEvent::UPDATED)
        .value("REMOVED", InstanceEvent::REMOVED);

    py::class_<tav::qel::ps::Subscription, std::unique_ptr<tav::qel::ps::Subscription>>(
        m, "Subscription", "Handle of a callback subscription; closing or dropping it ends deliveries")
        .def(
            "close",
            // Waits for a delivery still running, which may need the interpreter lock.
            [](tav::qel::ps::Subscription& self) { tav::qel::bindings::withoutGil([&] { self.close(); }); },
            "End deliveries; a delivery already running completes first");
}

}  // namespace pyqelcpp
