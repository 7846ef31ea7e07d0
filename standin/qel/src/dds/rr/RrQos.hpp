#pragma once
// The engine's QoS of request/reply between processes: requests and replies are
// reliable and kept until every matched reader acknowledged them, and nothing sent
// before a reader joined reaches it (a client sends only once it reaches a service).
#include "../EntityQos.hpp"

#include <string>

namespace tav::qel::dds {

// The type name an engine's type description gives, for error texts.
inline std::string typeNameOf(const void* descriptor) {
    return static_cast<const dds_topic_descriptor_t*>(descriptor)->m_typename;
}

void rrWriterQos(Qos& qos);
void rrReaderQos(Qos& qos);

}  // namespace tav::qel::dds
