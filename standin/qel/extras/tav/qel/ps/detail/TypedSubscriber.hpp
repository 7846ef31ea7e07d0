#pragma once
// Typed subscribers over the engine's SubscriberCore and MrvSubscriberCore.
#include <chrono>
#include <memory>
#include <utility>
#include <vector>

#include "tav/qel/ps/MrvSubscriber.hpp"
#include "tav/qel/ps/Subscriber.hpp"
#include "tav/qel/ps/detail/EntityCores.hpp"
#include "tav/qel/ps/detail/TypedSamples.hpp"

namespace tav::qel::ps::detail {

template <class T>
EventSelection selectionOf(const DataEventFilter<T>& filter) {
    return EventSelection(filter.instance.get(), filter.state, filter.events);
}

// Runs a typed handler on the engine's events. The handler is kept here, once, and
// destroyed with the sink.
template <class T>
class TypedEventSink final : public EventSink {
public:
    TypedEventSink(Subscriber<T>& subscriber, typename Subscriber<T>::DataEventHandler handler)
        : subscriber_(subscriber), handler_(std::move(handler)) {}
    void deliver(const Received& received) override {
        const TypedDataEvent<T> event(received);
        handler_(subscriber_, event);
    }

private:
    Subscriber<T>& subscriber_;
    typename Subscriber<T>::DataEventHandler handler_;
};

template <class T>
class TypedNotifySink final : public NotifySink {
public:
    TypedNotifySink(Subscriber<T>& subscriber, typename Subscriber<T>::Notifier notifier)
        : subscriber_(subscriber), notifier_(std::move(notifier)) {}
    void notify() override { notifier_(subscriber_); }

private:
    Subscriber<T>& subscriber_;
    typename Subscriber<T>::Notifier notifier_;
};

template <class T>
class TypedSubscriber final : public Subscriber<T> {
public:
    explicit TypedSubscriber(std::unique_ptr<SubscriberCore> core) : core_(std::move(core)) {}
    // Closing stops deliveries and waits for a handler still running on another
    // thread, so no handler ever sees this object destroyed.
    ~TypedSubscriber() override { core_->close(); }

    std::shared_ptr<T> createDataEntity() override { return adoptSample<T>(core_->newEntity()); }
    std::shared_ptr<Qel> getQel() override { return core_->getQel(); }
    void close() override { core_->close(); }

    std::vector<std::shared_ptr<T>> read(std::size_t maxCount) override {
        std::vector<Received> taken = core_->take(maxCount);
        std::vector<std::shared_ptr<T>> samples;
        samples.reserve(taken.size());
        for (auto& received : taken) {
            // The event of an instance that went away has no sample to read.
            if (received.alive) {
                samples.push_back(typedSample<T>(std::move(received.data)));
            }
        }
        return samples;
    }

    // A copy, so that the caller cannot change the subscriber's latest sample.
    std::shared_ptr<T> readInstance(const T& instance) override {
        auto latest = core_->latest(instance);
        return latest ? adoptSample<T>(latest->cloneEntity()) : nullptr;
    }

    bool readInstanceValue(const T& instance, T& value) override {
        auto latest = core_->latest(instance);
        if (!latest) {
            return false;
        }
        value.assignEntity(*latest);
        return true;
    }

    std::shared_ptr<LoanedDataEntity<T>> loanedRead() override {
        for (;;) {
            std::vector<Received> taken = core_->take(1);
            if (taken.empty()) {
                return nullptr;
            }
            if (taken.front().alive) {
                return std::make_shared<TypedLoan<T>>(typedSample<T>(std::move(taken.front().data)));
            }
        }
    }

    std::shared_ptr<LoanedDataEntity<T>> loanedReadInstance(T& instance) override {
        auto latest = core_->latest(instance);
        if (!latest) {
            return nullptr;
        }
        return std::make_shared<TypedLoan<T>>(typedSample<T>(std::move(latest)));
    }

    std::vector<std::shared_ptr<DataEvent<T>>> readDataEvents(const DataEventFilter<T>& filter,
                                                              std::size_t maxCount,
                                                              const std::chrono::milliseconds& timeout) override {
        std::vector<Received> taken = core_->takeMatching(selectionOf(filter), maxCount, timeout);
        std::vector<std::shared_ptr<DataEvent<T>>> events;
        events.reserve(taken.size());
        for (const auto& received : taken) {
            events.push_back(std::make_shared<TypedDataEvent<T>>(received));
        }
        return events;
    }

    std::unique_ptr<Subscription> subscribe(const DataEventFilter<T>& filter,
                                            typename Subscriber<T>::DataEventHandler handler) override {
        return core_->subscribePolled(selectionOf(filter),
                                      std::make_shared<TypedEventSink<T>>(*this, std::move(handler)));
    }

    std::size_t poll(std::size_t maxCount, const std::chrono::milliseconds& timeout) override {
        return core_->poll(maxCount, timeout);
    }

    std::unique_ptr<Subscription> subscribeAsync(const DataEventFilter<T>& filter,
                                                 typename Subscriber<T>::DataEventHandler handler) override {
        return core_->subscribeAsync(selectionOf(filter),
                                     std::make_shared<TypedEventSink<T>>(*this, std::move(handler)));
    }

    std::unique_ptr<Subscription> subscribeAsyncNotifier(const DataEventFilter<T>& filter,
                                                         typename Subscriber<T>::Notifier notifier) override {
        return core_->subscribeNotifier(selectionOf(filter),
                                        std::make_shared<TypedNotifySink<T>>(*this, std::move(notifier)));
    }

private:
    std::unique_ptr<SubscriberCore> core_;
};

template <class T>
class TypedMrvSubscriber final : public MrvSubscriber<T> {
public:
    explicit TypedMrvSubscriber(std::unique_ptr<MrvSubscriberCore> core) : core_(std::move(core)) {}
    ~TypedMrvSubscriber() override { core_->close(); }

    void close() override { core_->close(); }
    std::vector<std::shared_ptr<T>> readMostRecent(const std::chrono::milliseconds& timeout) override {
        auto latest = core_->readMostRecent(timeout);
        std::vector<std::shared_ptr<T>> samples;
        samples.reserve(latest.size());
        for (auto& sample : latest) {
            samples.push_back(typedSample<T>(std::move(sample)));
        }
        return samples;
    }

private:
    std::unique_ptr<MrvSubscriberCore> core_;
};

}  // namespace tav::qel::ps::detail
