#pragma once
// Assembles a complete uncompressed SWF in memory: the header, whole tags,
// and the file length filled in at the end. Used where a movie is rebuilt
// in a buffer rather than streamed to a file (picture templates, generated
// templates).
#include <cstdint>

#include "swf/swf_records.h"

namespace tembrel {

// "FWS", version, a length placeholder, the stage RECT (0, width, 0, height
// in twips), the 8.8 frame rate and the frame count. False, and nothing
// written, when the RECT cannot be encoded.
bool PutMovieHeader(ByteBuffer& out, std::uint8_t version, std::int32_t widthTwips, std::int32_t heightTwips,
                    std::uint16_t frameRate88, std::uint16_t frameCount);

// A whole tag: PutTagHeader for the body's length, then the body.
void PutTag(ByteBuffer& out, unsigned code, const ByteBuffer& body);

// Writes the buffer's size as the file length at offset 4. False when the
// buffer holds no header or is too large for the 32-bit field.
bool SetMovieLength(ByteBuffer& movie);

}  // namespace tembrel
