#pragma once
// The buffer protocol of the sound tag encoders: the caller lends a buffer
// and its capacity; a tag that does not fit is not written, and the capacity
// it needs is handed back instead.
#include <cstddef>
#include <cstdint>

#include "swf/swf_records.h"

namespace tembrel {

// Copies a complete tag into buffer and sets length. If it does not fit (or
// buffer is null), writes nothing, sets capacity to the size needed, length
// to 0, and returns false.
bool CopyTagOut(const ByteBuffer& tag, std::uint8_t* buffer, std::size_t& capacity, std::size_t& length);

// SWF sound-rate code: 11025 -> 1, 22050 -> 2, 44100 -> 3, anything else 0.
unsigned SwfSoundRateCode(int sampleRate);

}  // namespace tembrel
