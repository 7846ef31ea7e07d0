#pragma once
// Static factories of subscribers and most-recent-value subscribers on the structure
// class of T.
#include <memory>

#include "pubsub/FactoryArguments.hpp"
#include "tav/qel/ps/MrvSubscriber.hpp"
#include "tav/qel/ps/Subscriber.hpp"

namespace modkyrif {

template <class T, class Class>
void defineSubscriberFactory(Class& cls) {
    defineEndpointFactory<tav::qel::ps::qos::QoSList>(
        cls, "staticGetSubscriber", "Factory method, returning new instance of the Subscriber",
        [](tav::qel::WexFactory& factory, const std::string& endpoint, const tav::qel::ps::qos::QoSList& qos,
           const tav::qel::Properties& properties) {
            // Subscribers are shared: samples, events and handlers refer back to them.
            return std::shared_ptr<tav::qel::ps::Subscriber<T>>(factory.getSubscriber<T>(endpoint, qos, properties));
        });
}

template <class T, class Class>
void defineMrvSubscriberFactory(Class& cls) {
    defineEndpointFactory<tav::qel::ps::qos::QoSList>(
        cls, "staticGetMrvSubscriber", "Factory method, returning new instance of the MrvSubscriber",
        [](tav::qel::WexFactory& factory, const std::string& endpoint, const tav::qel::ps::qos::QoSList& qos,
           const tav::qel::Properties& properties) { return factory.getMrvSubscriber<T>(endpoint, qos, properties); });
}

}  // namespace modkyrif
