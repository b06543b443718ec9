#pragma once
// GSM 06.10 full-rate frames through libgsm: 33-byte frames (AIFC) or the
// 65-byte two-frame blocks of WAV files.
#include <cstdint>

namespace tembrel {

constexpr int kGsmFrameSamples = 160;
constexpr int kGsmFrameBytes = 33;
constexpr int kGsmWavBlockBytes = 65;
constexpr int kGsmWavBlockSamples = 320;

class Gsm610Decoder {
public:
    // wav49: the 65-byte block layout of WAV files.
    explicit Gsm610Decoder(bool wav49);
    ~Gsm610Decoder();
    Gsm610Decoder(const Gsm610Decoder&) = delete;
    Gsm610Decoder& operator=(const Gsm610Decoder&) = delete;

    bool IsValid() const { return state_ != nullptr; }
    // Decodes one 33-byte frame (or one 65-byte block with wav49) into 160
    // (or 320) samples; false when libgsm refuses the data.
    bool Decode(const std::uint8_t* data, std::int16_t* out);

private:
    void* state_ = nullptr;
    bool wav49_;
};

}  // namespace tembrel
