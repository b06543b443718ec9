#include "swf/picture_embed.h"

#include <algorithm>
#include <limits>
#include <new>

#include "platform/file_identity.h"
#include "platform/os_file.h"
#include "swf/shape_styles.h"
#include "swf/swf_bit_reader.h"
#include "swf/swf_movie_bytes.h"
#include "swf/swf_records.h"
#include "swf/swf_tag_header.h"

namespace tembrel {

namespace {

// The placeholder frame of a picture template is 600 × 500 twips.
constexpr std::int32_t kFrameWidthTwips = 600;
constexpr std::int32_t kFrameHeightTwips = 500;
// Edge deltas need at least 2 bits: NumBits holds the width minus 2.
constexpr int kMinEdgeBits = 2;

std::int32_t MapCoordinate(std::int32_t value, std::int32_t from, std::int32_t to) {
    if (value == from) return to;
    if (value == -from) return -to;
    return 0;
}

// The picture's bytes, when it is a regular file read in full that starts
// as a JPEG; otherwise false with what is wrong in *problem. A FIFO or
// device is never waited on.
bool ReadPicture(const std::string& path, ByteBuffer& bytes, std::string& problem) {
    OsFile file;
    if (IsFolderAt(path)) {
        problem = "it is a folder";
        return false;
    }
    std::string why;
    if (!file.OpenForReading(path, &why)) {
        problem = why.empty() ? "it cannot be opened" : why;
        return false;
    }
    std::int64_t size = file.Size();
    if (size < 0 || static_cast<std::uint64_t>(size) > std::numeric_limits<std::uint32_t>::max() - 64u) {
        problem = "it is too large for a SWF";
        return false;
    }
    // Look at the start before taking the whole file into memory.
    std::uint8_t start[2] = {0, 0};
    if (size < 2 || file.Read(start, 2) != 2 || start[0] != 0xFF || start[1] != 0xD8) {
        problem = "it is not a JPEG file";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    bytes[0] = start[0];
    bytes[1] = start[1];
    std::size_t got = 2;
    while (got < bytes.size()) {
        std::int64_t n = file.Read(bytes.data() + got, bytes.size() - got);
        if (n <= 0) {
            problem = "it cannot be read in full";
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

void CopyBytes(ByteBuffer& out, const ByteBuffer& from, std::size_t begin, std::size_t end) {
    out.insert(out.end(), from.begin() + static_cast<std::ptrdiff_t>(begin),
               from.begin() + static_cast<std::ptrdiff_t>(end));
}

// Copies the style arrays at the reader's position unchanged; false when
// they do not fit in the tag.
bool CopyStyles(SwfBitReader& reader, ByteBuffer& data, ByteBuffer& out, int& bitPos) {
    reader.Align();
    std::size_t begin = reader.Position();
    WalkShapeStyles(reader, false, nullptr);
    if (!reader.Ok()) return false;
    EndBits(bitPos);
    CopyBytes(out, data, begin, reader.Position());
    return true;
}

// Re-encodes one DefineShape body with the frame stretched to W × H twips.
// False when the body is not a complete shape; the caller then keeps it.
bool RewriteFrameShape(ByteBuffer& data, std::size_t bodyStart, std::size_t bodyEnd, std::int32_t width,
                       std::int32_t height, ByteBuffer& out) {
    SwfBitReader reader(data.data(), bodyStart, bodyEnd);
    int bitPos = 0;
    Put16(out, static_cast<std::uint16_t>(reader.ReadU16()));  // shape id
    reader.SkipRect();
    if (!PutRect(out, 0, width, 0, height)) return false;
    if (!CopyStyles(reader, data, out, bitPos)) return false;
    std::uint32_t fillBits = reader.ReadUBits(4);
    std::uint32_t lineBits = reader.ReadUBits(4);
    PutBits(out, bitPos, fillBits, 4);
    PutBits(out, bitPos, lineBits, 4);

    while (reader.Ok()) {
        std::uint32_t isEdge = reader.ReadUBits(1);
        PutBits(out, bitPos, isEdge, 1);
        if (!isEdge) {
            std::uint32_t flags = reader.ReadUBits(5);
            PutBits(out, bitPos, flags, 5);
            if (flags == 0) break;
            if (flags & 0x01) {
                int bits = static_cast<int>(reader.ReadUBits(5));
                std::int32_t x = MapCoordinate(reader.ReadSBits(bits), kFrameWidthTwips, width);
                std::int32_t y = MapCoordinate(reader.ReadSBits(bits), kFrameHeightTwips, height);
                int moveBits = std::max(SignedBitWidth(x), SignedBitWidth(y));
                PutBits(out, bitPos, static_cast<std::uint32_t>(moveBits), 5);
                PutSignedBits(out, bitPos, x, moveBits);
                PutSignedBits(out, bitPos, y, moveBits);
            }
            if (flags & 0x02) PutBits(out, bitPos, reader.ReadUBits(static_cast<int>(fillBits)), static_cast<int>(fillBits));
            if (flags & 0x04) PutBits(out, bitPos, reader.ReadUBits(static_cast<int>(fillBits)), static_cast<int>(fillBits));
            if (flags & 0x08) PutBits(out, bitPos, reader.ReadUBits(static_cast<int>(lineBits)), static_cast<int>(lineBits));
            if (flags & 0x10) {
                if (!CopyStyles(reader, data, out, bitPos)) return false;
                fillBits = reader.ReadUBits(4);
                lineBits = reader.ReadUBits(4);
                PutBits(out, bitPos, fillBits, 4);
                PutBits(out, bitPos, lineBits, 4);
            }
            continue;
        }
        std::uint32_t straight = reader.ReadUBits(1);
        std::uint32_t numBits = reader.ReadUBits(4);
        int bits = static_cast<int>(numBits) + 2;
        if (!straight) {
            // A curve is not part of the picture frame: kept as it was.
            PutBits(out, bitPos, 0, 1);
            PutBits(out, bitPos, numBits, 4);
            for (int i = 0; i < 4; ++i) PutSignedBits(out, bitPos, reader.ReadSBits(bits), bits);
            continue;
        }
        std::uint32_t generalLine = reader.ReadUBits(1);
        if (generalLine) {
            std::int32_t dx = MapCoordinate(reader.ReadSBits(bits), kFrameWidthTwips, width);
            std::int32_t dy = MapCoordinate(reader.ReadSBits(bits), kFrameHeightTwips, height);
            int n = std::max({kMinEdgeBits, SignedBitWidth(dx), SignedBitWidth(dy)});
            PutBits(out, bitPos, 1, 1);
            PutBits(out, bitPos, static_cast<std::uint32_t>(n - 2), 4);
            PutBits(out, bitPos, 1, 1);
            PutSignedBits(out, bitPos, dx, n);
            PutSignedBits(out, bitPos, dy, n);
        } else {
            std::uint32_t vertical = reader.ReadUBits(1);
            std::int32_t delta = reader.ReadSBits(bits);
            delta = vertical ? MapCoordinate(delta, kFrameHeightTwips, height)
                             : MapCoordinate(delta, kFrameWidthTwips, width);
            int n = std::max(kMinEdgeBits, SignedBitWidth(delta));
            PutBits(out, bitPos, 1, 1);
            PutBits(out, bitPos, static_cast<std::uint32_t>(n - 2), 4);
            PutBits(out, bitPos, 0, 1);
            PutBits(out, bitPos, vertical, 1);
            PutSignedBits(out, bitPos, delta, n);
        }
    }
    return reader.Ok();
}

}  // namespace

bool EmbedPicture(SwfTemplate& tmpl, const std::string& jpegPath, int width, int height, std::string* problem) {
    auto refuse = [&](std::string why) {
        if (problem) *problem = std::move(why);
        return false;
    };
    if (problem) problem->clear();
    if (!tmpl.IsLoaded()) return refuse("no template is loaded");
    if (width < 1 || height < 1 || width > kMaxPicturePixels || height > kMaxPicturePixels)
        return refuse("a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels does not fit (at most " + std::to_string(kMaxPicturePixels) + " a side)");
    const std::int32_t widthTwips = width * 20;
    const std::int32_t heightTwips = height * 20;
    tmpl.pictureWidth_ = widthTwips;
    tmpl.pictureHeight_ = heightTwips;

    // The picture and the new movie each take the picture's size in memory:
    // when that is more than there is, the template stays as it was: only
    // the last lines below change it, and the one allocation among them
    // (shedding spare room) gives up quietly.
    try {
        ByteBuffer jpeg;
        if (std::string why; !ReadPicture(jpegPath, jpeg, why)) return refuse(why);

        ByteBuffer& data = tmpl.data_;
        ByteBuffer movie;
        if (!PutMovieHeader(movie, data[3], widthTwips, heightTwips,
                            static_cast<std::uint16_t>((tmpl.frameRate_ & 0xFF) * 256),
                            static_cast<std::uint16_t>(tmpl.frameCount_)))
            return refuse("the template's header cannot take the picture's size");
        const std::size_t newFirstTag = movie.size();

        std::size_t cursor = tmpl.firstTag_;
        while (cursor < data.size()) {
            SwfTagExtent tag;
            if (!ReadTagExtent(data.data(), cursor, data.size(), tag)) {
                CopyBytes(movie, data, cursor, data.size());  // a cut-off tail stays as it was
                break;
            }
            if (tag.code == kTagDefineBitsJpeg2 && tag.bodyEnd - tag.bodyStart >= 2) {
                // Straight into a movie with room for the picture and the rest
                // of the template (twice over, as stretched shapes grow a few
                // bytes): a picture can be hundreds of megabytes, and a body
                // built apart or a buffer doubling as it grows would each take
                // that much again.
                movie.reserve(movie.size() + 6 + 4 + jpeg.size() + 2 * (data.size() - tag.bodyStart));
                PutTagHeader(movie, kTagDefineBitsJpeg2, static_cast<std::uint32_t>(2 + 4 + jpeg.size()));
                CopyBytes(movie, data, tag.bodyStart, tag.bodyStart + 2);  // character id
                movie.insert(movie.end(), {0xFF, 0xD9, 0xFF, 0xD8});
                movie.insert(movie.end(), jpeg.begin(), jpeg.end());
            } else if (ByteBuffer body;
                       tag.code == kTagDefineShape &&
                       RewriteFrameShape(data, tag.bodyStart, tag.bodyEnd, widthTwips, heightTwips, body)) {
                PutTag(movie, kTagDefineShape, body);
            } else {
                CopyBytes(movie, data, tag.start, tag.bodyEnd);
            }
            cursor = tag.bodyEnd;
        }
        if (!SetMovieLength(movie)) return refuse("the movie would be too large");

        // The picture's bytes go before the movie is moved in; a copy to shed
        // spare room is worth it only when there is much of it.
        ByteBuffer().swap(jpeg);
        tmpl.data_ = std::move(movie);
        if (tmpl.data_.capacity() - tmpl.data_.size() > tmpl.data_.size() / 8) tmpl.data_.shrink_to_fit();
        tmpl.firstTag_ = static_cast<std::uint32_t>(newFirstTag);
        tmpl.width_ = width;
        tmpl.height_ = height;
        // The old list points into the replaced data; the next scan rebuilds it.
        tmpl.tags_.clear();
        tmpl.iteration_ = 0;
        return true;
    } catch (const std::bad_alloc&) {
        return refuse(kPictureOutOfMemory);
    }
}

}  // namespace tembrel
