#include "audio_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "support/test_support.h"

namespace tembrel::test {

std::vector<std::int16_t> MakeSignal(int frames, int channels, int rate) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * channels);
    const double pi = 3.14159265358979323846;
    for (int f = 0; f < frames; ++f) {
        double t = static_cast<double>(f) / rate;
        for (int c = 0; c < channels; ++c) {
            double sweep = std::sin(2 * pi * (200.0 * (c + 1) * t + 300.0 * t * t));
            double tone = std::sin(2 * pi * (523.0 + 97.0 * c) * t);
            double value = 0.4 * sweep + 0.2 * tone;
            out[static_cast<std::size_t>(f) * channels + c] = static_cast<std::int16_t>(std::lround(value * 32767.0));
        }
    }
    return out;
}

namespace {
void Put16(std::vector<std::uint8_t>& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
}  // namespace

void WritePcm16Wav(const std::string& path, const std::vector<std::int16_t>& samples, int channels, int rate) {
    std::vector<std::uint8_t> b;
    auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    Put32(b, 36 + dataBytes);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, static_cast<unsigned>(channels));
    Put32(b, static_cast<std::uint32_t>(rate));
    Put32(b, static_cast<std::uint32_t>(rate * channels * 2));
    Put16(b, static_cast<unsigned>(channels * 2));
    Put16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put32(b, dataBytes);
    for (std::int16_t s : samples) Put16(b, static_cast<std::uint16_t>(s));
    WriteAll(path, b);
}

bool Run(const std::string& command) {
    int status = RunCommand(command + " 2>&1");
    EXPECT_EQ(status, 0) << command;
    return status == 0;
}

std::vector<std::uint8_t> SoxDecodeRaw(const std::string& path, const std::string& rawOptions) {
    std::string out;
    int status = RunCommand("sox -D " + ShellQuote(path) + " -t raw " + rawOptions + " - 2>/dev/null", &out);
    EXPECT_EQ(status, 0) << "sox could not decode " << path;
    return std::vector<std::uint8_t>(out.begin(), out.end());
}

std::vector<std::int16_t> SoxDecode16(const std::string& path) {
    auto raw = SoxDecodeRaw(path, "-e signed-integer -b 16 -L");
    std::vector<std::int16_t> out(raw.size() / 2);
    std::memcpy(out.data(), raw.data(), out.size() * 2);
    return out;
}

std::vector<std::int32_t> SoxDecode32(const std::string& path) {
    auto raw = SoxDecodeRaw(path, "-e signed-integer -b 32 -L");
    std::vector<std::int32_t> out(raw.size() / 4);
    std::memcpy(out.data(), raw.data(), out.size() * 4);
    return out;
}

std::vector<std::int16_t> SndfileDecode16(const std::string& path, const std::string& scratchDir) {
    std::string raw = scratchDir + "/sndfile-decoded.raw";
    if (!Run("sndfile-convert -pcm16 -endian=little " + ShellQuote(path) + " " + ShellQuote(raw))) return {};
    auto bytes = ReadAll(raw);
    std::vector<std::int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

std::vector<std::int16_t> FfmpegDecode16(const std::string& path) {
    std::string out;
    int status = RunCommand("ffmpeg -v error -i " + ShellQuote(path) + " -f s16le -", &out);
    EXPECT_EQ(status, 0) << "ffmpeg could not decode " << path;
    std::vector<std::int16_t> samples(out.size() / 2);
    std::memcpy(samples.data(), out.data(), samples.size() * 2);
    return samples;
}

std::vector<std::int16_t> Decode16(Decoder decoder, const std::string& path, const std::string& scratchDir) {
    switch (decoder) {
        case Decoder::Sox: return SoxDecode16(path);
        case Decoder::Sndfile: return SndfileDecode16(path, scratchDir);
        case Decoder::Ffmpeg: return FfmpegDecode16(path);
    }
    return {};
}

Delivered ReadAll(AudioSource& source, int maxReads) {
    Delivered d;
    const bool eightBit = source.GetBitsPerSample() == 8;
    const bool stereo = source.GetChannels() == 2;
    std::vector<std::uint8_t> left(kBlockBufferBytes), right(kBlockBufferBytes);
    for (int i = 0; i < maxReads; ++i) {
        int n = source.Read(left.data(), stereo ? right.data() : nullptr);
        if (n <= 0) break;
        EXPECT_LE(n, kSamplesPerBlock);
        if (n > kSamplesPerBlock) break;
        d.counts.push_back(n);
        if (eightBit) {
            d.left8.insert(d.left8.end(), left.begin(), left.begin() + n);
            if (stereo) d.right8.insert(d.right8.end(), right.begin(), right.begin() + n);
        } else {
            auto* l = reinterpret_cast<const std::int16_t*>(left.data());
            auto* r = reinterpret_cast<const std::int16_t*>(right.data());
            d.left.insert(d.left.end(), l, l + n);
            if (stereo) d.right.insert(d.right.end(), r, r + n);
        }
    }
    return d;
}

int MaxDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, std::size_t* compared) {
    std::size_t n = std::min(a.size(), b.size());
    int worst = 0;
    for (std::size_t i = 0; i < n; ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    if (compared) *compared = n;
    return worst;
}

void ForEachMutation(const std::vector<std::uint8_t>& original, const std::string& path, int headerBytes,
                     const std::function<void()>& check) {
    std::mt19937 random(12345);
    const int span = std::min<int>(headerBytes, static_cast<int>(original.size()));
    // Every truncation inside the header, and a few further in.
    for (int cut = 0; cut <= span; ++cut) {
        WriteAll(path, std::vector<std::uint8_t>(original.begin(), original.begin() + cut));
        check();
    }
    // Single header bytes set to the values that upset size and count fields.
    const std::uint8_t values[] = {0x00, 0xFF, 0x7F, 0x80, 0x01};
    for (int pos = 0; pos < span; pos += 1) {
        for (std::uint8_t v : values) {
            if (random() % 3 != 0) continue;
            auto copy = original;
            copy[static_cast<std::size_t>(pos)] = v;
            WriteAll(path, copy);
            check();
        }
    }
    // Random multi-byte damage of the header.
    for (int round = 0; round < 120; ++round) {
        auto copy = original;
        int hits = 1 + static_cast<int>(random() % 6);
        for (int h = 0; h < hits; ++h) {
            auto pos = static_cast<std::size_t>(random() % static_cast<unsigned>(std::max(span, 1)));
            copy[pos] = static_cast<std::uint8_t>(random());
        }
        if (round % 4 == 0) copy.resize(copy.size() / 2 + random() % (copy.size() / 2 + 1));
        WriteAll(path, copy);
        check();
    }
}

}  // namespace tembrel::test
