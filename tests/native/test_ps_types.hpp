#pragma once
// Small structure types for the middleware's native tests: Reading is keyed by
// its sensor id, Status has no key (one instance).
#include <cstdint>
#include <memory>
#include <string>

#include "embedded/EmbeddedQel.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/QelTypeTraits.hpp"
#include "tav/qel/ps/DataEntity.hpp"
#include "tav/qel/ps/MrvSubscriber.hpp"
#include "tav/qel/ps/Publisher.hpp"
#include "tav/qel/ps/Subscriber.hpp"
#include "tav/qel/ps/detail/DataTypeSupport.hpp"

namespace testtypes {

using tav::qel::ps::DataEntityBase;

template <class Interface, class Self>
class SampleBase : public Interface {
public:
    std::unique_ptr<DataEntityBase> cloneEntity() const override { return std::make_unique<Self>(self()); }
    std::unique_ptr<DataEntityBase> cloneKeyEntity() const override {
        auto key = std::make_unique<Self>();
        key->copyKey(self());
        return key;
    }
    bool keyEqualsEntity(const DataEntityBase& other) const override {
        auto typed = dynamic_cast<const Self*>(&other);
        return typed != nullptr && self().sameKey(*typed);
    }
    void assignEntity(const DataEntityBase& other) override {
        auto typed = dynamic_cast<const Self*>(&other);
        if (typed == nullptr) {
            throw tav::qel::QelException("assignment from another type");
        }
        static_cast<Self&>(*this) = *typed;
    }

private:
    const Self& self() const { return static_cast<const Self&>(*this); }
};

class Reading : public tav::qel::ps::DataEntity<Reading> {
public:
    std::int32_t sensor = 0;
    std::string value;
};

class ReadingImpl final : public SampleBase<Reading, ReadingImpl> {
public:
    void copyKey(const ReadingImpl& other) { sensor = other.sensor; }
    bool sameKey(const ReadingImpl& other) const { return sensor == other.sensor; }
    bool hasKeyEntity() const override { return true; }
    std::size_t keyHash() const override { return std::hash<std::int32_t>()(sensor); }
    const char* entityTypeName() const override { return "Reading"; }
};

class Status : public tav::qel::ps::DataEntity<Status> {
public:
    std::string text;
};

class StatusImpl final : public SampleBase<Status, StatusImpl> {
public:
    void copyKey(const StatusImpl&) {}
    bool sameKey(const StatusImpl&) const { return true; }
    bool hasKeyEntity() const override { return false; }
    std::size_t keyHash() const override { return 0; }
    const char* entityTypeName() const override { return "Status"; }
};

inline const char* const kLibrary = "test-types";

// Registers the two types once per process.
inline void registerTypes() {
    static const bool done = [] {
        tav::qel::ps::detail::registerDataType<Reading>(kLibrary, "Reading",
                                                         +[]() -> Reading* { return new ReadingImpl(); });
        tav::qel::ps::detail::registerDataType<Status>(kLibrary, "Status",
                                                        +[]() -> Status* { return new StatusImpl(); });
        return true;
    }();
    (void)done;
}

inline std::shared_ptr<Reading> reading(std::int32_t sensor, std::string value) {
    auto sample = std::make_shared<ReadingImpl>();
    sample->sensor = sensor;
    sample->value = std::move(value);
    return sample;
}

inline std::shared_ptr<Status> status(std::string text) {
    auto sample = std::make_shared<StatusImpl>();
    sample->text = std::move(text);
    return sample;
}

template <class T>
const char* typeNameOf();
template <>
inline const char* typeNameOf<Reading>() { return "Reading"; }
template <>
inline const char* typeNameOf<Status>() { return "Status"; }

// Entities of a middleware of their own, so that a test may shut it down.
template <class T>
std::unique_ptr<tav::qel::ps::Publisher<T>> publisherOn(tav::qel::Qel& qel, const std::string& endpoint) {
    return std::unique_ptr<tav::qel::ps::Publisher<T>>(static_cast<tav::qel::ps::Publisher<T>*>(
        qel.createPublisher(kLibrary, typeNameOf<T>(), endpoint, {}, qel.getDefaultProperties())));
}

template <class T>
std::unique_ptr<tav::qel::ps::Subscriber<T>> subscriberOn(tav::qel::Qel& qel, const std::string& endpoint,
                                                          tav::qel::ps::qos::QoSList qos = {},
                                                          tav::qel::Properties properties = {}) {
    auto merged = qel.getDefaultProperties();
    for (const auto& [key, value] : properties) {
        merged[key] = value;
    }
    return std::unique_ptr<tav::qel::ps::Subscriber<T>>(static_cast<tav::qel::ps::Subscriber<T>*>(
        qel.createSubscriber(kLibrary, typeNameOf<T>(), endpoint, qos, merged)));
}

template <class T>
std::unique_ptr<tav::qel::ps::MrvSubscriber<T>> mrvSubscriberOn(tav::qel::Qel& qel, const std::string& endpoint) {
    return std::unique_ptr<tav::qel::ps::MrvSubscriber<T>>(static_cast<tav::qel::ps::MrvSubscriber<T>*>(
        qel.createMrvSubscriber(kLibrary, typeNameOf<T>(), endpoint, {}, qel.getDefaultProperties())));
}

inline std::shared_ptr<tav::qel::Qel> freshQel() {
    registerTypes();
    return tav::qel::embedded::EmbeddedQel::create();
}

}  // namespace testtypes

namespace tav::qel {
template <>
struct QelTypeTraits<testtypes::Reading, true> {
    static constexpr const char* libraryName = "test-types";
    static constexpr const char* name = "Reading";
};
}  // namespace tav::qel
