#pragma once
// Endpoints and topic names of request/reply between processes. A server at
// dds.rr://DOMAIN/PATH serves its service NAME, which clients reach at
// dds.rr://DOMAIN/PATH/NAME, on two topics of the domain:
//   PATH/NAME/Request   the requests of every client (type of the interface's requests)
//   PATH/NAME/Reply     the replies to every client (type of the interface's replies)
#include <cstdint>
#include <string>

namespace tav::qel::dds {

struct ServiceTopics {
    std::uint32_t domain = 0;
    std::string service;  // PATH/NAME
    std::string request;  // PATH/NAME/Request
    std::string reply;    // PATH/NAME/Reply
    std::string canonical;  // dds.rr://DOMAIN/PATH/NAME
};

// True when the endpoint's scheme is dds.rr (in any case).
bool isRequestReplyEndpoint(const std::string& endpoint);

// The domain and PATH of a server endpoint, as "dds.rr://DOMAIN/PATH"; a
// QelException names what is wrong.
std::string canonicalServerEndpoint(const std::string& endpoint, std::uint32_t& domain, std::string& path);

// The topics of the service a client endpoint names (its last path segment).
ServiceTopics clientTopics(const std::string& endpoint);

// The topics of service `name` of the server at domain and path. A name may hold
// only letters, digits and '_': a QelException otherwise.
ServiceTopics serviceTopics(std::uint32_t domain, const std::string& path, const std::string& name);

}  // namespace tav::qel::dds
