// WavFileReader against files written and decoded by sox, FFmpeg and
// libsndfile, plus hand-made files for the edge cases and damaged headers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "audio/ms_adpcm.h"
#include "audio/wav_file_reader.h"
#include "audio_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::Channel;
using test::ShellQuote;

constexpr int kRate = 22050;

class WavReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("sox") || !test::HaveTool("ffmpeg") || !test::HaveTool("sndfile-convert"))
            GTEST_SKIP() << "sox, ffmpeg and sndfile-convert are needed";
    }
    // A 16-bit source WAV of the known signal for the tools to convert.
    std::string Source(int channels, int frames = kRate / 2, int rate = kRate) {
        std::string path = dir.File("source" + std::to_string(channels) + "_" + std::to_string(rate) + ".wav");
        signal = test::MakeSignal(frames, channels, rate);
        test::WritePcm16Wav(path, signal, channels, rate);
        return path;
    }
    test::ScratchDir dir;
    std::vector<std::int16_t> signal;
};

// Writer command with {in} and {out} placeholders.
std::string Expand(std::string command, const std::string& in, const std::string& out) {
    for (auto [key, value] : {std::pair{std::string("{in}"), in}, std::pair{std::string("{out}"), out}}) {
        for (std::size_t at; (at = command.find(key)) != std::string::npos;) command.replace(at, key.size(), ShellQuote(value));
    }
    return command;
}

struct CodecCase {
    const char* name;
    const char* writer;  // {in} -> {out}
    int channels;
    int rate;
    int tag;
    int maxDifference;   // against the reference decoding
    test::Decoder reference;
};

