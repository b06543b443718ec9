#pragma once
// Sound fixtures for the decoding tests, made at run time: tones encoded by
// FFmpeg into any format it writes, FFmpeg's own decoding of a file as the
// reference, and a tiny ProTracker module written byte by byte.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace tembrel::test {

// Every channel its own frequency, so that a swapped or shifted channel shows.
inline std::string ToneExpressions(int channels) {
    std::string exprs;
    for (int c = 0; c < channels; ++c) {
        if (c) exprs += "|";
        exprs += "0.4*sin(2*PI*" + std::to_string(330 + 110 * c) + "*t)";
    }
    return exprs;
}

inline std::string LayoutName(int channels) {
    switch (channels) {
        case 1: return "mono";
        case 2: return "stereo";
        case 6: return "5.1";
        default: return std::to_string(channels) + "c";
    }
}

// Encodes `seconds` of tones at `rate` with `channels` channels into `path`
// using the FFmpeg output options `encode` (codec etc.). True on success.
inline bool EncodeTone(const std::string& path, int rate, int channels, double seconds, const std::string& encode) {
    const std::string source = "aevalsrc=" + ToneExpressions(channels) + ":s=" + std::to_string(rate) +
                               ":c=" + LayoutName(channels) + ":d=" + std::to_string(seconds);
    return RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i " + ShellQuote(source) + " " + encode + " " +
                      ShellQuote(path) + " </dev/null") == 0;
}

// What FFmpeg's command-line tool decodes: interleaved 16-bit samples at the
// native rate with every channel.
inline std::vector<std::int16_t> FfmpegDecode(const std::string& path) {
    std::string raw;
    RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f s16le -acodec pcm_s16le -", &raw);
    std::vector<std::int16_t> samples(raw.size() / 2);
    if (!samples.empty()) std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

// One channel of interleaved samples.
inline std::vector<std::int16_t> ChannelOf(const std::vector<std::int16_t>& interleaved, int channels, int which) {
    std::vector<std::int16_t> out;
    for (std::size_t i = static_cast<std::size_t>(which); i < interleaved.size(); i += static_cast<std::size_t>(channels))
        out.push_back(interleaved[i]);
    return out;
}

// An ffprobe field of the first audio stream ("sample_rate", "channels").
inline long ProbeField(const std::string& path, const std::string& field) {
    std::string out;
    RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=" + field +
                   " -of default=nw=1:nk=1 " + ShellQuote(path),
               &out);
    return std::strtol(out.c_str(), nullptr, 10);
}

// A four-channel ProTracker module: one looped 64-byte sine sample, one
// pattern that plays it on row 0 and breaks on row 15. At the default speed
// (6 ticks of 20 ms per row) the song lasts 16 rows = 1.92 seconds.
constexpr double kTinyModuleSeconds = 16 * 6 * 0.02;

inline std::vector<std::uint8_t> TinyModule() {
    std::vector<std::uint8_t> mod;
    auto put = [&mod](std::initializer_list<int> bytes) {
        for (int b : bytes) mod.push_back(static_cast<std::uint8_t>(b));
    };
    auto putText = [&mod](const char* text, std::size_t width) {
        std::size_t n = std::strlen(text);
        for (std::size_t i = 0; i < width; ++i) mod.push_back(i < n ? static_cast<std::uint8_t>(text[i]) : 0);
    };
    constexpr int kSampleBytes = 64;
    putText("tembrel test", 20);
    putText("tone", 22);
    put({0, kSampleBytes / 2, 0, 64, 0, 0, 0, kSampleBytes / 2});  // length, finetune, volume, loop
    for (int i = 0; i < 30; ++i) {
        putText("", 22);
        put({0, 0, 0, 0, 0, 0, 0, 1});
    }
    put({1, 127});  // one position; restart byte
    for (int i = 0; i < 128; ++i) put({0});
    putText("M.K.", 4);
    std::vector<std::uint8_t> pattern(64 * 4 * 4, 0);
    const int period = 428;
    const std::uint8_t note[4] = {static_cast<std::uint8_t>(period >> 8), period & 0xFF, 0x10, 0x00};
    std::memcpy(&pattern[0], note, 4);                  // row 0, channel 1: sample 1
    const std::uint8_t jump[4] = {0, 0, 0x0D, 0x00};   // row 15, channel 2: pattern break
    std::memcpy(&pattern[15 * 16 + 4], jump, 4);
    mod.insert(mod.end(), pattern.begin(), pattern.end());
    for (int i = 0; i < kSampleBytes; ++i) {
        const double v = 100 * std::sin(2 * M_PI * i / kSampleBytes);
        mod.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(std::lround(v))));
    }
    return mod;
}

}  // namespace tembrel::test
