#pragma once
// Locating one tag in a buffer: its code and the extent of its body, taken
// only when header and body lie wholly before `limit`.
#include <cstddef>
#include <cstdint>

namespace tembrel {

struct SwfTagExtent {
    unsigned code = 0;
    std::size_t start = 0;      // first header byte
    std::size_t bodyStart = 0;  // after the short or long header
    std::size_t bodyEnd = 0;    // one past the last body byte
};

// False when the header or the body would reach past `limit`.
bool ReadTagExtent(const std::uint8_t* data, std::size_t pos, std::size_t limit, SwfTagExtent& tag);

}  // namespace tembrel
