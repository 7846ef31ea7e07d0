#pragma once
// Request/reply settings read from an entity's quality of service and properties.
#include <chrono>
#include <cstddef>

#include "tav/qel/Properties.hpp"
#include "tav/qel/rr/qos/QoS.hpp"

namespace tav::qel::embedded::reqrep {

// The ReplyTime setting (the last one in the list), else property "rr.replyTimeMs",
// else five seconds. A negative time counts as zero; a property that is not a whole
// number is a QelException.
std::chrono::milliseconds replyTimeOf(const tav::qel::rr::qos::QoSList& qos, const tav::qel::Properties& properties);

// Property "rr.workerThreads" (1 to 256), else 4: how many requests of one server
// run at once. Anything else is a QelException.
std::size_t workerThreadsOf(const tav::qel::Properties& properties);

}  // namespace tav::qel::embedded::reqrep
