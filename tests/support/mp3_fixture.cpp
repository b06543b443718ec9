#include "support/mp3_fixture.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

namespace tembrel::test {

PcmSignal SineSignal(int sampleRate, int channels, double seconds, double frequency) {
    PcmSignal signal;
    signal.sampleRate = sampleRate;
    signal.channels = channels;
    std::size_t count = static_cast<std::size_t>(std::lround(seconds * sampleRate));
    signal.left.resize(count);
    if (channels == 2) signal.right.resize(count);
    const double step = 2.0 * std::numbers::pi / sampleRate;
    for (std::size_t i = 0; i < count; ++i) {
        signal.left[i] = static_cast<std::int16_t>(std::lround(12000.0 * std::sin(step * frequency * i)));
        if (channels == 2)
            signal.right[i] = static_cast<std::int16_t>(std::lround(12000.0 * std::sin(step * frequency * 1.5 * i)));
    }
    return signal;
}

int DefaultBitRateKbps(int sampleRate, int channels) {
    if (sampleRate >= 32000) return channels == 2 ? 128 : 64;
    return channels == 2 ? 64 : 32;
}

bool EncodeMp3(const std::string& path, const PcmSignal& signal, int bitRateKbps) {
    if (bitRateKbps <= 0) bitRateKbps = DefaultBitRateKbps(signal.sampleRate, signal.channels);
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame) return false;
    lame_set_num_channels(lame.get(), signal.channels);
    lame_set_in_samplerate(lame.get(), signal.sampleRate);
    lame_set_out_samplerate(lame.get(), signal.sampleRate);
    lame_set_mode(lame.get(), signal.channels == 2 ? JOINT_STEREO : MONO);
    lame_set_brate(lame.get(), bitRateKbps);
    lame_set_bWriteVbrTag(lame.get(), 0);
    lame_set_VBR(lame.get(), vbr_off);
    if (lame_init_params(lame.get()) < 0) return false;

    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    constexpr int kBlock = 1152;
    std::vector<unsigned char> out(static_cast<std::size_t>(1.25 * kBlock + 7200));
    const std::vector<std::int16_t>& right = signal.channels == 2 ? signal.right : signal.left;
    for (std::size_t at = 0; at < signal.left.size(); at += kBlock) {
        int count = static_cast<int>(std::min<std::size_t>(kBlock, signal.left.size() - at));
        int bytes = lame_encode_buffer(lame.get(), signal.left.data() + at, right.data() + at, count, out.data(),
                                       static_cast<int>(out.size()));
        if (bytes < 0 || std::fwrite(out.data(), 1, static_cast<std::size_t>(bytes), file.get()) != std::size_t(bytes))
            return false;
    }
    int bytes = lame_encode_flush(lame.get(), out.data(), static_cast<int>(out.size()));
    if (bytes < 0 || std::fwrite(out.data(), 1, static_cast<std::size_t>(bytes), file.get()) != std::size_t(bytes))
        return false;
    return std::fflush(file.get()) == 0;
}

bool WriteSineMp3(const std::string& path, int sampleRate, int channels, double seconds, double frequency) {
    return EncodeMp3(path, SineSignal(sampleRate, channels, seconds, frequency));
}

}  // namespace tembrel::test
