#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "kyrif/Export.hpp"
#include "tav/qel/QelException.hpp"

namespace kyrif {

// The interface's exception: a description and a code. Copies of one exception
// share its attribute record.
class KYRIF_API ExceptionErr : public tav::qel::QelException {
public:
    struct Attributes {
        std::string desc;
        std::int32_t code = 0;
    };

    ExceptionErr() : ExceptionErr(std::make_shared<Attributes>()) {}
    explicit ExceptionErr(std::shared_ptr<Attributes> attributes)
        : tav::qel::QelException(""), attributes_(attributes ? std::move(attributes) : std::make_shared<Attributes>()) {}
    ExceptionErr(const std::string& desc, std::int32_t code)
        : ExceptionErr(std::make_shared<Attributes>(Attributes{desc, code})) {}
    ~ExceptionErr() override;

    std::string getDesc() const { return attributes_->desc; }
    std::int32_t getCode() const { return attributes_->code; }
    void setDesc(const std::string& desc) { attributes_->desc = desc; }
    void setCode(std::int32_t code) { attributes_->code = code; }
    const std::shared_ptr<Attributes>& getAttributes() const { return attributes_; }

    const char* what() const noexcept override { return "::kyrif::ExceptionErr"; }

private:
    std::shared_ptr<Attributes> attributes_;
};

}  // namespace kyrif
