// Checking texts received from other processes.
#include "ReceivedText.hpp"

#include "tav/qel/QelException.hpp"

namespace kyrif::detail {

bool isUtf8(const std::string& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        // The length of the sequence and the range of its second byte (which rules
        // out overlong forms, surrogates and values above U+10FFFF).
        int length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (end - p < length || p[1] < low || p[1] > high) {
            return false;
        }
        for (int i = 2; i < length; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF) {
                return false;
            }
        }
        p += length;
    }
    return true;
}

std::string receivedText(const char* text, const char* what) {
    std::string received = text != nullptr ? std::string(text) : std::string();
    if (!isUtf8(received)) {
        throw tav::qel::QelException(std::string(what) + " received from another process is not valid UTF-8");
    }
    return received;
}

}  // namespace kyrif::detail
