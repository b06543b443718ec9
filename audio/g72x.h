#pragma once
// ITU-T G.721 (32 kbit/s) and G.723 (24 and 40 kbit/s) ADPCM decoding to
// 16-bit linear samples.
#include <cstdint>

namespace tembrel {

// The adaptive quantiser and predictor state of one channel.
struct G72xState {
    std::int32_t yl = 34816;  // locked (slow) quantiser scale factor
    std::int16_t yu = 544;    // unlocked (fast) quantiser scale factor
    std::int16_t dms = 0;     // short-term mean magnitude of the code
    std::int16_t dml = 0;     // long-term mean magnitude of the code
    std::int16_t ap = 0;      // speed control
    std::int16_t a[2] = {0, 0};                  // pole predictor coefficients
    std::int16_t b[6] = {0, 0, 0, 0, 0, 0};      // zero predictor coefficients
    std::int16_t pk[2] = {0, 0};                 // signs of the partial signal
    std::int16_t dq[6] = {32, 32, 32, 32, 32, 32};  // difference signal, floating form
    std::int16_t sr[2] = {32, 32};               // reconstructed signal, floating form
    std::int8_t td = 0;       // tone detected
};

enum class G72xRate {
    G721_32,  // 4-bit codes
    G723_24,  // 3-bit codes
    G723_40,  // 5-bit codes
};

// Bits per code of a rate: 4, 3 or 5.
int G72xCodeBits(G72xRate rate);

// Decodes one code (its low code-bits bits) and returns the 16-bit sample.
std::int16_t G72xDecode(G72xRate rate, int code, G72xState& state);

}  // namespace tembrel
