#pragma once
// Type-erased publish/subscribe entities of the embedded middleware. The typed
// entities that interface libraries instantiate (DataTypeSupport.hpp) are thin
// wrappers over these cores, which libqel implements once for every type.
#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

#include "tav/qel/Export.hpp"
#include "tav/qel/ps/DataEntity.hpp"
#include "tav/qel/ps/Subscription.hpp"
#include "tav/qel/ps/detail/Received.hpp"

namespace tav::qel {
class Qel;
}

namespace tav::qel::ps::detail {

// Receives the events of one handler subscription. Implementations wrap a handler
// made by the caller (possibly from an interpreter's callable): the engine never
// copies it, never calls or destroys it while holding one of its locks.
class QEL_API EventSink {
public:
    virtual ~EventSink();
    virtual void deliver(const Received& received) = 0;
};

// Told that new samples were queued; the samples stay queued.
class QEL_API NotifySink {
public:
    virtual ~NotifySink();
    virtual void notify() = 0;
};

class QEL_API PublisherCore {
public:
    virtual ~PublisherCore();
    virtual std::shared_ptr<Qel> getQel() const = 0;
    // Publishes a copy of sample to every subscriber of the topic; timestamp null
    // means "now" (seconds since the epoch).
    virtual void publish(const DataEntityBase& sample, const double* timestamp,
                         std::chrono::milliseconds timeout) = 0;
    virtual void close() = 0;
    // A new sample: empty, or carrying the key of the instance this core is bound to.
    virtual std::unique_ptr<DataEntityBase> newEntity() = 0;
    // A core bound to the instance that sample's key names.
    virtual std::unique_ptr<PublisherCore> bindInstance(const DataEntityBase& sample) = 0;
};

class QEL_API SubscriberCore {
public:
    virtual ~SubscriberCore();
    virtual std::shared_ptr<Qel> getQel() const = 0;
    virtual void close() = 0;
    virtual std::unique_ptr<DataEntityBase> newEntity() = 0;
    // Takes up to maxCount (0: all) queued samples, without waiting.
    virtual std::vector<Received> take(std::size_t maxCount) = 0;
    // The latest sample of the instance that key names, or empty.
    virtual std::shared_ptr<DataEntityBase> latest(const DataEntityBase& key) = 0;
    // Takes up to maxCount (0: all) queued samples that selection matches, waiting
    // up to timeout for the first; the others stay queued.
    virtual std::vector<Received> takeMatching(const EventSelection& selection, std::size_t maxCount,
                                               std::chrono::milliseconds timeout) = 0;
    virtual std::unique_ptr<Subscription> subscribePolled(EventSelection selection,
                                                          std::shared_ptr<EventSink> sink) = 0;
    virtual std::size_t poll(std::size_t maxCount, std::chrono::milliseconds timeout) = 0;
    virtual std::unique_ptr<Subscription> subscribeAsync(EventSelection selection,
                                                         std::shared_ptr<EventSink> sink) = 0;
    virtual std::unique_ptr<Subscription> subscribeNotifier(EventSelection selection,
                                                            std::shared_ptr<NotifySink> sink) = 0;
};

class QEL_API MrvSubscriberCore {
public:
    virtual ~MrvSubscriberCore();
    virtual void close() = 0;
    // The latest sample of every instance in order of first appearance, waiting up
    // to timeout while there is none.
    virtual std::vector<std::shared_ptr<DataEntityBase>> readMostRecent(std::chrono::milliseconds timeout) = 0;
};

}  // namespace tav::qel::ps::detail
