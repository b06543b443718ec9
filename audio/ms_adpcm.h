#pragma once
// Microsoft ADPCM (WAV format tag 2): blocks with a per-channel header of
// predictor, delta and two seed samples, then 4-bit codes, high nibble first.
#include <array>
#include <cstdint>
#include <vector>

namespace tembrel {

extern const int kMsAdpcmAdaptationTable[16];
// The seven coefficient pairs every encoder writes into the format.
extern const std::int16_t kMsAdpcmStandardCoefficients[7][2];

struct MsAdpcmFormat {
    int channels = 0;         // 1 or 2
    int blockAlign = 0;       // bytes per block
    int samplesPerBlock = 0;  // per channel, the two seed samples included
    std::vector<std::array<std::int16_t, 2>> coefficients;
};

class MsAdpcmDecoder {
public:
    explicit MsAdpcmDecoder(MsAdpcmFormat format) : format_(std::move(format)) {}

    // True when a block of this format holds every code it claims.
    static bool IsUsable(const MsAdpcmFormat& format);

    // Decodes one whole block into samplesPerBlock x channels interleaved
    // values. False when a predictor byte names a coefficient pair the
    // format does not store (the block cannot be decoded).
    bool DecodeBlock(const std::uint8_t* block, std::int16_t* out) const;

    const MsAdpcmFormat& Format() const { return format_; }

private:
    MsAdpcmFormat format_;
};

}  // namespace tembrel
