#pragma once
#include <stdexcept>
#include <string>

#include "tav/qel/Export.hpp"

namespace network {

// Invalid URI text.
class QEL_API uri_syntax_error : public std::invalid_argument {
public:
    explicit uri_syntax_error(const std::string& what);
    ~uri_syntax_error() override;
};

// An absolute URI (RFC 3986), checked when it is built.
class QEL_API uri {
public:
    // Throws uri_syntax_error when text is not an absolute URI.
    explicit uri(const std::string& text);
    const std::string& string() const { return text_; }
    std::string scheme() const { return scheme_; }
    std::string path() const { return path_; }

private:
    std::string text_;
    std::string scheme_;
    std::string path_;
};

}  // namespace network
