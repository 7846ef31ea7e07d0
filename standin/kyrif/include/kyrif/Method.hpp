#pragma once
#include <memory>
#include <string>

#include "kyrif/Export.hpp"
#include "tav/qel/ps/DataEntity.hpp"

namespace kyrif {

// Topic structure Method: fields name (the key) and parameters.
class KYRIF_API Method : public tav::qel::ps::DataEntity<Method> {
public:
    ~Method() override;
    virtual std::unique_ptr<Method> clone() const = 0;
    virtual bool keyEquals(const Method& other) const = 0;
    virtual std::unique_ptr<Method> cloneKey() const = 0;
    virtual bool hasKey() const = 0;
    virtual std::string getName() = 0;
    virtual void setName(const std::string& name) = 0;
    virtual std::string getParameters() = 0;
    virtual void setParameters(const std::string& parameters) = 0;
};

}  // namespace kyrif
