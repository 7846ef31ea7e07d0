#pragma once
// Static factory of publishers on the structure class of T.
#include "pubsub/FactoryArguments.hpp"
#include "tav/qel/ps/Publisher.hpp"

namespace modkyrif {

template <class T, class Class>
void definePublisherFactory(Class& cls) {
    defineEndpointFactory<tav::qel::ps::qos::QoSList>(
        cls, "staticGetPublisher", "Factory method, returning new instance of the Publisher",
        [](tav::qel::WexFactory& factory, const std::string& endpoint, const tav::qel::ps::qos::QoSList& qos,
           const tav::qel::Properties& properties) { return factory.getPublisher<T>(endpoint, qos, properties); });
}

}  // namespace modkyrif
