#include "engine/page_text_escaping.h"

namespace tembrel {

std::string EscapeForUrl(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        const bool keep = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                          (byte >= '0' && byte <= '9') || byte == '.' || byte >= 0x80;
        if (keep) {
            out += ch;
        } else {
            // Always two digits: a control byte gives "%09", never "% 9".
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string EscapeSoundSwfForQuery(const std::string& fileName) {
    std::string address;
    address.reserve(fileName.size());
    for (const char ch : fileName) {
        if (ch == '%') address += "%25";
        else if (ch == '#') address += "%23";
        else if (ch == '?') address += "%3F";
        else address += ch;
    }
    return EscapeForUrl(address);
}

std::string EscapeForHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        switch (ch) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += ch;
        }
    }
    return out;
}

bool IsWellFormedUtf8(const std::string& text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char lead = byte(at);
        std::size_t length = 1;
        unsigned char low = 0x80, high = 0xBF;  // range of the second byte
        if (lead < 0x80) length = 1;
        else if (lead >= 0xC2 && lead <= 0xDF) length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;   // overlong
            if (lead == 0xED) high = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;   // overlong
            if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
        } else {
            return false;
        }
        if (at + length > text.size()) return false;
        for (std::size_t i = 1; i < length; ++i) {
            const unsigned char c = byte(at + i);
            if (i == 1 ? c < low || c > high : c < 0x80 || c > 0xBF) return false;
        }
        at += length;
    }
    return true;
}

}  // namespace tembrel
