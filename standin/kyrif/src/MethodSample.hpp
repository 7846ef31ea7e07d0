#pragma once
// The concrete Method sample of the interface library.
#include <memory>
#include <string>

#include "kyrif/Method.hpp"

namespace kyrif::detail {

class MethodSample final : public Method {
public:
    MethodSample() = default;
    MethodSample(const MethodSample&) = default;
    MethodSample& operator=(const MethodSample&) = default;
    MethodSample(MethodSample&&) = default;
    MethodSample& operator=(MethodSample&&) = default;
    ~MethodSample() override;

    // Method: name is the key field.
    std::unique_ptr<Method> clone() const override;
    bool keyEquals(const Method& other) const override;
    std::unique_ptr<Method> cloneKey() const override;
    bool hasKey() const override { return true; }
    std::string getName() override { return name_; }
    void setName(const std::string& name) override { name_ = name; }
    std::string getParameters() override { return parameters_; }
    void setParameters(const std::string& parameters) override { parameters_ = parameters; }

    // DataEntityBase
    std::unique_ptr<tav::qel::ps::DataEntityBase> cloneEntity() const override;
    std::unique_ptr<tav::qel::ps::DataEntityBase> cloneKeyEntity() const override;
    bool keyEqualsEntity(const tav::qel::ps::DataEntityBase& other) const override;
    bool hasKeyEntity() const override { return true; }
    std::size_t keyHash() const override;
    void assignEntity(const tav::qel::ps::DataEntityBase& other) override;
    const char* entityTypeName() const override;

    const std::string& name() const { return name_; }
    const std::string& parameters() const { return parameters_; }

private:
    std::string name_;
    std::string parameters_;
};

}  // namespace kyrif::detail
