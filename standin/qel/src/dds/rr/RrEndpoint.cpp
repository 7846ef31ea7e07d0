// Endpoints of request/reply between processes, and the topic names of a service.
#include "RrEndpoint.hpp"

#include "../Endpoint.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

namespace {

constexpr const char* kScheme = "dds.rr";

bool validName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

ServiceTopics topicsOf(std::uint32_t domain, const std::string& service) {
    ServiceTopics topics;
    topics.domain = domain;
    topics.service = service;
    topics.request = service + "/Request";
    topics.reply = service + "/Reply";
    topics.canonical = std::string(kScheme) + "://" + std::to_string(domain) + "/" + service;
    return topics;
}

}  // namespace

bool isRequestReplyEndpoint(const std::string& endpoint) {
    const std::string prefix = std::string(kScheme) + ":";
    if (endpoint.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = endpoint[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

std::string canonicalServerEndpoint(const std::string& endpoint, std::uint32_t& domain, std::string& path) {
    const Endpoint parsed = parseEndpoint(endpoint);
    domain = parsed.domain;
    path = parsed.topic;
    return std::string(kScheme) + "://" + std::to_string(domain) + "/" + path;
}

ServiceTopics clientTopics(const std::string& endpoint) {
    const Endpoint parsed = parseEndpoint(endpoint);
    const auto slash = parsed.topic.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == parsed.topic.size()) {
        throw QelException("invalid endpoint '" + endpoint + "': a client needs " + kScheme +
                           "://DOMAIN/PATH/NAME, the server's endpoint and the service's name");
    }
    if (!validName(parsed.topic.substr(slash + 1))) {
        throw QelException("invalid endpoint '" + endpoint +
                           "': a service name may hold only letters, digits and '_'");
    }
    return topicsOf(parsed.domain, parsed.topic);
}

ServiceTopics serviceTopics(std::uint32_t domain, const std::string& path, const std::string& name) {
    if (!validName(name)) {
        throw QelException("cannot register service '" + name + "' at " + kScheme + "://" + std::to_string(domain) +
                           "/" + path + ": a service name may hold only letters, digits and '_'");
    }
    return topicsOf(domain, path + "/" + name);
}

}  // namespace tav::qel::dds
