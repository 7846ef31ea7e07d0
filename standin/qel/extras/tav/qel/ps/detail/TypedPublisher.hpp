#pragma once
// Typed publishers over the engine's PublisherCore.
#include <chrono>
#include <memory>

#include "tav/qel/ps/InstancePublisher.hpp"
#include "tav/qel/ps/Publisher.hpp"
#include "tav/qel/ps/detail/EntityCores.hpp"
#include "tav/qel/ps/detail/TypedSamples.hpp"

namespace tav::qel::ps::detail {

template <class T, class Interface>
class TypedPublisherBase : public Interface {
public:
    explicit TypedPublisherBase(std::unique_ptr<PublisherCore> core) : core_(std::move(core)) {}
    ~TypedPublisherBase() override = default;

    std::shared_ptr<T> createDataEntity() override { return adoptSample<T>(core_->newEntity()); }
    std::shared_ptr<Qel> getQel() override { return core_->getQel(); }
    void publish(const T& sample, const std::chrono::milliseconds& timeout) override {
        core_->publish(sample, nullptr, timeout);
    }
    void publish(double timestamp, const T& sample, const std::chrono::milliseconds& timeout) override {
        core_->publish(sample, &timestamp, timeout);
    }
    void close() override { core_->close(); }

protected:
    std::unique_ptr<PublisherCore> core_;
};

template <class T>
class TypedInstancePublisher final : public TypedPublisherBase<T, InstancePublisher<T>> {
public:
    using TypedPublisherBase<T, InstancePublisher<T>>::TypedPublisherBase;
};

template <class T>
class TypedPublisher final : public TypedPublisherBase<T, Publisher<T>> {
public:
    using TypedPublisherBase<T, Publisher<T>>::TypedPublisherBase;

    std::unique_ptr<InstancePublisher<T>> createInstancePublisher(T& sample) override {
        return std::make_unique<TypedInstancePublisher<T>>(this->core_->bindInstance(sample));
    }
};

}  // namespace tav::qel::ps::detail
