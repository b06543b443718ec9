#pragma once
// IMA ADPCM as stored in WAV files (format tag 0x11): blocks that start with
// one 4-byte header per channel followed by 4-byte groups of eight codes per
// channel in turn.
#include <cstddef>
#include <cstdint>

namespace tembrel {

extern const std::int16_t kImaStepTable[89];
extern const int kImaIndexTable[8];

// One code through the IMA expander: updates predictor and step index and
// returns the new sample. The predictor is kept to the 16-bit range.
int ImaExpandNibble(int code, int& predictor, int& stepIndex);

struct ImaAdpcmFormat {
    int channels = 0;         // 1 or 2
    int blockAlign = 0;       // bytes per block
    int samplesPerBlock = 0;  // per channel
};

class ImaAdpcmDecoder {
public:
    explicit ImaAdpcmDecoder(const ImaAdpcmFormat& format) : format_(format) {}

    // True when a block of this format holds every code it claims.
    static bool IsUsable(const ImaAdpcmFormat& format);

    // Decodes one whole block into samplesPerBlock x channels interleaved
    // values. The format must be usable.
    void DecodeBlock(const std::uint8_t* block, std::int16_t* out) const;

    const ImaAdpcmFormat& Format() const { return format_; }

private:
    ImaAdpcmFormat format_;
};

}  // namespace tembrel
