#pragma once
// The engine's QoS of request/reply between processes: requests and replies are
// reliable and kept until every matched reader acknowledged them, and nothing sent
// before a reader joined reaches it (a client sends only once it reaches a service).
#include "../EntityQos.hpp"

namespace tav::qel::dds {

void rrWriterQos(Qos& qos);
void rrReaderQos(Qos& qos);

}  // namespace tav::qel::dds
