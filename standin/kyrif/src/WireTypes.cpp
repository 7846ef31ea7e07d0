// The wire forms of the structure types: conversions between the samples and the
// structures that idlc generates from idl/kyrif.idl.
#include "WireTypes.hpp"

#include <memory>
#include <string>

#include "ExactSample.hpp"
#include "MethodSample.hpp"
#include "ReceivedText.hpp"
#include "StartPropertiesSample.hpp"
#include "kyrif.h"
#include "kyrif/TypeTraits.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/TypeSupport.hpp"

namespace kyrif::detail {

namespace {

using tav::qel::QelException;
using tav::qel::ps::DataEntityBase;

// The wire carries texts as NUL-terminated strings: a NUL inside would cut the text.
char* wireText(const std::string& text, const char* type, const char* field) {
    if (text.find('\0') != std::string::npos) {
        throw QelException(std::string("cannot send ") + type + "." + field +
                           ": the text contains a NUL character, which the wire cannot carry");
    }
    // The engine only reads the text while the sample is sent.
    return const_cast<char*>(text.c_str());
}

// The concrete sample classes are final: a sample is one exactly, or not at all.
template <class Sample>
const Sample& sampleOf(const DataEntityBase& sample, const char* type) {
    const Sample* typed = exactSample<Sample>(sample);
    if (typed == nullptr) {
        throw QelException(std::string("cannot send a sample of type '") + sample.entityTypeName() + "' as " + type);
    }
    return *typed;
}

class MethodWire final : public tav::qel::WireType {
public:
    const void* descriptor() const override { return &kyrif_Method_desc; }
    std::size_t wireSize() const override { return sizeof(kyrif_Method); }
    void toWire(const DataEntityBase& sample, void* wire) const override {
        const auto& method = sampleOf<MethodSample>(sample, "kyrif::Method");
        auto* out = static_cast<kyrif_Method*>(wire);
        out->name = wireText(method.name(), "Method", "name");
        out->parameters = wireText(method.parameters(), "Method", "parameters");
    }
    std::unique_ptr<DataEntityBase> fromWire(const void* wire) const override {
        const auto* in = static_cast<const kyrif_Method*>(wire);
        auto sample = std::make_unique<MethodSample>();
        sample->setName(receivedText(in->name, "Method.name"));
        sample->setParameters(receivedText(in->parameters, "Method.parameters"));
        return sample;
    }
};

class StartPropertiesWire final : public tav::qel::WireType {
public:
    const void* descriptor() const override { return &kyrif_StartProperties_desc; }
    std::size_t wireSize() const override { return sizeof(kyrif_StartProperties); }
    void toWire(const DataEntityBase& sample, void* wire) const override {
        const auto& properties = sampleOf<StartPropertiesSample>(sample, "kyrif::StartProperties");
        const auto trigger = static_cast<std::int32_t>(properties.trigger());
        if (trigger < Signal || trigger > NotUsed) {
            throw QelException("cannot send StartProperties.trigger: " + std::to_string(trigger) +
                               " is not a StartTriggerTypes value (Signal 0, AbsTime 1, Custom 2, NotUsed 3)");
        }
        auto* out = static_cast<kyrif_StartProperties*>(wire);
        out->absTime = properties.absTime();
        out->trigger = static_cast<kyrif_StartTriggerTypes>(trigger);
        out->customTrigger = wireText(properties.customTrigger(), "StartProperties", "customTrigger");
        out->info = wireText(properties.info(), "StartProperties", "info");
    }
    std::unique_ptr<DataEntityBase> fromWire(const void* wire) const override {
        const auto* in = static_cast<const kyrif_StartProperties*>(wire);
        auto sample = std::make_unique<StartPropertiesSample>();
        sample->setAbsTime(in->absTime);
        sample->setTrigger(static_cast<StartTriggerTypes>(in->trigger));
        sample->setCustomTrigger(receivedText(in->customTrigger, "StartProperties.customTrigger"));
        sample->setInfo(receivedText(in->info, "StartProperties.info"));
        return sample;
    }
};

}  // namespace

void registerWireTypes() {
    using tav::qel::QelTypeTraits;
    auto& registry = tav::qel::TypeRegistry::instance();
    registry.addWireType(QelTypeTraits<Method>::libraryName, QelTypeTraits<Method>::name,
                         std::make_shared<const MethodWire>());
    registry.addWireType(QelTypeTraits<StartProperties>::libraryName, QelTypeTraits<StartProperties>::name,
                         std::make_shared<const StartPropertiesWire>());
}

}  // namespace kyrif::detail
