#pragma once
// Fixture helpers for the reader tests: a known signal, a plain 16-bit WAV
// that the independent tools take as their input, the tools' own decoding,
// and reading a whole source through the AudioSource interface.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/audio_source.h"
#include "support/test_support.h"

namespace tembrel::test {

// Interleaved 16-bit frames of a deterministic signal: a slow sweep plus a
// second tone, different in every channel, peaking near 0.6 of full scale.
std::vector<std::int16_t> MakeSignal(int frames, int channels, int rate);

// Writes interleaved 16-bit samples as a canonical PCM WAV file.
void WritePcm16Wav(const std::string& path, const std::vector<std::int16_t>& samples, int channels, int rate);

// Runs a shell command and fails the current test when it does not exit 0.
bool Run(const std::string& command);

// Raw bytes of a tool's decoding: `sox <file> -t raw <format options>`.
std::vector<std::uint8_t> SoxDecodeRaw(const std::string& path, const std::string& rawOptions);
// Interleaved signed 16-bit samples decoded by sox (no dither).
std::vector<std::int16_t> SoxDecode16(const std::string& path);
// Interleaved signed 32-bit samples decoded by sox.
std::vector<std::int32_t> SoxDecode32(const std::string& path);
// Interleaved signed 16-bit samples decoded by libsndfile (sndfile-convert).
std::vector<std::int16_t> SndfileDecode16(const std::string& path, const std::string& scratchDir);

enum class Decoder { Sox, Sndfile, Ffmpeg };
// Interleaved signed 16-bit samples decoded by FFmpeg.
std::vector<std::int16_t> FfmpegDecode16(const std::string& path);
std::vector<std::int16_t> Decode16(Decoder decoder, const std::string& path, const std::string& scratchDir);

// Everything a source delivers, channel by channel.
struct Delivered {
    std::vector<std::int16_t> left;
    std::vector<std::int16_t> right;
    std::vector<std::uint8_t> left8;   // 8-bit sources
    std::vector<std::uint8_t> right8;
    std::vector<int> counts;           // result of every Read that delivered
};

// Reads until Read returns 0 (or maxReads calls), checking that no call
// delivers more than 1152 samples.
Delivered ReadAll(AudioSource& source, int maxReads = 1 << 20);

// The channel `index` of interleaved frames.
template <typename T>
std::vector<T> Channel(const std::vector<T>& interleaved, int channels, int index) {
    std::vector<T> out;
    for (std::size_t i = static_cast<std::size_t>(index); i < interleaved.size(); i += static_cast<std::size_t>(channels))
        out.push_back(interleaved[i]);
    return out;
}

// Largest absolute difference over the common length; also reports the
// common length through `compared`.
int MaxDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, std::size_t* compared = nullptr);

// Calls `check` on many damaged copies of `original` (truncations, flipped
// and overwritten header bytes, patched size fields) written to `path`.
void ForEachMutation(const std::vector<std::uint8_t>& original, const std::string& path, int headerBytes,
                     const std::function<void()>& check);

// Base of the reader tests that let the independent tools write fixtures:
// skips when a tool is missing, makes the 16-bit WAV the tools start from,
// and runs a writer command with {in} and {out} filled in.
class ToolFixtureTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("sox") || !HaveTool("ffmpeg") || !HaveTool("sndfile-convert"))
            GTEST_SKIP() << "sox, ffmpeg and sndfile-convert are needed";
    }
    std::string Source(int channels, int frames, int rate) {
        std::string path = dir.File("source" + std::to_string(channels) + "_" + std::to_string(rate) + ".wav");
        signal = MakeSignal(frames, channels, rate);
        WritePcm16Wav(path, signal, channels, rate);
        return path;
    }
    std::string Convert(const std::string& command, const std::string& in, const std::string& name) {
        std::string path = dir.File(name);
        std::string c = command;
        c.replace(c.find("{in}"), 4, ShellQuote(in));
        c.replace(c.find("{out}"), 5, ShellQuote(path));
        EXPECT_TRUE(::tembrel::test::Run(c));
        return path;
    }
    ScratchDir dir;
    std::vector<std::int16_t> signal;
};

}  // namespace tembrel::test
