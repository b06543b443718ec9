#pragma once
// MP3 fixtures made at test time with libmp3lame: constant bit rate, no VBR
// header, no ID3 tags, the way the conversion stage writes them.
#include <cstdint>
#include <string>
#include <vector>

namespace tembrel::test {

// 16-bit PCM per channel; right is ignored for mono.
struct PcmSignal {
    int sampleRate = 22050;
    int channels = 1;
    std::vector<std::int16_t> left;
    std::vector<std::int16_t> right;
};

// A sine of `seconds` at `frequency` Hz (the right channel a fifth above, so
// that swapped or dropped channels show).
PcmSignal SineSignal(int sampleRate, int channels, double seconds, double frequency = 440.0);

// A bit rate LAME accepts at every SWF sample rate and channel count.
int DefaultBitRateKbps(int sampleRate, int channels);

// Encodes the signal to path; false if LAME refuses or the file cannot be written.
bool EncodeMp3(const std::string& path, const PcmSignal& signal, int bitRateKbps = 0);

// SineSignal + EncodeMp3.
bool WriteSineMp3(const std::string& path, int sampleRate, int channels, double seconds,
                  double frequency = 440.0);

}  // namespace tembrel::test
