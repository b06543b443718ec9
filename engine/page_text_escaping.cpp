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

}  // namespace tembrel
