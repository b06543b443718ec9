#include "swf/mpeg_audio_tables.h"

namespace tembrel {

const int kMpegBitRateKbps[6][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // MPEG-1 Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // MPEG-1 Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // MPEG-1 Layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},     // MPEG-2/2.5 Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},          // MPEG-2/2.5 Layer II
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},          // MPEG-2/2.5 Layer III
};

const int kMpegSampleRateHz[4][4] = {
    {11025, 12000, 8000, 0},   // MPEG-2.5
    {0, 0, 0, 0},              // reserved
    {22050, 24000, 16000, 0},  // MPEG-2
    {44100, 48000, 32000, 0},  // MPEG-1
};

// Columns by layer bits: reserved, Layer III, Layer II, Layer I.
const int kMpegSamplesPerFrame[4][4] = {
    {0, 576, 1152, 384},   // MPEG-2.5
    {0, 0, 0, 0},          // reserved
    {0, 576, 1152, 384},   // MPEG-2
    {0, 1152, 1152, 384},  // MPEG-1
};

namespace {

int BitRateRow(int version, int layer) {
    int layerRow = layer == kLayer1 ? 0 : layer == kLayer2 ? 1 : 2;
    return version == kMpeg1 ? layerRow : 3 + layerRow;
}

}  // namespace

int MpegFrameLength(int version, int layer, int bitRateKbps, int sampleRate, int padding) {
    if (sampleRate <= 0) return 0;
    if (layer == kLayer1) return (12000 * bitRateKbps / sampleRate + padding) * 4;
    // Layer III outside MPEG-1 carries half the samples, hence half the bytes.
    int factor = (layer == kLayer3 && version != kMpeg1) ? 72000 : 144000;
    return factor * bitRateKbps / sampleRate + padding;
}

bool ParseMpegFrameHeader(std::uint32_t header, MpegFrameHeader& out) {
    if ((header & 0xFFE00000u) != 0xFFE00000u) return false;
    int version = static_cast<int>((header >> 19) & 3);
    int layer = static_cast<int>((header >> 17) & 3);
    if (version == kMpegReservedVersion || layer == kLayerReserved) return false;
    int bitRateIndex = static_cast<int>((header >> 12) & 15);
    int sampleRateIndex = static_cast<int>((header >> 10) & 3);
    int bitRate = kMpegBitRateKbps[BitRateRow(version, layer)][bitRateIndex];
    int sampleRate = kMpegSampleRateHz[version][sampleRateIndex];
    if (bitRate == 0 || sampleRate == 0) return false;

    out.version = version;
    out.layer = layer;
    out.bitRateKbps = bitRate;
    out.sampleRate = sampleRate;
    out.padding = static_cast<int>((header >> 9) & 1);
    out.channelMode = static_cast<int>((header >> 6) & 3);
    out.emphasis = static_cast<int>(header & 3);
    out.samplesPerFrame = kMpegSamplesPerFrame[version][layer];
    out.frameLength = MpegFrameLength(version, layer, bitRate, sampleRate, out.padding);
    return true;
}

}  // namespace tembrel
