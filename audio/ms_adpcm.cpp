#include "audio/ms_adpcm.h"

#include <algorithm>

#include "audio/byte_order.h"

namespace tembrel {

const int kMsAdpcmAdaptationTable[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                         768, 614, 512, 409, 307, 230, 230, 230};

const std::int16_t kMsAdpcmStandardCoefficients[7][2] = {
    {256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};

namespace {
constexpr int kMaxDelta = 0x7FFFFFFF / 768;
}  // namespace

bool MsAdpcmDecoder::IsUsable(const MsAdpcmFormat& format) {
    if (format.channels < 1 || format.channels > 2 || format.samplesPerBlock < 2) return false;
    if (format.coefficients.empty()) return false;
    long long codes = (static_cast<long long>(format.samplesPerBlock) - 2) * format.channels;
    long long needed = 7LL * format.channels + (codes + 1) / 2;
    return needed <= format.blockAlign;
}

bool MsAdpcmDecoder::DecodeBlock(const std::uint8_t* block, std::int16_t* out) const {
    const int m = format_.channels;
    int coef1[2] = {0, 0}, coef2[2] = {0, 0}, delta[2] = {0, 0}, sample1[2] = {0, 0}, sample2[2] = {0, 0};
    for (int c = 0; c < m; ++c) {
        unsigned predictor = block[c];
        if (predictor >= format_.coefficients.size()) return false;
        coef1[c] = format_.coefficients[predictor][0];
        coef2[c] = format_.coefficients[predictor][1];
        delta[c] = LoadLe16(block + m + 2 * c);
        sample1[c] = static_cast<std::int16_t>(LoadLe16(block + 3 * m + 2 * c));
        sample2[c] = static_cast<std::int16_t>(LoadLe16(block + 5 * m + 2 * c));
        out[c] = static_cast<std::int16_t>(sample2[c]);
        out[m + c] = static_cast<std::int16_t>(sample1[c]);
    }
    const std::uint8_t* codes = block + 7 * m;
    const int total = (format_.samplesPerBlock - 2) * m;
    for (int k = 0; k < total; ++k) {
        int c = k % m;
        int code = (k & 1) ? (codes[k / 2] & 0x0F) : (codes[k / 2] >> 4);
        int signedCode = code >= 8 ? code - 16 : code;
        long long predicted =
            (static_cast<long long>(sample1[c]) * coef1[c] + static_cast<long long>(sample2[c]) * coef2[c]) / 256;
        int value = static_cast<int>(std::clamp<long long>(predicted + static_cast<long long>(signedCode) * delta[c],
                                                           -32768, 32767));
        // A stream of large codes grows the delta without end; the cap keeps
        // the arithmetic in range without touching any real signal.
        delta[c] = std::clamp(delta[c] * kMsAdpcmAdaptationTable[code] / 256, 16, kMaxDelta);
        sample2[c] = sample1[c];
        sample1[c] = value;
        out[2 * m + k] = static_cast<std::int16_t>(value);
    }
    return true;
}

}  // namespace tembrel
