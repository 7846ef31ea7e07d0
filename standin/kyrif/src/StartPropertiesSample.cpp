#include "StartPropertiesSample.hpp"

#include "ExactSample.hpp"
#include "kyrif/TypeTraits.hpp"
#include "tav/qel/QelException.hpp"

namespace kyrif::detail {

StartPropertiesSample::~StartPropertiesSample() = default;

std::unique_ptr<StartProperties> StartPropertiesSample::clone() const {
    return std::make_unique<StartPropertiesSample>(*this);
}

std::unique_ptr<StartProperties> StartPropertiesSample::cloneKey() const {
    return std::make_unique<StartPropertiesSample>();
}

std::unique_ptr<tav::qel::ps::DataEntityBase> StartPropertiesSample::cloneEntity() const {
    return std::make_unique<StartPropertiesSample>(*this);
}

std::unique_ptr<tav::qel::ps::DataEntityBase> StartPropertiesSample::cloneKeyEntity() const {
    return std::make_unique<StartPropertiesSample>();
}

bool StartPropertiesSample::keyEqualsEntity(const tav::qel::ps::DataEntityBase& other) const {
    return exactSample<StartPropertiesSample>(other) != nullptr ||
           dynamic_cast<const StartProperties*>(&other) != nullptr;
}

void StartPropertiesSample::assignEntity(const tav::qel::ps::DataEntityBase& other) {
    if (const auto* sample = dynamic_cast<const StartPropertiesSample*>(&other)) {
        if (sample != this) {
            *this = *sample;
        }
        return;
    }
    const auto* properties = dynamic_cast<const StartProperties*>(&other);
    if (properties == nullptr) {
        throw tav::qel::QelException(std::string("cannot assign a ") + other.entityTypeName() + " to a " +
                                     entityTypeName());
    }
    // Samples of another implementation are read through the interface, whose
    // getters are not const although they change nothing. Everything is read before
    // anything is written, so that a failing getter leaves this sample unchanged.
    auto& source = const_cast<StartProperties&>(*properties);
    StartPropertiesSample copy;
    copy.absTime_ = source.getAbsTime();
    copy.customTrigger_ = source.getCustomTrigger();
    copy.info_ = source.getInfo();
    copy.trigger_ = source.getTrigger();
    *this = std::move(copy);
}

const char* StartPropertiesSample::entityTypeName() const {
    return tav::qel::QelTypeTraits<StartProperties>::name;
}

}  // namespace kyrif::detail
