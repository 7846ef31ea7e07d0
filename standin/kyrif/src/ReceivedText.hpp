#pragma once
// Texts received from other processes. Any program with the IDL may write any bytes
// into a string; the samples and replies handed on hold only well-formed UTF-8, so
// that no read, handler or conversion to Python text fails on another process's
// bytes.
#include <string>

namespace kyrif::detail {

// Whether the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing
// above U+10FFFF (what Python's strict decoder accepts).
bool isUtf8(const std::string& text);

// The text of a received string (none: empty); a QelException naming what it is
// unless it is well-formed UTF-8.
std::string receivedText(const char* text, const char* what);

}  // namespace kyrif::detail
