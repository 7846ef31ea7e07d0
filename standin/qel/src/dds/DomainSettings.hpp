#pragma once
// How this process takes part in one domain of the engine, from entity properties.
//
// Properties, read when this process first uses a domain (a later entity of the same
// domain asking for different ones is a QelException):
//   "dds.interfaces" = "lo"         network interfaces, by name or address, separated
//                                   by commas; the default keeps traffic on this host
//   "dds.peers"      = "127.0.0.1"  addresses discovery asks for peers, separated by
//                                   commas (discovery is unicast only, never multicast)
//   "dds.leaseMs"    = "3000"       how long a process may stay silent before the
//                                   others take it for gone (its instances then go)
// When the environment variable CYCLONEDDS_URI is set, the engine's configuration
// comes from it alone and these properties are not used.
#include <cstdint>
#include <string>

#include "tav/qel/Properties.hpp"

namespace tav::qel::dds {

// The largest sample (serialized) the engine sends or accepts: a larger one is
// refused at publish, and dropped with a logged warning on receipt, so that no
// other process can make a reader allocate without bound.
inline constexpr std::size_t kMaxSampleBytes = 64 * 1024 * 1024;

struct DomainSettings {
    std::string interfaces;
    std::string peers;
    std::size_t leaseMs = 3000;

    static DomainSettings from(const Properties& properties);
    bool operator==(const DomainSettings& other) const {
        return interfaces == other.interfaces && peers == other.peers && leaseMs == other.leaseMs;
    }
    std::string describe() const;
    // The engine's configuration for this domain: the interfaces, unicast discovery
    // of the peers with room for many processes on each host, no multicast.
    std::string configuration(std::uint32_t domain) const;
};

}  // namespace tav::qel::dds
