// Parsing of SCHEME://DOMAIN/PATH endpoints with liburiparser.
#include "Endpoint.hpp"

#include <uriparser/Uri.h>

#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

namespace {

std::string rangeText(const UriTextRangeA& range) {
    if (range.first == nullptr || range.afterLast == nullptr) {
        return {};
    }
    return std::string(range.first, range.afterLast);
}

bool present(const UriTextRangeA& range) {
    return range.first != nullptr;
}

struct ParsedUri {
    UriUriA uri{};
    ~ParsedUri() { uriFreeUriMembersA(&uri); }
};

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

Endpoint parseEndpoint(const std::string& endpoint) {
    auto refuse = [&](const std::string& why) -> QelException {
        return QelException("invalid endpoint '" + endpoint + "': " + why);
    };
    ParsedUri parsed;
    const char* errorPos = nullptr;
    if (endpoint.empty() ||
        uriParseSingleUriExA(&parsed.uri, endpoint.data(), endpoint.data() + endpoint.size(), &errorPos) !=
            URI_SUCCESS) {
        throw refuse("not a URI");
    }
    const UriUriA& uri = parsed.uri;
    if (!present(uri.hostText) && uri.hostData.ip4 == nullptr && uri.hostData.ip6 == nullptr) {
        throw refuse("expected SCHEME://DOMAIN/PATH");
    }
    if (present(uri.userInfo) || present(uri.portText) || present(uri.query) || present(uri.fragment)) {
        throw refuse("expected SCHEME://DOMAIN/PATH without user, port, query or fragment");
    }
    Endpoint result;
    const std::string domain = rangeText(uri.hostText);
    if (!domain.empty()) {
        if (domain.size() > 3 || domain.find_first_not_of("0123456789") != std::string::npos ||
            std::stoul(domain) > kMaxDomain) {
            throw refuse("the domain must be a number from 0 to " + std::to_string(kMaxDomain) + ", not '" + domain +
                         "'");
        }
        result.domain = static_cast<std::uint32_t>(std::stoul(domain));
    }
    std::string path;
    for (const UriPathSegmentA* segment = uri.pathHead; segment != nullptr; segment = segment->next) {
        if (segment != uri.pathHead) {
            path += '/';
        }
        path += rangeText(segment->text);
    }
    if (path.empty()) {
        throw refuse("no topic: the path is empty");
    }
    if (isDigit(path.front())) {
        throw refuse("the topic '" + path + "' may not begin with a digit");
    }
    for (char c : path) {
        if (!isLetter(c) && !isDigit(c) && c != '_' && c != '/') {
            throw refuse(std::string("the topic '") + path + "' holds '" + c +
                         "': a topic may hold only letters, digits, '_' and '/'");
        }
    }
    result.topic = std::move(path);
    return result;
}

}  // namespace tav::qel::dds
