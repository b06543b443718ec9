#pragma once
// MPEG audio frame header tables (ISO 11172-3 and ISO 13818-3) and the
// decoding of one 4-byte frame header.
#include <cstdint>

namespace tembrel {

// Version bits of a frame header: 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1.
enum MpegVersionBits : int { kMpeg25 = 0, kMpegReservedVersion = 1, kMpeg2 = 2, kMpeg1 = 3 };
// Layer bits of a frame header: 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I.
enum MpegLayerBits : int { kLayerReserved = 0, kLayer3 = 1, kLayer2 = 2, kLayer1 = 3 };

// kbit/s by row (MPEG-1 Layer I, II, III; MPEG-2/2.5 Layer I, II, III) and
// bit-rate index; index 0 is free format (0), index 15 is forbidden (0).
extern const int kMpegBitRateKbps[6][16];
// Hz by version bits and sample-rate index; index 3 and the reserved version give 0.
extern const int kMpegSampleRateHz[4][4];
// Samples per frame and channel by version bits and layer bits.
extern const int kMpegSamplesPerFrame[4][4];

// The fields of one frame header that frame walking and embedding use.
struct MpegFrameHeader {
    int version = 0;       // MpegVersionBits
    int layer = 0;         // MpegLayerBits
    int bitRateKbps = 0;
    int sampleRate = 0;
    int padding = 0;
    int channelMode = 0;   // 3: single channel
    int emphasis = 0;
    int samplesPerFrame = 0;
    int frameLength = 0;   // bytes, header included
};

// Decodes a big-endian frame header. False for anything that is not a usable
// frame: no sync, reserved version or layer, free-format or forbidden bit
// rate, reserved sample rate.
bool ParseMpegFrameHeader(std::uint32_t header, MpegFrameHeader& out);

// Frame length in bytes (header included) for a frame of this kind.
int MpegFrameLength(int version, int layer, int bitRateKbps, int sampleRate, int padding);

}  // namespace tembrel
