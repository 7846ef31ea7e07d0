#pragma once
// The arguments shared by every static factory of the module: the middleware
// factory, the endpoint (the middleware's URI object or a text), the middleware's
// QoS list object and a dict of texts. Each factory is registered as two overloads
// under one name, the URI form first; both reach the same creation with the text.
#include <string>
#include <utility>

#include "network/uri.hpp"
#include "tav/qel/Properties.hpp"
#include "tav/qel/WexFactory.hpp"
#include "tav/qel/bindings/Pybind.hpp"

namespace modkyrif {

// create(factory, endpointText, qos, properties) makes the entity. The interpreter
// lock stays held: creation is quick and keeps every argument alive.
template <class QoSList, class Class, class Create>
void defineEndpointFactory(Class& cls, const char* name, const char* doc, Create create) {
    cls.def_static(
        name,
        [create](tav::qel::WexFactory& factory, network::uri& endpoint, const QoSList& qos,
                 const tav::qel::Properties& properties) {
            return create(factory, endpoint.string(), qos, properties);
        },
        doc);
    cls.def_static(
        name,
        [create](tav::qel::WexFactory& factory, const std::string& endpoint, const QoSList& qos,
                 const tav::qel::Properties& properties) { return create(factory, endpoint, qos, properties); },
        doc);
}

}  // namespace modkyrif
