// Out-of-line members of the middleware's exception, QoS and interface classes.
// Defining the destructors here gives every class one home for its vtable and
// type information, so that exceptions and interfaces keep a single identity
// across the shared libraries of a process.
#include "tav/qel/Qel.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/ps/DataEntity.hpp"
#include "tav/qel/ps/Subscription.hpp"
#include "tav/qel/ps/qos/QoS.hpp"
#include "tav/qel/rr/ClientRrEntity.hpp"
#include "tav/qel/rr/RrEntity.hpp"
#include "tav/qel/rr/Server.hpp"
#include "tav/qel/rr/da/DataAccess.hpp"
#include "tav/qel/rr/detail/ClientCore.hpp"
#include "tav/qel/rr/qos/QoS.hpp"

namespace tav::qel {

QelException::QelException(const std::string& what) : std::runtime_error(what) {}
QelException::QelException(const char* what) : std::runtime_error(what) {}
QelException::~QelException() = default;
TimeoutException::~TimeoutException() = default;
ClosedException::~ClosedException() = default;

Qel::~Qel() = default;

namespace ps {
DataEntityBase::~DataEntityBase() = default;
Subscription::~Subscription() = default;
}  // namespace ps

namespace ps::qos {
QoS::~QoS() = default;
QueueDepth::QueueDepth(std::size_t depth) : depth_(depth) {}
QueueDepth::~QueueDepth() = default;
}  // namespace ps::qos

namespace rr {
RrEntity::~RrEntity() = default;
ClientRrEntity::~ClientRrEntity() = default;
Server::~Server() = default;
}  // namespace rr

namespace rr::qos {
QoS::~QoS() = default;
ReplyTime::ReplyTime(std::chrono::milliseconds time) : time_(time) {}
ReplyTime::~ReplyTime() = default;
}  // namespace rr::qos

namespace rr::da {
DataAccess::~DataAccess() = default;
DataAccessSync::~DataAccessSync() = default;
}  // namespace rr::da

namespace rr::detail {
ClientCore::~ClientCore() = default;
}  // namespace rr::detail

}  // namespace tav::qel
