// Homes of the vtables of the engine's type-erased interfaces.
#include "tav/qel/ps/detail/DataTypeSupportBase.hpp"
#include "tav/qel/ps/detail/EntityCores.hpp"

namespace tav::qel::ps::detail {

EventSink::~EventSink() = default;
NotifySink::~NotifySink() = default;
PublisherCore::~PublisherCore() = default;
SubscriberCore::~SubscriberCore() = default;
MrvSubscriberCore::~MrvSubscriberCore() = default;
DataTypeSupportBase::~DataTypeSupportBase() = default;

}  // namespace tav::qel::ps::detail
