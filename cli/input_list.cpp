#include "cli/input_list.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace tembrel::cli {
namespace {

// More parts than this is a typo, not a cluster.
constexpr int kMaxShards = 1000000;

bool ReadAllFrom(std::FILE* file, std::string& text) {
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    return !std::ferror(file);
}

}  // namespace

bool ReadInputList(const std::string& path, bool nul, std::vector<std::string>& names, std::string* error) {
    const std::string shown = path == "-" ? "standard input" : path;
    std::string text;
    if (path == "-") {
        if (!ReadAllFrom(stdin, text)) {
            *error = "cannot read the list from standard input: " + std::string(std::strerror(errno));
            return false;
        }
    } else {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            *error = "cannot read the list " + path + ": " + std::strerror(errno);
            return false;
        }
        const bool read = ReadAllFrom(file, text);
        const int readError = errno;
        std::fclose(file);
        if (!read) {
            *error = "cannot read the list " + path + ": " + std::strerror(readError);
            return false;
        }
    }
    const char separator = nul ? '\0' : '\n';
    if (nul && !text.empty() && text.find('\0') == std::string::npos) {
        *error = "the list " + shown + " holds no NUL character; without --null it is read one name a line";
        return false;
    }
    std::size_t start = 0, number = 1;
    while (start < text.size()) {
        std::size_t stop = text.find(separator, start);
        if (stop == std::string::npos) stop = text.size();
        if (stop == start) {
            // Would stand for the current folder, searched as a whole.
            *error = "empty file name in the list " + shown + " (name " + std::to_string(number) + ")";
            return false;
        }
        if (!nul && text[stop - 1] == '\r') {
            // A list saved with CRLF line ends: taking the CR as part of
            // every name would fail each file as missing.
            *error = "line " + std::to_string(number) + " of the list " + shown +
                     " ends in a carriage return (CRLF line ends); write the list with LF line ends";
            return false;
        }
        names.push_back(text.substr(start, stop - start));
        start = stop + 1;
        ++number;
    }
    return true;
}

ShardRange ShardOf(std::size_t total, int index, int count) {
    // Products of size_t and a count up to a million fit easily for any
    // list that fits in memory.
    const auto boundary = [&](int k) { return total * static_cast<std::size_t>(k) / static_cast<std::size_t>(count); };
    return {boundary(index - 1), boundary(index)};
}

bool ParseShard(const std::string& text, int& index, int& count) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    const char* begin = text.data();
    const char* middle = begin + slash;
    const char* end = begin + text.size();
    const auto first = std::from_chars(begin, middle, index);
    const auto second = std::from_chars(middle + 1, end, count);
    return first.ec == std::errc() && first.ptr == middle && second.ec == std::errc() && second.ptr == end &&
           count >= 1 && count <= kMaxShards && index >= 1 && index <= count;
}

}  // namespace tembrel::cli
