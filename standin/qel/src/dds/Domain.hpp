#pragma once
// This process's part in one domain of the engine: one participant per domain id,
// made with the settings of the first entity that used the domain, and the
// engine's topics made in it. Shared by every transport between processes.
#include <dds/dds.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
    // domain can be joined afterwards. The engine may never end (its receiving thread
    // waits on a network interface that vanished): after `bound`, or when the
    // interruption hook throws (Ctrl-C), its threads are left behind, a warning is
    // logged, and false is returned.
    static bool closeAll(std::chrono::milliseconds bound);

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

    // What this participant has discovered of the others: the readers of topic that
    // other participants announced and that are still there, and whether discovery
    // has been quiet for a while (no participant or reader came or went), which is
    // how a new participant tells that it has heard from those already running.
    struct Discovered {
        std::size_t readers = 0;
        bool settled = false;
    };
    Discovered discovered(const std::string& topic);

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
    const std::chrono::steady_clock::time_point joined_;
    std::mutex mutex_;
    std::map<std::string, TopicEntry> topics_;
    // Readers of the engine's announcements of participants and readers, made on
    // first use; when an announcement last arrived.
    dds_entity_t participantsSeen_ = 0;
    dds_entity_t readersSeen_ = 0;
    dds_guid_t self_{};
    // Room for one read of those announcements, made on first use.
    std::vector<void*> seenSamples_;
    std::vector<dds_sample_info_t> seenInfos_;
    std::chrono::steady_clock::time_point lastChange_ = joined_;
};

// The text of an engine return code, for error messages.
std::string engineError(dds_return_t code);

}  // namespace tav::qel::dds
