#pragma once
// Hand-made MPEG audio Layer III frames for the reader tests: valid headers
// with payload bytes that tell the frames apart. Lengths are the well-known
// values for each kind, not computed from our tables.
#include <cstdint>
#include <vector>

namespace tembrel::test {

struct TestFrameKind {
    int versionBits;    // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int sampleRateIndex;
    int bitRateIndex;
    int length;         // bytes of an unpadded frame
    int samplesPerFrame;
    int sampleRate;
};

inline constexpr TestFrameKind kFrame44100{3, 0, 9, 417, 1152, 44100};   // MPEG-1 128 kbit/s
inline constexpr TestFrameKind kFrame22050{2, 0, 8, 208, 576, 22050};    // MPEG-2 64 kbit/s
inline constexpr TestFrameKind kFrame11025{0, 0, 4, 208, 576, 11025};    // MPEG-2.5 32 kbit/s

inline std::vector<std::uint8_t> TestFrameHeader(int versionBits, int layerBits, int bitRateIndex, int sampleRateIndex,
                                                 int padding, bool mono, int emphasis = 0) {
    return {0xFF, static_cast<std::uint8_t>(0xE0 | versionBits << 3 | layerBits << 1 | 1),
            static_cast<std::uint8_t>(bitRateIndex << 4 | sampleRateIndex << 2 | padding << 1),
            static_cast<std::uint8_t>((mono ? 0xC0 : 0x40) | emphasis)};
}

// Appends `count` frames of `kind`; frame i is filled with the byte (first + i).
inline void AppendTestFrames(std::vector<std::uint8_t>& out, const TestFrameKind& kind, int count, bool mono = true,
                             int first = 0) {
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> frame =
            TestFrameHeader(kind.versionBits, 1, kind.bitRateIndex, kind.sampleRateIndex, 0, mono);
        frame.resize(static_cast<std::size_t>(kind.length), static_cast<std::uint8_t>(first + i));
        out.insert(out.end(), frame.begin(), frame.end());
    }
}

inline std::vector<std::uint8_t> TestFrames(const TestFrameKind& kind, int count, bool mono = true) {
    std::vector<std::uint8_t> out;
    AppendTestFrames(out, kind, count, mono);
    return out;
}

}  // namespace tembrel::test
