// Entity properties to the engine's configuration of a domain.
#include "DomainSettings.hpp"

#include <algorithm>
#include <vector>

#include "../embedded/EmbeddedQel.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

namespace {

std::string property(const Properties& properties, const std::string& key, const std::string& fallback) {
    auto it = properties.find(key);
    return it != properties.end() ? it->second : fallback;
}

// The items of a comma-separated list, trimmed; each may hold only characters of
// interface names and addresses, so that none can alter the configuration's XML.
std::vector<std::string> listItems(const std::string& key, const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string item = text.substr(start, end - start);
        item.erase(0, item.find_first_not_of(" \t"));
        item.erase(item.find_last_not_of(" \t") + 1);
        if (!item.empty()) {
            for (char c : item) {
                const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                     c == '.' || c == ':' || c == '-' || c == '_' || c == '[' || c == ']';
                if (!allowed) {
                    throw QelException("property '" + key + "' holds '" + item +
                                       "', which is not an interface name or address");
                }
            }
            items.push_back(std::move(item));
        }
        start = end + 1;
    }
    if (items.empty()) {
        throw QelException("property '" + key + "' names nothing");
    }
    return items;
}

bool looksLikeAddress(const std::string& item) {
    return item.find_first_not_of("0123456789.") == std::string::npos || item.find(':') != std::string::npos;
}

// The highest participant index whose unicast ports stay below 65536 in this domain
// (ports 7400 + 250 * domain + 10 + 2 * index and the one after), at most 99.
unsigned maxParticipantIndex(std::uint32_t domain) {
    const unsigned base = 7400 + 250 * domain;
    const unsigned fit = (65535 - 11 - base) / 2;
    return std::min(fit, 99u);
}

}  // namespace

DomainSettings DomainSettings::from(const Properties& properties) {
    DomainSettings settings;
    settings.interfaces = property(properties, "dds.interfaces", "lo");
    settings.peers = property(properties, "dds.peers", "127.0.0.1");
    settings.leaseMs = embedded::positiveProperty(properties, "dds.leaseMs", 3000);
    listItems("dds.interfaces", settings.interfaces);
    listItems("dds.peers", settings.peers);
    return settings;
}

std::string DomainSettings::describe() const {
    return "dds.interfaces='" + interfaces + "', dds.peers='" + peers + "', dds.leaseMs='" +
           std::to_string(leaseMs) + "'";
}

std::string DomainSettings::configuration(std::uint32_t domain) const {
    std::string xml = "<CycloneDDS><Domain id=\"any\"><General><Interfaces>";
    for (const auto& item : listItems("dds.interfaces", interfaces)) {
        xml += looksLikeAddress(item) ? "<NetworkInterface address=\"" + item + "\"/>"
                                      : "<NetworkInterface name=\"" + item + "\"/>";
    }
    xml += "</Interfaces><AllowMulticast>false</AllowMulticast></General><Discovery>"
           "<ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>" +
           std::to_string(maxParticipantIndex(domain)) + "</MaxAutoParticipantIndex><Peers>";
    for (const auto& item : listItems("dds.peers", peers)) {
        xml += "<Peer address=\"" + item + "\"/>";
    }
    // Write batching: a writer's samples share a packet until the writer flushes it
    // (Writer.hpp says when). Samples larger than kMaxSampleBytes are refused.
    xml += "</Peers><LeaseDuration>" + std::to_string(leaseMs) +
           "ms</LeaseDuration></Discovery><Internal><WriteBatch>true</WriteBatch><MaxSampleSize>" +
           std::to_string(kMaxSampleBytes) + "B</MaxSampleSize></Internal></Domain></CycloneDDS>";
    return xml;
}

}  // namespace tav::qel::dds
