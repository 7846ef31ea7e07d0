#pragma once
// Registration of a structure type with the middleware. The interface library calls
// registerDataType for each of its structure types when it is loaded; the typed
// entities are instantiated here, in the caller, over cores that libqel implements
// once for every type.
#include <memory>

#include "tav/qel/TypeSupport.hpp"
#include "tav/qel/ps/detail/DataTypeSupportBase.hpp"
#include "tav/qel/ps/detail/TypedPublisher.hpp"
#include "tav/qel/ps/detail/TypedSubscriber.hpp"

namespace tav::qel::ps::detail {

template <class T>
class DataTypeSupport final : public DataTypeSupportBase {
public:
    explicit DataTypeSupport(T* (*make)()) : make_(make) {}

    DataEntityBase* newEntity() const override { return make_(); }
    void* makePublisher(std::unique_ptr<PublisherCore> core) const override {
        Publisher<T>* publisher = new TypedPublisher<T>(std::move(core));
        return static_cast<void*>(publisher);
    }
    void* makeSubscriber(std::unique_ptr<SubscriberCore> core) const override {
        Subscriber<T>* subscriber = new TypedSubscriber<T>(std::move(core));
        return static_cast<void*>(subscriber);
    }
    void* makeMrvSubscriber(std::unique_ptr<MrvSubscriberCore> core) const override {
        MrvSubscriber<T>* subscriber = new TypedMrvSubscriber<T>(std::move(core));
        return static_cast<void*>(subscriber);
    }

private:
    T* (*make_)();
};

// Makes T known to the middleware under (libraryName, typeName); make returns a new
// empty concrete sample.
template <class T>
void registerDataType(const char* libraryName, const char* typeName, T* (*make)()) {
    TypeRegistry::instance().add(libraryName, typeName, std::make_shared<const DataTypeSupport<T>>(make));
}

}  // namespace tav::qel::ps::detail
