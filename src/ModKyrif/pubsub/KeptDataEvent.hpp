#pragma once
// A data event handed to a Python callable is the middleware's own object, lent for
// the duration of the call, and its Python wrapper does not own it. When the callable
// keeps the wrapper beyond the call (stores it, or it lives on in a traceback), the
// wrapper is turned into an owning one: it receives a copy of the event that shares
// the sample and carries the state, event and timestamp, so that it never reaches
// the middleware's object after the call. A wrapper that was not kept costs nothing.
#include <memory>
#include <new>
#include <typeinfo>

#include "tav/qel/bindings/Pybind.hpp"
#include "tav/qel/ps/DataEvent.hpp"

namespace modkyrif {

// A data event held by this module: the sample is shared, not copied.
template <class T>
class KeptDataEvent final : public tav::qel::ps::DataEvent<T> {
public:
    explicit KeptDataEvent(const tav::qel::ps::DataEvent<T>& event)
        : valid_(event.hasValidData()),
          data_(event.getData()),
          state_(event.getInstanceState()),
          event_(event.getInstanceEvent()),
          timestamp_(event.getSourceTimestamp()) {}

    bool hasValidData() const override { return valid_; }
    const std::shared_ptr<T>& getData() const override { return data_; }
    tav::qel::ps::InstanceState getInstanceState() const override { return state_; }
    tav::qel::ps::InstanceEvent getInstanceEvent() const override { return event_; }
    double getSourceTimestamp() const override { return timestamp_; }

private:
    bool valid_;
    std::shared_ptr<T> data_;
    tav::qel::ps::InstanceState state_;
    tav::qel::ps::InstanceEvent event_;
    double timestamp_;
};

// Called with the interpreter lock held, after the callable returned or raised, with
// the wrapper made for event before the call. If anything besides the caller still
// refers to the wrapper and it still wraps event without owning it, it is given a
// KeptDataEvent of its own.
template <class T>
void keepDataEventIfReferenced(pybind11::handle wrapper, const tav::qel::ps::DataEvent<T>& event) {
    namespace py = pybind11;
    namespace detail = pybind11::detail;
    using Event = tav::qel::ps::DataEvent<T>;
    using Holder = std::shared_ptr<Event>;

    if (wrapper.ref_count() <= 1) {
        return;
    }
    detail::type_info* tinfo = detail::get_type_info(typeid(Event));
    if (tinfo == nullptr || Py_TYPE(wrapper.ptr()) != tinfo->type) {
        return;
    }
    auto* inst = reinterpret_cast<detail::instance*>(wrapper.ptr());
    detail::value_and_holder v_h = inst->get_value_and_holder(tinfo, false);
    if (!v_h || v_h.holder_constructed() || inst->owned ||
        v_h.value_ptr() != static_cast<const void*>(&event)) {
        return;
    }
    Holder kept = std::make_shared<KeptDataEvent<T>>(event);
    // The registry of live wrappers is keyed by the wrapped address: move the entry
    // from the middleware's event to the kept copy.
    if (v_h.instance_registered()) {
        detail::deregister_instance(inst, v_h.value_ptr(), tinfo);
    }
    v_h.value_ptr() = kept.get();
    new (std::addressof(v_h.template holder<Holder>())) Holder(std::move(kept));
    v_h.set_holder_constructed();
    inst->owned = true;
    detail::register_instance(inst, v_h.value_ptr(), tinfo);
    v_h.set_instance_registered();
}

}  // namespace modkyrif
