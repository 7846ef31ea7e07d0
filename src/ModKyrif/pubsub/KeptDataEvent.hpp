#pragma once
// A data event handed to a Python callable is the middleware's own object, lent for
// the duration of the call, and its Python wrapper does not own it. When the callable
// keeps the wrapper beyond the call (stores it, or it lives on in a traceback), the
// wrapper is turned into an owning one: it receives a copy of the event that shares
// the sample and carries the state, event and timestamp, so that it never reaches
// the middleware's object after the call. A wrapper that was not kept costs nothing.
#include <memory>

#include "tav/qel/bindings/Pybind.hpp"
#include "tav/qel/bindings/Pybind11Internals.hpp"
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
    using Event = tav::qel::ps::DataEvent<T>;
    if (wrapper.ref_count() <= 1) {
        return;
    }
    tav::qel::bindings::internals::adoptLentValue<Event>(
        wrapper, event, [&event] { return std::shared_ptr<Event>(std::make_shared<KeptDataEvent<T>>(event)); });
}

}  // namespace modkyrif
