#pragma once
// Callback subscriptions: the static functions that connect a Python callable to a
// subscriber, and the native handlers that call it. The callable is converted by the
// binding library's functional support (a std::function that holds a reference to
// the callable and takes the interpreter lock to call, copy or destroy it); the
// handler given to the middleware owns one such std::function by value, so the
// callable lives as long as the middleware keeps the handler. The middleware may drop
// a handler on any thread (a middleware thread, or a Python thread inside a call that
// released the lock), so the std::function is held as AnyThreadHeld.
#include <functional>
#include <memory>
#include <utility>

#include "pubsub/KeptDataEvent.hpp"
#include "tav/qel/bindings/InterpreterLifetime.hpp"
#include "tav/qel/bindings/Pybind.hpp"
#include "tav/qel/bindings/Pybind11Internals.hpp"
#include "tav/qel/ps/Subscriber.hpp"

namespace modkyrif {

// The Python object of a subscriber, or None. A subscriber's Python object is its
// only owner, so a subscriber without one is being destroyed: its destructor is
// waiting for the handler that asks. The object is held for the handler's call, so
// that the subscriber cannot go away while the callable uses it.
template <class T>
pybind11::object subscriberObject(tav::qel::ps::Subscriber<T>& subscriber) {
    return tav::qel::bindings::internals::registeredWrapper(subscriber);
}

// Handler of data events: calls callable(subscriber, event).
template <class T>
class DataEventHandlerAdapter {
public:
    using Subscriber = tav::qel::ps::Subscriber<T>;
    using DataEvent = tav::qel::ps::DataEvent<T>;
    using Callback = std::function<void(Subscriber*, DataEvent*)>;

    explicit DataEventHandlerAdapter(Callback callback) : callback_(std::move(callback)) {}

    void operator()(Subscriber& subscriber, const DataEvent& event) const {
        if (!callback_.get()) {
            throw std::bad_function_call();
        }
        auto* lent = const_cast<DataEvent*>(&event);
        pybind11::gil_scoped_acquire gil;
        // A delivery that races with the destruction of its subscriber is dropped
        // rather than handing the callable an object that is going away.
        pybind11::object owner = subscriberObject<T>(subscriber);
        if (!owner) {
            return;
        }
        // The wrapper the callable receives: made here so that it can be looked at
        // after the call (the callback's own conversion finds this same object).
        pybind11::object wrapper = pybind11::cast(lent, pybind11::return_value_policy::reference);
        try {
            callback_.get()(&subscriber, lent);
        } catch (...) {
            keepDataEventIfReferenced<T>(wrapper, event);
            throw;
        }
        keepDataEventIfReferenced<T>(wrapper, event);
    }

private:
    tav::qel::bindings::AnyThreadHeld<Callback> callback_;
};

// Notifier of new data: calls callable(subscriber).
template <class T>
class NotifierAdapter {
public:
    using Subscriber = tav::qel::ps::Subscriber<T>;
    using Callback = std::function<void(Subscriber*)>;

    explicit NotifierAdapter(Callback callback) : callback_(std::move(callback)) {}

    void operator()(Subscriber& subscriber) const {
        if (!callback_.get()) {
            throw std::bad_function_call();
        }
        pybind11::gil_scoped_acquire gil;
        pybind11::object owner = subscriberObject<T>(subscriber);
        if (owner) {
            callback_.get()(&subscriber);
        }
    }

private:
    tav::qel::bindings::AnyThreadHeld<Callback> callback_;
};

// staticSubscribe, staticSubscribeAsync and staticSubscribeAsyncNotifier on the
// structure class of T. The interpreter lock stays held while the middleware
// registers the handler.
template <class T, class Class>
void defineCallbackSubscriptions(Class& cls) {
    using Subscriber = tav::qel::ps::Subscriber<T>;
    using Filter = tav::qel::ps::DataEventFilter<T>;
    using EventAdapter = DataEventHandlerAdapter<T>;
    using Notifier = NotifierAdapter<T>;

    cls.def_static(
           "staticSubscribe",
           [](Subscriber& subscriber, const Filter& filter, typename EventAdapter::Callback callback) {
               return subscriber.subscribe(filter, EventAdapter(std::move(callback)));
           },
           "Subscribe to events to be polled")
        .def_static(
            "staticSubscribeAsync",
            [](Subscriber& subscriber, const Filter& filter, typename EventAdapter::Callback callback) {
                return subscriber.subscribeAsync(filter, EventAdapter(std::move(callback)));
            },
            "Subscribe to events asynchronously")
        .def_static(
            "staticSubscribeAsyncNotifier",
            [](Subscriber& subscriber, const Filter& filter, typename Notifier::Callback callback) {
                return subscriber.subscribeAsyncNotifier(filter, Notifier(std::move(callback)));
            },
            "Subscribe to new data events asynchronously");
}

}  // namespace modkyrif
