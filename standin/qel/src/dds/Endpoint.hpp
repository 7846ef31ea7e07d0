#pragma once
// Endpoints of the transports between processes: SCHEME://DOMAIN/PATH.
#include <cstdint>
#include <string>

namespace tav::qel::dds {

struct Endpoint {
    // The engine's domain id, 0 to kMaxDomain; an empty DOMAIN means 0.
    std::uint32_t domain = 0;
    // PATH without its leading slash.
    std::string topic;
};

constexpr std::uint32_t kMaxDomain = 232;

// Parses an endpoint; a QelException names what is wrong. The topic name may hold
// only letters, digits, '_' and '/', and may not begin with a digit: other
// characters (such as '-', '.', '~', '%' or spaces) are refused, because the engine
// cannot carry them in a topic name and any mapping would make two paths collide.
Endpoint parseEndpoint(const std::string& endpoint);

}  // namespace tav::qel::dds
