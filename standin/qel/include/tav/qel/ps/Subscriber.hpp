#pragma once
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "tav/qel/ps/DataEntityFactory.hpp"
#include "tav/qel/ps/DataEvent.hpp"
#include "tav/qel/ps/DataEventFilter.hpp"
#include "tav/qel/ps/LoanedDataEntity.hpp"
#include "tav/qel/ps/Subscription.hpp"

namespace tav::qel {
class Qel;
}

namespace tav::qel::ps {

// Receives samples of T on one topic into its own bounded queue, in publishing order.
// read, readDataEvents, loanedRead and poll take events from that queue; readInstance,
// readInstanceValue and loanedReadInstance look at the latest sample of an instance.
template <class T>
class Subscriber : public virtual DataEntityFactory<T> {
public:
    using DataEventHandler = std::function<void(Subscriber<T>&, const DataEvent<T>&)>;
    using Notifier = std::function<void(Subscriber<T>&)>;

    virtual std::shared_ptr<Qel> getQel() = 0;
    ~Subscriber() override = default;
    virtual void close() = 0;
    // Takes up to maxCount queued samples (0: all), without waiting.
    virtual std::vector<std::shared_ptr<T>> read(std::size_t maxCount) = 0;
    // Latest sample of the instance that instance's key names, or empty.
    virtual std::shared_ptr<T> readInstance(const T& instance) = 0;
    // Copies the latest sample of the instance into value; false when there is none.
    virtual bool readInstanceValue(const T& instance, T& value) = 0;
    // Takes the next queued sample as a loan, or empty when none is queued.
    virtual std::shared_ptr<LoanedDataEntity<T>> loanedRead() = 0;
    // Lends the latest sample of the instance, or empty.
    virtual std::shared_ptr<LoanedDataEntity<T>> loanedReadInstance(T& instance) = 0;
    // Takes up to maxCount (0: all) queued events that the filter selects, waiting up
    // to timeout for the first one; events the filter rejects stay queued.
    virtual std::vector<std::shared_ptr<DataEvent<T>>> readDataEvents(
        const DataEventFilter<T>& filter, std::size_t maxCount,
        const std::chrono::milliseconds& timeout) = 0;
    // Handler run by poll() on the polling thread.
    virtual std::unique_ptr<Subscription> subscribe(const DataEventFilter<T>& filter,
                                                    DataEventHandler handler) = 0;
    // Waits up to timeout for queued events, takes up to maxCount (0: all) and runs the
    // polled handlers on them; returns the number of events taken. A handler's exception
    // is rethrown from poll after the event is consumed.
    virtual std::size_t poll(std::size_t maxCount, const std::chrono::milliseconds& timeout) = 0;
    // Handler run on a middleware thread for every event taken from the queue.
    virtual std::unique_ptr<Subscription> subscribeAsync(const DataEventFilter<T>& filter,
                                                         DataEventHandler handler) = 0;
    // Notifier run on a middleware thread whenever new samples are queued; the
    // samples stay queued for the reads.
    virtual std::unique_ptr<Subscription> subscribeAsyncNotifier(const DataEventFilter<T>& filter,
                                                                 Notifier notifier) = 0;
};

}  // namespace tav::qel::ps
