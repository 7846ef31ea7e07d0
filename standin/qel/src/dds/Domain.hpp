#pragma once
// This process's part in one domain of the engine: one participant per domain id,
// made with the settings of the first entity that used the domain, and the
// engine's topics made in it. Shared by every transport between processes.
#include <dds/dds.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "DomainSettings.hpp"
#include "tav/qel/Properties.hpp"
#include "tav/qel/WireType.hpp"

namespace tav::qel::dds {

class Domain {
public:
    // The domain of this id, joined on first use with settings from properties; a
    // QelException when the properties ask for settings other than those the domain
    // was joined with.
    static std::shared_ptr<Domain> open(std::uint32_t id, const Properties& properties);
    // Ends this process's part in every domain at shutdown: the engine deletes its
    // remaining entities, tells the other participants that this one has gone, and
    // stops its threads, so that none of them outlives the process's exit work. No
    // domain can be joined afterwards.
    static void closeAll();

    Domain(std::uint32_t id, dds_entity_t participant, DomainSettings settings, bool fromEnvironment);
    ~Domain();
    Domain(const Domain&) = delete;
    Domain& operator=(const Domain&) = delete;

    std::uint32_t id() const { return id_; }
    dds_entity_t participant() const { return participant_; }

    // The engine's topic of this name, made on first use; a QelException when this
    // process already uses the name with another type.
    dds_entity_t topic(const std::string& name, const WireType& wire, const std::string& typeName);
    // The same for a type given by the engine's description of it.
    dds_entity_t topic(const std::string& name, const void* descriptor, const std::string& typeName);

private:
    struct TopicEntry {
        dds_entity_t topic;
        const void* descriptor;
        std::string typeName;
    };

    const std::uint32_t id_;
    const dds_entity_t participant_;
    const DomainSettings settings_;
    const bool fromEnvironment_;
    std::mutex mutex_;
    std::map<std::string, TopicEntry> topics_;
};

// The text of an engine return code, for error messages.
std::string engineError(dds_return_t code);

}  // namespace tav::qel::dds
