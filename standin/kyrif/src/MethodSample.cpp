#include "MethodSample.hpp"

#include <functional>
#include <typeinfo>

#include "ExactSample.hpp"
#include "kyrif/TypeTraits.hpp"
#include "tav/qel/QelException.hpp"

namespace kyrif::detail {

namespace {

// The interface's getters are not const, although they change nothing: samples of
// another implementation are read through them.
std::string nameOf(const Method& method) { return const_cast<Method&>(method).getName(); }

}  // namespace

MethodSample::~MethodSample() = default;

std::unique_ptr<Method> MethodSample::clone() const { return std::make_unique<MethodSample>(*this); }

std::unique_ptr<Method> MethodSample::cloneKey() const {
    auto key = std::make_unique<MethodSample>();
    key->name_ = name_;
    return key;
}

bool MethodSample::keyEquals(const Method& other) const {
    if (typeid(other) == typeid(MethodSample)) {
        return name_ == static_cast<const MethodSample&>(other).name_;
    }
    return name_ == nameOf(other);
}

std::unique_ptr<tav::qel::ps::DataEntityBase> MethodSample::cloneEntity() const {
    return std::make_unique<MethodSample>(*this);
}

std::unique_ptr<tav::qel::ps::DataEntityBase> MethodSample::cloneKeyEntity() const {
    auto key = std::make_unique<MethodSample>();
    key->name_ = name_;
    return key;
}

bool MethodSample::keyEqualsEntity(const tav::qel::ps::DataEntityBase& other) const {
    if (const auto* sample = exactSample<MethodSample>(other)) {  // asked on every publish
        return name_ == sample->name_;
    }
    const auto* method = dynamic_cast<const Method*>(&other);
    return method != nullptr && keyEquals(*method);
}

std::size_t MethodSample::keyHash() const { return std::hash<std::string>{}(name_); }

void MethodSample::assignEntity(const tav::qel::ps::DataEntityBase& other) {
    if (const auto* sample = dynamic_cast<const MethodSample*>(&other)) {
        if (sample != this) {
            *this = *sample;
        }
        return;
    }
    const auto* method = dynamic_cast<const Method*>(&other);
    if (method == nullptr) {
        throw tav::qel::QelException(std::string("cannot assign a ") + other.entityTypeName() + " to a " +
                                     entityTypeName());
    }
    auto& source = const_cast<Method&>(*method);
    // Read both fields before writing, so that a failing getter leaves this unchanged.
    std::string name = source.getName();
    std::string parameters = source.getParameters();
    name_ = std::move(name);
    parameters_ = std::move(parameters);
}

const char* MethodSample::entityTypeName() const { return tav::qel::QelTypeTraits<Method>::name; }

}  // namespace kyrif::detail