// Lossy and companded formats: our decoding equals what another tool decodes
// from the very same file. Microsoft ADPCM divides the prediction toward zero
// as Microsoft's own codec does; FFmpeg does the same, while sox and
// libsndfile shift (round toward minus infinity), so FFmpeg is its reference.
// For IMA ADPCM it is the other way round: FFmpeg computes the difference in
// one multiplication, which rounds differently from the bitwise sum.
TEST_F(WavReaderTest, CodecsMatchIndependentDecoders) {
    const CodecCase cases[] = {
        {"alaw-sox", "sox {in} -e a-law {out}", 2, kRate, kWaveFormatALaw, 0, test::Decoder::Sox},
        {"mulaw-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_mulaw {out}", 1, kRate, kWaveFormatMuLaw, 0, test::Decoder::Sox},
        {"alaw-sndfile", "sndfile-convert -alaw {in} {out}", 1, kRate, kWaveFormatALaw, 0, test::Decoder::Ffmpeg},
        {"msadpcm-sox", "sox {in} -e ms-adpcm {out}", 2, kRate, kWaveFormatMsAdpcm, 0, test::Decoder::Ffmpeg},
        {"msadpcm-ffmpeg", "ffmpeg -v error -y -i {in} -c:a adpcm_ms {out}", 1, kRate, kWaveFormatMsAdpcm, 0, test::Decoder::Ffmpeg},
        {"msadpcm-sndfile", "sndfile-convert -ms-adpcm {in} {out}", 2, kRate, kWaveFormatMsAdpcm, 0, test::Decoder::Ffmpeg},
        {"ima-sox", "sox {in} -e ima-adpcm {out}", 1, kRate, kWaveFormatImaAdpcm, 0, test::Decoder::Sndfile},
        {"ima-ffmpeg", "ffmpeg -v error -y -i {in} -c:a adpcm_ima_wav {out}", 2, kRate, kWaveFormatImaAdpcm, 0, test::Decoder::Sox},
        {"ima-sndfile", "sndfile-convert -ima-adpcm {in} {out}", 2, kRate, kWaveFormatImaAdpcm, 0, test::Decoder::Sox},
        {"gsm-sox", "sox {in} -e gsm-full-rate {out}", 1, 8000, kWaveFormatGsm610, 0, test::Decoder::Sndfile},
        {"gsm-sndfile", "sndfile-convert -gsm610 {in} {out}", 1, 8000, kWaveFormatGsm610, 0, test::Decoder::Sox},
        {"gsm-ffmpeg", "ffmpeg -v error -y -i {in} -c:a libgsm_ms {out}", 1, 8000, kWaveFormatGsm610, 0, test::Decoder::Sndfile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string in = Source(c.channels, c.rate, c.rate);
        std::string out = dir.File(std::string(c.name) + ".wav");
        ASSERT_TRUE(test::Run(Expand(c.writer, in, out)));
        WavFileReader reader;
        ASSERT_EQ(reader.Open(out, 0), 1);
        EXPECT_EQ(reader.GetFormatTag(), c.tag);
        EXPECT_EQ(reader.GetSampleRate(), c.rate);
        EXPECT_EQ(reader.GetChannels(), c.channels);
        EXPECT_EQ(reader.GetBitsPerSample(), 16);
        auto got = test::ReadAll(reader);
        auto reference = test::Decode16(c.reference, out, dir.Path());
        for (int ch = 0; ch < c.channels; ++ch) {
            auto ours = ch == 0 ? got.left : got.right;
            auto theirs = Channel(reference, c.channels, ch);
            std::size_t compared = 0;
            EXPECT_LE(test::MaxDifference(ours, theirs, &compared), c.maxDifference) << "channel " << ch;
            // Only a partial last block may be missing.
            EXPECT_GT(compared + 1200, theirs.size());
            EXPECT_GT(compared, static_cast<std::size_t>(c.rate) * 9 / 10);
        }
        // The codec is lossy but follows the signal.
        if (c.tag != kWaveFormatALaw && c.tag != kWaveFormatMuLaw) {
            EXPECT_LT(test::MaxDifference(got.left, Channel(signal, c.channels, 0)), 9000);
        }
    }
}

struct PcmCase {
    const char* name;
    const char* writer;
    int channels;
    int fileBits;
};

// Integer PCM: the delivered samples are the stored ones cut to their upper
// 16 bits; plain 8-bit files deliver their bytes as they are.
TEST_F(WavReaderTest, IntegerPcmDeliversTheStoredSamples) {
    const PcmCase cases[] = {
        {"u8-sox", "sox {in} -e unsigned -b 8 {out}", 1, 8},
        {"u8-ffmpeg-stereo", "ffmpeg -v error -y -i {in} -c:a pcm_u8 {out}", 2, 8},
        {"s16-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_s16le {out}", 2, 16},
        {"s24-sox-mono", "sox {in} -b 24 {out}", 1, 24},
        {"s24-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_s24le {out}", 2, 24},
        {"s32-sndfile", "sndfile-convert -pcm32 {in} {out}", 2, 32},
        {"s32-sox-mono", "sox {in} -b 32 {out}", 1, 32},
        {"s16-sox-six", "sox {in} {out}", 6, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string in = Source(c.channels);
        std::string out = dir.File(std::string(c.name) + ".wav");
        ASSERT_TRUE(test::Run(Expand(c.writer, in, out)));
        WavFileReader reader;
        ASSERT_EQ(reader.Open(out, 0), 1);
        EXPECT_EQ(reader.GetFileBits(), c.fileBits);
        EXPECT_EQ(reader.GetSourceChannels(), c.channels);
        EXPECT_EQ(reader.GetChannels(), c.channels > 2 ? 2 : c.channels);
        EXPECT_EQ(reader.GetBitsPerSample(), c.fileBits == 8 ? 8 : 16);
        auto got = test::ReadAll(reader);
        const int delivered = c.channels > 2 ? 2 : c.channels;
        if (c.fileBits == 8) {
            auto reference = test::SoxDecodeRaw(out, "-e unsigned-integer -b 8");
            EXPECT_EQ(got.left8, Channel(reference, c.channels, 0));
            if (delivered == 2) {
                EXPECT_EQ(got.right8, Channel(reference, c.channels, 1));
            }
            continue;
        }
        auto reference = test::SoxDecode32(out);
        for (int ch = 0; ch < delivered; ++ch) {
            std::vector<std::int16_t> expected;
            for (std::int32_t v : Channel(reference, c.channels, ch)) expected.push_back(static_cast<std::int16_t>(v >> 16));
            EXPECT_EQ(ch == 0 ? got.left : got.right, expected) << "channel " << ch;
        }
        if (c.fileBits >= 16) {
            EXPECT_EQ(got.left, Channel(signal, c.channels, 0));
        }
    }
}

// Float data are scaled by 2147483647, truncated and narrowed to 16 bits,
// whether the header is plain or extensible with the float sub-format
// (FFmpeg writes extensible headers for more than two channels).
TEST_F(WavReaderTest, FloatDataFollowTheTruncatingConversion) {
    const struct {
        const char* writer;
        int channels;
        int tag;
    } cases[] = {
        {"sox {in} -e floating-point -b 32 {out}", 2, kWaveFormatFloat},
        {"sox {in} -e floating-point -b 64 {out}", 2, kWaveFormatFloat},
        {"ffmpeg -v error -y -i {in} -c:a pcm_f32le {out}", 3, kWaveFormatExtensible},
        {"ffmpeg -v error -y -i {in} -c:a pcm_f64le {out}", 3, kWaveFormatExtensible},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.writer);
        std::string in = Source(c.channels);
        std::string out = dir.File("float" + std::to_string(++n) + ".wav");
        ASSERT_TRUE(test::Run(Expand(c.writer, in, out)));
        WavFileReader reader;
        ASSERT_EQ(reader.Open(out, 0), 1);
        EXPECT_EQ(reader.GetFormatTag(), c.tag);
        auto got = test::ReadAll(reader);
        auto raw = test::SoxDecodeRaw(out, "-e floating-point -b 64 -L");
        const std::size_t frameBytes = 8u * static_cast<std::size_t>(c.channels);
        std::vector<std::int16_t> left, right;
        for (std::size_t i = 0; i + frameBytes <= raw.size(); i += frameBytes) {
            for (auto* side : {&left, &right}) {
                double x;
                std::memcpy(&x, raw.data() + i + (side == &left ? 0 : 8), 8);
                side->push_back(static_cast<std::int16_t>(static_cast<std::int32_t>(std::trunc(x * 2147483647.0)) >> 16));
            }
        }
        ASSERT_EQ(left.size(), static_cast<std::size_t>(kRate / 2));
        EXPECT_EQ(got.left, left);
        EXPECT_EQ(got.right, right);
    }
}

// Reads hand out full 1152-sample blocks until the last one; the reported
// length, duration and bit rate follow the header.
TEST_F(WavReaderTest, BlocksAndReportedProperties) {
    std::string in = Source(2, kRate * 3 + 100);
    WavFileReader reader;
    ASSERT_EQ(reader.Open(in, 44100), 1);
    EXPECT_EQ(reader.GetLength(), (kRate * 3 + 100) * 4u);
    EXPECT_EQ(reader.GetDuration(), 3);
    EXPECT_EQ(reader.GetBitrate(), static_cast<int>((kRate * 3 + 100) * 4u / (3 * 125)));
    auto got = test::ReadAll(reader);
    ASSERT_FALSE(got.counts.empty());
    for (std::size_t i = 0; i + 1 < got.counts.size(); ++i) EXPECT_EQ(got.counts[i], kSamplesPerBlock);
    EXPECT_EQ(got.left.size(), static_cast<std::size_t>(kRate * 3 + 100));
    EXPECT_EQ(reader.GetPosition(), reader.GetLength());
    // A second Open starts over.
    ASSERT_EQ(reader.Open(in, 0), 1);
    EXPECT_EQ(reader.GetPosition(), 0u);
    EXPECT_EQ(test::ReadAll(reader).right, got.right);
}

// ADPCM blocks of 1012 samples are cut by the 1152-sample reads at ever
// other places; a stereo IMA file whose last block is short ends before it.
TEST_F(WavReaderTest, AdpcmBlocksSpanReadsAndAShortLastBlockIsDropped) {
    std::string in = Source(2, 5000);
    std::string out = dir.File("ima.wav");
    ASSERT_TRUE(test::Run("sox " + ShellQuote(in) + " -e ima-adpcm " + ShellQuote(out)));
    WavFileReader whole;
    ASSERT_EQ(whole.Open(out, 0), 1);
    auto all = test::ReadAll(whole);
    ASSERT_EQ(all.left.size() % 505, 0u);
    EXPECT_EQ(all.counts.front(), kSamplesPerBlock);

    auto bytes = test::ReadAll(out);
    bytes.resize(bytes.size() - 100);  // the header still claims the whole block
    test::WriteAll(dir.File("short.wav"), bytes);
    WavFileReader cut;
    ASSERT_EQ(cut.Open(dir.File("short.wav"), 0), 1);
    auto got = test::ReadAll(cut);
    ASSERT_EQ(got.left.size(), all.left.size() - 505);
    EXPECT_TRUE(std::equal(got.left.begin(), got.left.end(), all.left.begin()));
    EXPECT_TRUE(std::equal(got.right.begin(), got.right.end(), all.right.begin()));
}

// Files put together by hand for the layouts the tools do not write.
std::vector<std::uint8_t> Wav(std::uint16_t tag, int channels, std::uint32_t rate, int blockAlign, int bits,
                              const std::vector<std::uint8_t>& formatExtra, const std::vector<std::uint8_t>& betweenChunks,
                              const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> b{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    auto put16 = [&](unsigned v) { b.push_back(v & 0xFF); b.push_back((v >> 8) & 0xFF); };
    auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    put32(static_cast<std::uint32_t>(16 + formatExtra.size()));
    put16(tag);
    put16(static_cast<unsigned>(channels));
    put32(rate);
    put32(rate * static_cast<std::uint32_t>(blockAlign));
    put16(static_cast<unsigned>(blockAlign));
    put16(static_cast<unsigned>(bits));
    b.insert(b.end(), formatExtra.begin(), formatExtra.end());
    b.insert(b.end(), betweenChunks.begin(), betweenChunks.end());
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

std::vector<std::uint8_t> Le16Samples(const std::vector<std::int16_t>& s) {
    std::vector<std::uint8_t> out;
    for (auto v : s) { out.push_back(static_cast<std::uint8_t>(v & 0xFF)); out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF)); }
    return out;
}

TEST(WavReaderEdges, OddChunkWithPadByteIsPassedOver) {
    test::ScratchDir dir;
    std::vector<std::uint8_t> list{'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};  // odd size, pad byte
    std::vector<std::int16_t> samples{1000, -1000, 2000, -2000, 3000};
    test::WriteAll(dir.File("a.wav"), Wav(1, 1, 8000, 2, 16, {}, list, Le16Samples(samples)));
    WavFileReader reader;
    ASSERT_EQ(reader.Open(dir.File("a.wav"), 0), 1);
    EXPECT_EQ(test::ReadAll(reader).left, samples);
}

TEST(WavReaderEdges, DataSizesLeftOpenTakeTheRestOfTheFileAndDeclareNothing) {
    // 0 (a recording not finished) and the stand-ins of writers to a pipe
    // declare nothing; a size past the end of the file is a cut file's, and
    // stays declared. The file's 6000 bytes hold 3000 samples in each case.
    test::ScratchDir dir;
    std::vector<std::int16_t> samples(3000, 0);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 7);
    const struct {
        std::uint32_t size;
        std::uint64_t wantLength, wantDeclared;
    } cases[] = {{0, 6000, 0}, {0x7FFFF000, 6000, 0}, {0xFFFFFFFF, 6000, 0}, {12000, 12000, 6000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        auto file = Wav(1, 1, 8000, 2, 16, {}, {}, Le16Samples(samples));
        const std::size_t sizeAt = file.size() - 6000 - 4;
        for (int i = 0; i < 4; ++i) file[sizeAt + i] = static_cast<std::uint8_t>(c.size >> (8 * i));
        test::WriteAll(dir.File("a.wav"), file);
        WavFileReader reader;
        ASSERT_EQ(reader.Open(dir.File("a.wav"), 0), 1);
        EXPECT_EQ(reader.GetLength(), c.wantLength);
        EXPECT_EQ(reader.DeclaredSamples(), c.wantDeclared);
        EXPECT_EQ(reader.HoldableSamples(), 3000u);
        EXPECT_EQ(reader.GetDuration(), 0);
        EXPECT_EQ(test::ReadAll(reader).left, samples);
    }
}

TEST(WavReaderEdges, TwentyFourBitMonoCountsAPartialSample) {
    test::ScratchDir dir;
    // Two whole samples and two bytes of a third.
    std::vector<std::uint8_t> data{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    test::WriteAll(dir.File("a.wav"), Wav(1, 1, 8000, 3, 24, {}, {}, data));
    WavFileReader reader;
    ASSERT_EQ(reader.Open(dir.File("a.wav"), 0), 1);
    auto got = test::ReadAll(reader);
    ASSERT_EQ(got.counts, std::vector<int>{3});
    EXPECT_EQ(got.left[0], 0x3322);
    EXPECT_EQ(got.left[1], 0x6655);
    EXPECT_EQ(got.left[2], static_cast<std::int16_t>(0x0088));  // missing byte read as 0
}

// An extensible header's sub-format GUID says how the samples are coded:
// the same four bytes are a float for one GUID and an integer for another;
// a GUID naming neither is refused rather than read as noise.
TEST(WavReaderEdges, ExtensibleSubFormatDecidesTheCoding) {
    test::ScratchDir dir;
    float x = 0.5f;
    std::vector<std::uint8_t> data(4);
    std::memcpy(data.data(), &x, 4);
    const struct {
        std::uint8_t subFormat;
        bool guidTail;
        int expected;  // -1: refused
    } cases[] = {{3, true, 16383}, {1, true, 0x3F00}, {2, true, -1}, {3, false, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.subFormat) * 10 + c.guidTail);
        std::vector<std::uint8_t> extension{22, 0, 32, 0, 4, 0, 0, 0, c.subFormat, 0, 0, 0};
        const std::vector<std::uint8_t> tail{0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        if (c.guidTail) extension.insert(extension.end(), tail.begin(), tail.end());
        else extension.resize(24, 0x55);
        test::WriteAll(dir.File("a.wav"), Wav(0xFFFE, 1, 8000, 4, 32, extension, {}, data));
        WavFileReader reader;
        if (c.expected < 0) {
            EXPECT_EQ(reader.Open(dir.File("a.wav"), 0), 0);
            continue;
        }
        ASSERT_EQ(reader.Open(dir.File("a.wav"), 0), 1);
        auto got = test::ReadAll(reader);
        ASSERT_EQ(got.left.size(), 1u);
        EXPECT_EQ(got.left[0], c.expected);
    }
}

TEST(WavReaderEdges, FloatsBeyondFullScaleAreClamped) {
    test::ScratchDir dir;
    const float values[] = {1.5f, -3.0f, std::nanf(""), 1.0f, -1.0f, 0.25f};
    std::vector<std::uint8_t> data(sizeof values);
    std::memcpy(data.data(), values, sizeof values);
    test::WriteAll(dir.File("a.wav"), Wav(3, 1, 8000, 4, 32, {}, {}, data));
    WavFileReader reader;
    ASSERT_EQ(reader.Open(dir.File("a.wav"), 0), 1);
    auto got = test::ReadAll(reader);
    EXPECT_EQ(got.left, (std::vector<std::int16_t>{32767, -32768, 0, 32767, -32768, 8191}));
}

TEST(WavReaderEdges, StereoPcmWithPartialLastFrameDeliversSilenceForTheMissingPart) {
    test::ScratchDir dir;
    std::vector<std::uint8_t> data{0x00, 0x10, 0x00, 0x20, 0x00, 0x30};  // one frame and a half
    test::WriteAll(dir.File("a.wav"), Wav(1, 2, 8000, 4, 16, {}, {}, data));
    WavFileReader reader;
    ASSERT_EQ(reader.Open(dir.File("a.wav"), 0), 1);
    auto got = test::ReadAll(reader);
    EXPECT_EQ(got.left, (std::vector<std::int16_t>{0x1000, 0x3000}));
    EXPECT_EQ(got.right, (std::vector<std::int16_t>{0x2000, 0}));
}

std::vector<std::uint8_t> MsAdpcmExtension(int samplesPerBlock, int coefficientCount) {
    std::vector<std::uint8_t> e;
    auto put16 = [&](unsigned v) { e.push_back(v & 0xFF); e.push_back((v >> 8) & 0xFF); };
    put16(static_cast<unsigned>(4 + 4 * coefficientCount));
    put16(static_cast<unsigned>(samplesPerBlock));
    put16(static_cast<unsigned>(coefficientCount));
    for (int i = 0; i < coefficientCount; ++i) {
        put16(static_cast<std::uint16_t>(kMsAdpcmStandardCoefficients[i][0]));
        put16(static_cast<std::uint16_t>(kMsAdpcmStandardCoefficients[i][1]));
    }
    return e;
}

TEST(WavReaderEdges, MsAdpcmPredictorBeyondTheCoefficientsEndsTheStream) {
    test::ScratchDir dir;
    // Mono blocks of 7 header bytes + 4 code bytes = 10 samples.
    std::vector<std::uint8_t> good{0, 16, 0, 0x00, 0x10, 0x00, 0x20, 0x12, 0x34, 0x56, 0x78};
    std::vector<std::uint8_t> bad = good;
    bad[0] = 7;  // only seven pairs stored: 0..6
    std::vector<std::uint8_t> data = good;
    data.insert(data.end(), bad.begin(), bad.end());
    data.insert(data.end(), good.begin(), good.end());
    test::WriteAll(dir.File("a.wav"), Wav(2, 1, 8000, 11, 4, MsAdpcmExtension(10, 7), {}, data));
    WavFileReader reader;
    ASSERT_EQ(reader.Open(dir.File("a.wav"), 0), 1);
    auto got = test::ReadAll(reader);
    ASSERT_EQ(got.left.size(), 10u);
    EXPECT_EQ(got.left[0], 0x2000);  // sample2 first
    EXPECT_EQ(got.left[1], 0x1000);
}

// A second format chunk replaces the first one whole: its decoder must not
// run on blocks of the other format's size.
TEST(WavReaderEdges, SecondFormatChunkReplacesTheFirst) {
    test::ScratchDir dir;
    std::vector<std::uint8_t> imaFormat{'f', 'm', 't', ' ', 20, 0, 0, 0, 0x11, 0, 1, 0, 0x40, 0x1F, 0, 0,
                                        0,   0,   0,   0,   36, 0, 4, 0, 2,    0, 65, 0};
    std::vector<std::uint8_t> data(36 * 3, 0x37);
    for (std::size_t block = 0; block < 3; ++block) data[block * 36 + 2] = 10;  // step index
    test::WriteAll(dir.File("a.wav"), Wav(2, 1, 8000, 256, 4, MsAdpcmExtension(500, 7), imaFormat, data));
    WavFileReader reader;
    ASSERT_EQ(reader.Open(dir.File("a.wav"), 0), 1);
    EXPECT_EQ(reader.GetFormatTag(), kWaveFormatImaAdpcm);
    auto got = test::ReadAll(reader);
    EXPECT_EQ(got.left.size(), 3u * 65);
}

struct RejectCase {
    const char* name;
    std::vector<std::uint8_t> file;
};

TEST(WavReaderEdges, UnusableHeadersAreRejectedAtOpen) {
    test::ScratchDir dir;
    std::vector<std::uint8_t> pcm(400, 0x40);
    std::vector<std::uint8_t> imaExtension{2, 0, 0xF9, 0x01};  // 505 samples per block
    const RejectCase cases[] = {
        {"rate 0", Wav(1, 1, 0, 2, 16, {}, {}, pcm)},
        {"no channels", Wav(1, 0, 8000, 2, 16, {}, {}, pcm)},
        {"nine channels", Wav(1, 9, 8000, 18, 16, {}, {}, pcm)},
        {"12-bit pcm", Wav(1, 1, 8000, 2, 12, {}, {}, pcm)},
        {"float 16", Wav(3, 1, 8000, 2, 16, {}, {}, pcm)},
        {"three-channel alaw", Wav(6, 3, 8000, 3, 8, {}, {}, pcm)},
        {"three-channel ima", Wav(0x11, 3, 8000, 1536, 4, imaExtension, {}, pcm)},
        {"ima block align 0", Wav(0x11, 1, 8000, 0, 4, imaExtension, {}, pcm)},
        {"ima block too small", Wav(0x11, 1, 8000, 64, 4, imaExtension, {}, pcm)},
        {"ms adpcm block align 0", Wav(2, 1, 8000, 0, 4, MsAdpcmExtension(10, 7), {}, pcm)},
        {"ms adpcm no coefficients", Wav(2, 1, 8000, 11, 4, MsAdpcmExtension(10, 0), {}, pcm)},
        {"ms adpcm block too small", Wav(2, 1, 8000, 11, 4, MsAdpcmExtension(500, 7), {}, pcm)},
        {"gsm wrong block", Wav(0x31, 1, 8000, 64, 0, {2, 0, 0x40, 0x01}, {}, pcm)},
        {"unknown tag", Wav(0x55, 1, 8000, 1, 0, {}, {}, pcm)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteAll(dir.File("bad.wav"), c.file);
        WavFileReader reader;
        EXPECT_EQ(reader.Open(dir.File("bad.wav"), 0), 0);
        std::vector<std::uint8_t> l(kBlockBufferBytes), r(kBlockBufferBytes);
        EXPECT_EQ(reader.Read(l.data(), r.data()), 0);
    }
    // A data chunk before any format chunk.
    std::vector<std::uint8_t> dataFirst{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 2, 0, 0, 0, 1, 2};
    test::WriteAll(dir.File("bad.wav"), dataFirst);
    WavFileReader reader;
    EXPECT_EQ(reader.Open(dir.File("bad.wav"), 0), 0);
    EXPECT_EQ(reader.Open(dir.File("missing.wav"), 0), 0);
}

TEST_F(WavReaderTest, RawReadsHandOutTheStoredBytes) {
    std::string in = Source(1, 1000);
    WavFileReader reader;
    ASSERT_EQ(reader.Open(in, 0), 1);
    std::vector<std::uint8_t> all, chunk(333);
    for (std::size_t n; (n = reader.ReadRaw(chunk.data(), chunk.size())) > 0;) all.insert(all.end(), chunk.begin(), chunk.begin() + n);
    auto file = test::ReadAll(in);
    EXPECT_EQ(all, std::vector<std::uint8_t>(file.begin() + 44, file.end()));
}

// Damaged copies of every format never crash or read out of bounds.
TEST_F(WavReaderTest, DamagedHeadersNeverCrash) {
    const char* writers[] = {
        "sox {in} -b 8 -e unsigned {out}", "sox {in} -b 24 {out}", "sox {in} -e floating-point -b 64 {out}",
        "sox {in} -e a-law {out}", "sox {in} -e ms-adpcm {out}", "sox {in} -e ima-adpcm {out}",
        "sox {in} -r 8000 -e gsm-full-rate {out}"};
    std::string in = Source(2, 3000);
    int opened = 0;
    for (const char* writer : writers) {
        SCOPED_TRACE(writer);
        std::string out = dir.File("good.wav");
        ASSERT_TRUE(test::Run(Expand(writer, in, out)));
        auto original = test::ReadAll(out);
        test::ForEachMutation(original, dir.File("damaged.wav"), 100, [&] {
            WavFileReader reader;
            if (reader.Open(dir.File("damaged.wav"), 0)) {
                ++opened;
                // Damaged files still come to an end.
                EXPECT_LT(test::ReadAll(reader, 400).counts.size(), 400u);
            }
        });
    }
    EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace tembrel
