#include "swf/swf_tag_header.h"

namespace tembrel {

bool ReadTagExtent(const std::uint8_t* data, std::size_t pos, std::size_t limit, SwfTagExtent& tag) {
    if (pos > limit || limit - pos < 2) return false;
    unsigned codeAndLength = data[pos] | (static_cast<unsigned>(data[pos + 1]) << 8);
    std::uint64_t length = codeAndLength & 63u;
    std::size_t bodyStart = pos + 2;
    if (length == 63) {  // long form: a 32-bit length follows
        if (limit - bodyStart < 4) return false;
        length = 0;
        for (int i = 3; i >= 0; --i) length = (length << 8) | data[bodyStart + i];
        bodyStart += 4;
    }
    if (length > limit - bodyStart) return false;
    tag.code = codeAndLength >> 6;
    tag.start = pos;
    tag.bodyStart = bodyStart;
    tag.bodyEnd = bodyStart + static_cast<std::size_t>(length);
    return true;
}

}  // namespace tembrel
