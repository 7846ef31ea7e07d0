#pragma once
// The concrete StartProperties sample of the interface library.
#include <memory>
#include <string>

#include "kyrif/StartProperties.hpp"

namespace kyrif::detail {

// StartProperties has no key fields: every sample belongs to the one instance of
// its topic, so keys always compare equal and a key copy is a new empty sample.
class StartPropertiesSample final : public StartProperties {
public:
    StartPropertiesSample() = default;
    StartPropertiesSample(const StartPropertiesSample&) = default;
    StartPropertiesSample& operator=(const StartPropertiesSample&) = default;
    StartPropertiesSample(StartPropertiesSample&&) = default;
    StartPropertiesSample& operator=(StartPropertiesSample&&) = default;
    ~StartPropertiesSample() override;

    std::unique_ptr<StartProperties> clone() const override;
    bool keyEquals(const StartProperties& /*other*/) const override { return true; }
    std::unique_ptr<StartProperties> cloneKey() const override;
    bool hasKey() const override { return false; }
    double getAbsTime() override { return absTime_; }
    void setAbsTime(double absTime) override { absTime_ = absTime; }
    std::string getCustomTrigger() override { return customTrigger_; }
    void setCustomTrigger(const std::string& customTrigger) override { customTrigger_ = customTrigger; }
    std::string getInfo() override { return info_; }
    void setInfo(const std::string& info) override { info_ = info; }
    StartTriggerTypes getTrigger() override { return trigger_; }
    void setTrigger(StartTriggerTypes trigger) override { trigger_ = trigger; }

    std::unique_ptr<tav::qel::ps::DataEntityBase> cloneEntity() const override;
    std::unique_ptr<tav::qel::ps::DataEntityBase> cloneKeyEntity() const override;
    bool keyEqualsEntity(const tav::qel::ps::DataEntityBase& other) const override;
    bool hasKeyEntity() const override { return false; }
    std::size_t keyHash() const override { return 0; }
    void assignEntity(const tav::qel::ps::DataEntityBase& other) override;
    const char* entityTypeName() const override;

    double absTime() const { return absTime_; }
    const std::string& customTrigger() const { return customTrigger_; }
    const std::string& info() const { return info_; }
    StartTriggerTypes trigger() const { return trigger_; }

private:
    double absTime_ = 0.0;
    std::string customTrigger_;
    std::string info_;
    StartTriggerTypes trigger_ = Signal;
};

}  // namespace kyrif::detail
