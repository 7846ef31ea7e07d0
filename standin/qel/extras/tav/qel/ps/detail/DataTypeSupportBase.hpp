#pragma once
// What libqel needs of a registered structure type, without knowing the type.
#include <memory>

#include "tav/qel/Export.hpp"
#include "tav/qel/TypeSupport.hpp"
#include "tav/qel/ps/detail/EntityCores.hpp"

namespace tav::qel::ps::detail {

// Makes samples of the type and wraps the engine's cores into the typed entities,
// returned as ps::Publisher<T>*, ps::Subscriber<T>* and ps::MrvSubscriber<T>*
// converted to void* (the factory's templates convert them back).
class QEL_API DataTypeSupportBase : public TypeSupport {
public:
    ~DataTypeSupportBase() override;
    TypeRole role() const override { return TypeRole::Data; }
    virtual DataEntityBase* newEntity() const = 0;
    virtual void* makePublisher(std::unique_ptr<PublisherCore> core) const = 0;
    virtual void* makeSubscriber(std::unique_ptr<SubscriberCore> core) const = 0;
    virtual void* makeMrvSubscriber(std::unique_ptr<MrvSubscriberCore> core) const = 0;
};

}  // namespace tav::qel::ps::detail
