// network::uri on liburiparser: the whole text must be one absolute URI.
#include <uriparser/Uri.h>

#include "network/uri.hpp"

namespace network {

namespace {

std::string rangeText(const UriTextRangeA& range) {
    if (range.first == nullptr || range.afterLast == nullptr) {
        return {};
    }
    return std::string(range.first, range.afterLast);
}

// Frees the parser's members on every way out of the constructor.
struct ParsedUri {
    UriUriA uri{};
    ~ParsedUri() { uriFreeUriMembersA(&uri); }
};

}  // namespace

uri_syntax_error::uri_syntax_error(const std::string& what) : std::invalid_argument(what) {}
uri_syntax_error::~uri_syntax_error() = default;

uri::uri(const std::string& text) : text_(text) {
    ParsedUri parsed;
    const char* errorPos = nullptr;
    const char* first = text.data();
    const char* afterLast = text.data() + text.size();
    if (text.empty() ||
        uriParseSingleUriExA(&parsed.uri, first, afterLast, &errorPos) != URI_SUCCESS) {
        std::size_t offset = errorPos != nullptr ? static_cast<std::size_t>(errorPos - first) : 0;
        throw uri_syntax_error("invalid URI '" + text + "': syntax error at character " +
                               std::to_string(offset));
    }
    scheme_ = rangeText(parsed.uri.scheme);
    if (scheme_.empty()) {
        throw uri_syntax_error("invalid URI '" + text + "': not an absolute URI (it has no scheme)");
    }
    std::string path;
    for (const UriPathSegmentA* segment = parsed.uri.pathHead; segment != nullptr; segment = segment->next) {
        if (segment != parsed.uri.pathHead || parsed.uri.absolutePath || parsed.uri.hostText.first != nullptr) {
            path += '/';
        }
        path += rangeText(segment->text);
    }
    path_ = std::move(path);
}

}  // namespace network
