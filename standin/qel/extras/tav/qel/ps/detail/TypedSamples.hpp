#pragma once
// Typed views of the engine's type-erased samples, events and loans.
#include <atomic>
#include <memory>
#include <string>

#include "tav/qel/QelException.hpp"
#include "tav/qel/ps/DataEvent.hpp"
#include "tav/qel/ps/LoanedDataEntity.hpp"
#include "tav/qel/ps/detail/Received.hpp"

namespace tav::qel::ps::detail {

// The structure interface T reached from the virtual base of a sample; samples of
// a topic are always of the topic's type, so a failure means a broken invariant.
template <class T>
std::shared_ptr<T> typedSample(std::shared_ptr<DataEntityBase> sample) {
    if (!sample) {
        return {};
    }
    auto typed = std::dynamic_pointer_cast<T>(std::move(sample));
    if (!typed) {
        throw QelException("sample of an unexpected type in the middleware");
    }
    return typed;
}

// Takes over a newly made sample as a shared T.
template <class T>
std::shared_ptr<T> adoptSample(std::unique_ptr<DataEntityBase> sample) {
    if (!sample) {
        return {};
    }
    T* typed = dynamic_cast<T*>(sample.get());
    if (typed == nullptr) {
        throw QelException(std::string("sample of type '") + sample->entityTypeName() +
                           "' where another type was expected");
    }
    sample.release();
    return std::shared_ptr<T>(typed);
}

// One received sample; the typed sample is found once, when the event is made. The
// event of an instance that went away has no data.
template <class T>
class TypedDataEvent final : public DataEvent<T> {
public:
    explicit TypedDataEvent(const Received& received)
        : data_(received.alive ? typedSample<T>(received.data) : nullptr),
          event_(received.event),
          timestamp_(received.timestamp),
          alive_(received.alive) {}

    bool hasValidData() const override { return static_cast<bool>(data_); }
    const std::shared_ptr<T>& getData() const override { return data_; }
    InstanceState getInstanceState() const override {
        return alive_ ? InstanceState::ALIVE : InstanceState::NOT_ALIVE;
    }
    InstanceEvent getInstanceEvent() const override { return event_; }
    double getSourceTimestamp() const override { return timestamp_; }

private:
    std::shared_ptr<T> data_;
    InstanceEvent event_;
    double timestamp_;
    bool alive_;
};

// A lent sample. close() ends the loan (getData then gives null), but the sample's
// memory stays valid until the loan object itself goes, so that a reference taken
// from the loan never dangles.
template <class T>
class TypedLoan final : public LoanedDataEntity<T> {
public:
    explicit TypedLoan(std::shared_ptr<T> data) : data_(std::move(data)) {}
    T* getData() override { return open_.load(std::memory_order_acquire) ? data_.get() : nullptr; }
    void close() override { open_.store(false, std::memory_order_release); }

private:
    std::shared_ptr<T> data_;
    std::atomic<bool> open_{true};
};

}  // namespace tav::qel::ps::detail
