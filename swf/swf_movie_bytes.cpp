#include "swf/swf_movie_bytes.h"

#include <limits>

namespace tembrel {

bool PutMovieHeader(ByteBuffer& out, std::uint8_t version, std::int32_t widthTwips, std::int32_t heightTwips,
                    std::uint16_t frameRate88, std::uint16_t frameCount) {
    ByteBuffer header{'F', 'W', 'S', version};
    Put32(header, 0);
    if (!PutRect(header, 0, widthTwips, 0, heightTwips)) return false;
    Put16(header, frameRate88);
    Put16(header, frameCount);
    out.insert(out.end(), header.begin(), header.end());
    return true;
}

void PutTag(ByteBuffer& out, unsigned code, const ByteBuffer& body) {
    PutTagHeader(out, code, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

bool SetMovieLength(ByteBuffer& movie) {
    if (movie.size() < 8 || movie.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    auto length = static_cast<std::uint32_t>(movie.size());
    for (int i = 0; i < 4; ++i) movie[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    return true;
}

}  // namespace tembrel
