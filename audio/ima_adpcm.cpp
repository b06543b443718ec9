#include "audio/ima_adpcm.h"

#include <algorithm>

#include "audio/byte_order.h"

namespace tembrel {

const std::int16_t kImaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

const int kImaIndexTable[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

int ImaExpandNibble(int code, int& predictor, int& stepIndex) {
    int step = kImaStepTable[stepIndex];
    int diff = step >> 3;
    if (code & 1) diff += step >> 2;
    if (code & 2) diff += step >> 1;
    if (code & 4) diff += step;
    if (code & 8) diff = -diff;
    predictor = std::clamp(predictor + diff, -32768, 32767);
    stepIndex = std::clamp(stepIndex + kImaIndexTable[code & 7], 0, 88);
    return predictor;
}

bool ImaAdpcmDecoder::IsUsable(const ImaAdpcmFormat& format) {
    if (format.channels < 1 || format.channels > 2 || format.samplesPerBlock < 1) return false;
    // Codes after the first sample come in groups of eight per channel.
    long long groups = (static_cast<long long>(format.samplesPerBlock) - 1 + 7) / 8;
    long long needed = 4LL * format.channels + groups * 4 * format.channels;
    return needed <= format.blockAlign;
}

void ImaAdpcmDecoder::DecodeBlock(const std::uint8_t* block, std::int16_t* out) const {
    const int channels = format_.channels;
    const int perChannel = format_.samplesPerBlock;
    int predictor[2] = {0, 0};
    int stepIndex[2] = {0, 0};
    for (int c = 0; c < channels; ++c) {
        const std::uint8_t* head = block + 4 * c;
        predictor[c] = static_cast<std::int16_t>(LoadLe16(head));
        stepIndex[c] = std::min<int>(head[2], 88);
        out[c] = static_cast<std::int16_t>(predictor[c]);
    }
    const std::uint8_t* data = block + 4 * channels;
    for (int first = 1; first < perChannel; first += 8) {
        for (int c = 0; c < channels; ++c) {
            for (int k = 0; k < 8; ++k) {
                int code = (data[k / 2] >> ((k & 1) * 4)) & 0x0F;
                int sampleIndex = first + k;
                int value = ImaExpandNibble(code, predictor[c], stepIndex[c]);
                if (sampleIndex < perChannel) out[sampleIndex * channels + c] = static_cast<std::int16_t>(value);
            }
            data += 4;
        }
    }
}

}  // namespace tembrel
