#pragma once
#include <memory>
#include <string>

#include "kyrif/Export.hpp"
#include "kyrif/StartTriggerTypes.hpp"
#include "tav/qel/ps/DataEntity.hpp"

namespace kyrif {

// Topic structure StartProperties: absTime (seconds since the epoch), customTrigger,
// info and trigger. It has no key fields: a topic carries one instance of it.
class KYRIF_API StartProperties : public tav::qel::ps::DataEntity<StartProperties> {
public:
    ~StartProperties() override;
    virtual std::unique_ptr<StartProperties> clone() const = 0;
    virtual bool keyEquals(const StartProperties& other) const = 0;
    virtual std::unique_ptr<StartProperties> cloneKey() const = 0;
    virtual bool hasKey() const = 0;
    virtual double getAbsTime() = 0;
    virtual void setAbsTime(double absTime) = 0;
    virtual std::string getCustomTrigger() = 0;
    virtual void setCustomTrigger(const std::string& customTrigger) = 0;
    virtual std::string getInfo() = 0;
    virtual void setInfo(const std::string& info) = 0;
    virtual StartTriggerTypes getTrigger() = 0;
    virtual void setTrigger(StartTriggerTypes trigger) = 0;
};

}  // namespace kyrif
