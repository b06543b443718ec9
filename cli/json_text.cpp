#include "cli/json_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "engine/page_text_escaping.h"

namespace tembrel::cli {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 sequence at text[at] (lead byte 0x80 or
// more); 0 when ill-formed, with *skip the bytes one U+FFFD stands for: the
// lead byte and the continuation bytes that could still have belonged to it.
std::size_t SequenceLength(const std::string& text, std::size_t at, std::size_t* skip) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong below U+0800
        if (lead == 0xED) high = 0x9F;  // UTF-16 surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong below U+10000
        if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        *skip = 1;  // a continuation byte, C0, C1 or F5..FF
        return 0;
    }
    std::size_t i = 1;
    for (; i < length && at + i < text.size(); ++i) {
        const unsigned char c = byte(at + i);
        const bool fits = i == 1 ? c >= low && c <= high : c >= 0x80 && c <= 0xBF;
        if (!fits) break;
    }
    if (i == length) return length;
    *skip = i;
    return 0;
}

std::string Base64(const std::string& bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - at);
        std::uint32_t group = 0;
        for (std::size_t i = 0; i < 3; ++i)
            group = group << 8 | (i < n ? static_cast<unsigned char>(bytes[at + i]) : 0u);
        for (std::size_t i = 0; i < 4; ++i) out += i <= n ? kDigits[(group >> (18 - 6 * i)) & 0x3F] : '=';
    }
    return out;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            std::size_t skip = 0;
            if (const std::size_t length = SequenceLength(text, at, &skip)) {
                out.append(text, at, length);
                at += length;
            } else {
                out += kReplacement;
                at += skip;
            }
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++at;
    }
    return out + "\"";
}

std::string JsonLine(const std::string& source, const std::string& status, const std::string& swf,
                     const std::string& page, const std::string& player, const std::string& reason) {
    // A name that is not UTF-8 is shown with U+FFFD and carried exactly
    // beside it, so that the file can still be found by its line.
    const std::string exact = IsWellFormedUtf8(source) ? "" : ",\"sourceBytes\":\"" + Base64(source) + "\"";
    return "{\"source\":" + JsonString(source) + exact + ",\"status\":" + JsonString(status) +
           ",\"swf\":" + JsonString(swf) +
           ",\"page\":" + JsonString(page) + ",\"player\":" + JsonString(player) +
           ",\"reason\":" + JsonString(reason) + "}\n";
}

std::string OutcomeJsonLine(const std::string& source, const FileOutcome& outcome) {
    std::string line = JsonLine(source, outcome.status, outcome.swfPath, outcome.pagePath, outcome.playerPath,
                                outcome.reason);
    line.resize(line.size() - 2);  // the closing brace and the newline
    line += ",\"samples\":" + std::to_string(outcome.sampleCount) +
            ",\"seconds\":" + std::to_string(outcome.durationSeconds) +
            ",\"bytes\":" + std::to_string(outcome.movieBytes) + "}\n";
    return line;
}

}  // namespace tembrel::cli
