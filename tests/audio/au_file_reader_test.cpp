// AuFileReader against AU files written by sox, FFmpeg and libsndfile, the
// G.72x decoder against libsndfile's decoding, and hand-made headers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "audio/au_file_reader.h"
#include "audio_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::Channel;
using test::ShellQuote;

// The data offset of a big-endian AU file.
std::size_t LoadOffset(const std::vector<std::uint8_t>& au) {
    return (static_cast<std::size_t>(au[4]) << 24) | (static_cast<std::size_t>(au[5]) << 16) |
           (static_cast<std::size_t>(au[6]) << 8) | au[7];
}

class AuReaderTest : public test::ToolFixtureTest {
protected:
    using ToolFixtureTest::Convert;
    std::string Convert(const std::string& command, const std::string& out) { return Convert(command, source, out); }
    std::string source;
};

struct LinearCase {
    const char* name;
    const char* writer;
    int channels;
    int encoding;
    bool bigEndian;
};

// Linear PCM in both byte orders: the upper 16 bits of what is stored.
TEST_F(AuReaderTest, LinearPcmDeliversTheStoredSamples) {
    const LinearCase cases[] = {
        {"s8-sox", "sox {in} -e signed -b 8 {out}", 2, kAuEncodingLinear8, true},
        {"s16-sox", "sox {in} {out}", 1, kAuEncodingLinear16, true},
        {"s24-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_s24be -f au {out}", 2, kAuEncodingLinear24, true},
        {"s32-sndfile", "sndfile-convert -pcm32 {in} {out}", 2, kAuEncodingLinear32, true},
        {"s16-little", "sndfile-convert -pcm16 -endian=little {in} {out}", 2, kAuEncodingLinear16, false},
        {"s24-little", "sndfile-convert -pcm24 -endian=little {in} {out}", 1, kAuEncodingLinear24, false},
        {"s32-little", "sndfile-convert -pcm32 -endian=little {in} {out}", 1, kAuEncodingLinear32, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        source = Source(c.channels, 11025, 11025);
        std::string out = Convert(c.writer, std::string(c.name) + ".au");
        AuFileReader reader;
        ASSERT_EQ(reader.Open(out, 0), 1);
        EXPECT_EQ(reader.GetEncoding(), c.encoding);
        EXPECT_EQ(reader.IsBigEndian(), c.bigEndian);
        EXPECT_EQ(reader.GetChannels(), c.channels);
        EXPECT_EQ(reader.GetSampleRate(), 11025);
        EXPECT_EQ(reader.GetBitsPerSample(), 16);
        EXPECT_EQ(reader.GetDuration(), 1);
        auto got = test::ReadAll(reader);
        auto reference = test::SoxDecode32(out);
        for (int ch = 0; ch < c.channels; ++ch) {
            std::vector<std::int16_t> expected;
            for (auto v : Channel(reference, c.channels, ch)) expected.push_back(static_cast<std::int16_t>(v >> 16));
            EXPECT_EQ(ch == 0 ? got.left : got.right, expected);
        }
        if (c.encoding != kAuEncodingLinear8) {
            EXPECT_EQ(got.left, Channel(signal, c.channels, 0));
        }
    }
}

TEST_F(AuReaderTest, CompandedAndFloatData) {
    struct Case {
        const char* name;
        const char* writer;
        int channels;
        int encoding;
    };
    const Case cases[] = {
        {"mulaw-sox", "sox {in} -e mu-law {out}", 2, kAuEncodingMuLaw},
        {"alaw-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_alaw -f au {out}", 1, kAuEncodingALaw},
        {"alaw-little", "sndfile-convert -alaw -endian=little {in} {out}", 1, kAuEncodingALaw},
        {"float-sox", "sox {in} -e floating-point -b 32 {out}", 2, kAuEncodingFloat},
        {"double-sndfile", "sndfile-convert -float64 {in} {out}", 1, kAuEncodingDouble},
        {"float-little", "sndfile-convert -float32 -endian=little {in} {out}", 2, kAuEncodingFloat},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        source = Source(c.channels, 8000, 8000);
        std::string out = Convert(c.writer, std::string(c.name) + ".au");
        AuFileReader reader;
        ASSERT_EQ(reader.Open(out, 0), 1);
        EXPECT_EQ(reader.GetEncoding(), c.encoding);
        auto got = test::ReadAll(reader);
        std::vector<std::int16_t> reference;
        if (c.encoding == kAuEncodingMuLaw || c.encoding == kAuEncodingALaw) {
            reference = test::SoxDecode16(out);
        } else {
            auto raw = test::SoxDecodeRaw(out, "-e floating-point -b 64 -L");
            for (std::size_t i = 0; i + 8 <= raw.size(); i += 8) {
                double x;
                std::memcpy(&x, raw.data() + i, 8);
                reference.push_back(static_cast<std::int16_t>(static_cast<std::int32_t>(std::trunc(x * 2147483647.0)) >> 16));
            }
        }
        EXPECT_EQ(got.left, Channel(reference, c.channels, 0));
        if (c.channels == 2) {
            EXPECT_EQ(got.right, Channel(reference, c.channels, 1));
        }
    }
}

// FFmpeg's AU muxer labels every G.726 rate as G.721; the encoding word is
// set to the rate's own code so that libsndfile decodes the file as well.
std::string G72xFile(const std::string& source, const std::string& out, const char* bitrate, std::uint8_t encoding) {
    test::Run("ffmpeg -v error -y -i " + ShellQuote(source) + " -c:a g726le -b:a " + bitrate + " -f au " + ShellQuote(out));
    auto bytes = test::ReadAll(out);
    EXPECT_GE(bytes.size(), 24u);
    if (bytes.size() >= 24) bytes[15] = encoding;
    test::WriteAll(out, bytes);
    return out;
}

TEST_F(AuReaderTest, G72xMatchesTheReferenceDecoding) {
    struct Case {
        const char* bitrate;
        std::uint8_t encoding;
        int bytesPerRead;
    };
    const Case cases[] = {{"32k", kAuEncodingG721, 576}, {"24k", kAuEncodingG723_24, 432}, {"40k", kAuEncodingG723_40, 720}};
    source = Source(1, 8000 * 2, 8000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bitrate);
        std::string out = G72xFile(source, dir.File(std::string("g72x") + c.bitrate + ".au"), c.bitrate, c.encoding);
        AuFileReader reader;
        ASSERT_EQ(reader.Open(out, 0), 1);
        EXPECT_EQ(reader.GetEncoding(), c.encoding);
        EXPECT_EQ(reader.GetDuration(), 2);
        std::vector<std::int16_t> first(kSamplesPerBlock);
        ASSERT_EQ(reader.Read(first.data(), nullptr), kSamplesPerBlock);
        EXPECT_EQ(reader.GetPosition(), static_cast<std::uint64_t>(c.bytesPerRead));
        auto rest = test::ReadAll(reader);
        first.insert(first.end(), rest.left.begin(), rest.left.end());
        EXPECT_EQ(first.size(), 16000u);
        // sox decodes G.72x with the ITU reference algorithm: equal sample for
        // sample.
        auto reference = test::SoxDecode16(out);
        std::size_t compared = 0;
        EXPECT_EQ(test::MaxDifference(first, reference, &compared), 0);
        EXPECT_EQ(compared, 16000u);
        // libsndfile carries a reworked copy of that code whose rounding
        // drifts a little; its decoding stays close in power. (FFmpeg's
        // 40 kbit/s stream overdrives both decoders at the peaks, where their
        // 16-bit results wrap at different samples, so only the sox check
        // holds there.)
        if (c.encoding == kAuEncodingG723_40) continue;
        auto sndfile = test::SndfileDecode16(out, dir.Path());
        double difference = 0, power = 0;
        for (std::size_t i = 0; i < std::min(first.size(), sndfile.size()); ++i) {
            difference += std::pow(first[i] - sndfile[i], 2);
            power += std::pow(sndfile[i], 2);
        }
        EXPECT_LT(difference, power / 16) << "signal-to-difference below 12 dB";
    }
}

// Two channels of G.721 codes, interleaved code by code, decode as the two
// mono streams they were made from: each channel keeps its own state.
TEST_F(AuReaderTest, StereoG721KeepsAStatePerChannel) {
    source = Source(1, 4000, 8000);
    std::string a = G72xFile(source, dir.File("a.au"), "32k", kAuEncodingG721);
    auto aBytes = test::ReadAll(a);
    auto reversed = signal;
    std::reverse(reversed.begin(), reversed.end());
    test::WritePcm16Wav(dir.File("rev.wav"), reversed, 1, 8000);
    std::string b = G72xFile(dir.File("rev.wav"), dir.File("b.au"), "32k", kAuEncodingG721);
    auto bBytes = test::ReadAll(b);
    const std::size_t offset = LoadOffset(aBytes);
    ASSERT_EQ(aBytes.size() - offset, bBytes.size() - LoadOffset(bBytes));
    std::vector<std::uint8_t> stereo(aBytes.begin(), aBytes.begin() + static_cast<std::ptrdiff_t>(offset));
    stereo[23] = 2;
    stereo[8] = stereo[9] = stereo[10] = stereo[11] = 0xFF;
    for (std::size_t i = offset; i < aBytes.size(); ++i) {
        std::uint8_t x = aBytes[i], y = bBytes[i - offset + LoadOffset(bBytes)];
        stereo.push_back(static_cast<std::uint8_t>((x & 0x0F) | (y << 4)));
        stereo.push_back(static_cast<std::uint8_t>((x >> 4) | (y & 0xF0)));
    }
    test::WriteAll(dir.File("stereo.au"), stereo);
    AuFileReader mono, both;
    ASSERT_EQ(mono.Open(a, 0), 1);
    auto left = test::ReadAll(mono).left;
    ASSERT_EQ(mono.Open(b, 0), 1);
    auto right = test::ReadAll(mono).left;
    ASSERT_EQ(both.Open(dir.File("stereo.au"), 0), 1);
    EXPECT_EQ(both.GetChannels(), 2);
    auto got = test::ReadAll(both);
    EXPECT_EQ(got.left, left);
    EXPECT_EQ(got.right, right);
}

std::vector<std::uint8_t> AuHeader(bool big, std::uint32_t offset, std::uint32_t size, std::uint32_t encoding,
                                   std::uint32_t rate, std::uint32_t channels) {
    std::vector<std::uint8_t> h;
    auto put = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) h.push_back(static_cast<std::uint8_t>(big ? v >> (24 - 8 * i) : v >> (8 * i)));
    };
    put(0x2E736E64);
    put(offset);
    put(size);
    put(encoding);
    put(rate);
    put(channels);
    h.resize(offset, 0);
    return h;
}

TEST(AuReaderEdges, HeaderCorrectionsAndUnknownSize) {
    test::ScratchDir dir;
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 4000; ++i) {
        data.push_back(static_cast<std::uint8_t>(i >> 4));
        data.push_back(static_cast<std::uint8_t>(i));
    }
    struct Case {
        const char* name;
        std::uint32_t size, rate, channels;
        int wantRate, wantChannels;
        std::uint64_t wantLength;
        // Samples per channel the header declares (0: nothing) and the
        // file's bytes can hold.
        std::uint64_t wantDeclared, wantHoldable;
    };
    const Case cases[] = {
        {"size not given", 0xFFFFFFFF, 8000, 1, 8000, 1, 8000, 0, 4000},
        {"size left at a stand-in", 0x7FFFF000, 8000, 1, 8000, 1, 8000, 0, 4000},
        {"rate 500", 8000, 500, 1, 8000, 1, 8000, 4000, 4000},
        {"rate 200000", 8000, 200000, 2, 8000, 2, 8000, 2000, 2000},
        {"four channels", 6000, 22050, 4, 22050, 1, 6000, 3000, 4000},
        {"size 0", 0, 8000, 1, 8000, 1, 0, 0, 4000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = AuHeader(true, 32, c.size, kAuEncodingLinear16, c.rate, c.channels);
        file.insert(file.end(), data.begin(), data.end());
        test::WriteAll(dir.File("a.au"), file);
        AuFileReader reader;
        ASSERT_EQ(reader.Open(dir.File("a.au"), 0), 1);
        EXPECT_EQ(reader.GetSampleRate(), c.wantRate);
        EXPECT_EQ(reader.GetChannels(), c.wantChannels);
        EXPECT_EQ(reader.GetLength(), c.wantLength);
        EXPECT_EQ(reader.DeclaredSamples(), c.wantDeclared);
        EXPECT_EQ(reader.HoldableSamples(), c.wantHoldable);
        auto got = test::ReadAll(reader);
        EXPECT_EQ(got.left.size(), c.wantLength / 2 / static_cast<std::uint64_t>(c.wantChannels));
        if (!got.left.empty()) {
            EXPECT_EQ(got.left[1], c.wantChannels == 1 ? 0x0001 : 0x0002);
        }
    }
}

TEST(AuReaderEdges, ShiftedEncodingWordIsFound) {
    test::ScratchDir dir;
    // Encoding word unusable at 12; the real fields start one byte later.
    std::vector<std::uint8_t> h{0x2E, 0x73, 0x6E, 0x64, 0, 0, 0, 40, 0, 0, 0, 4, 0xFF, 0, 0, 0,
                                kAuEncodingLinear8, 0, 0, 0x2B, 0x11, 0, 0, 0, 2};
    h.resize(40, 0);
    h.insert(h.end(), {0x10, 0xF0, 0x20, 0xE0});
    test::WriteAll(dir.File("a.au"), h);
    AuFileReader reader;
    ASSERT_EQ(reader.Open(dir.File("a.au"), 0), 1);
    EXPECT_EQ(reader.GetEncoding(), kAuEncodingLinear8);
    EXPECT_EQ(reader.GetSampleRate(), 11025);
    EXPECT_EQ(reader.GetChannels(), 2);
    auto got = test::ReadAll(reader);
    EXPECT_EQ(got.left, (std::vector<std::int16_t>{0x1000, 0x2000}));
    EXPECT_EQ(got.right, (std::vector<std::int16_t>{-0x1000, -0x2000}));
}

TEST(AuReaderEdges, RefusedHeaders) {
    test::ScratchDir dir;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
    };
    auto shortHeader = AuHeader(true, 24, 0, 3, 8000, 1);
    shortHeader.resize(23);
    auto badMagic = AuHeader(true, 24, 0, 3, 8000, 1);
    badMagic[0] = 'X';
    auto noWord = AuHeader(true, 24, 0, 99, 8000, 1);
    std::fill(noWord.begin() + 12, noWord.end(), 0xFF);
    const Case cases[] = {
        {"short header", shortHeader},
        {"bad magic", badMagic},
        {"offset below 24", AuHeader(true, 24, 0, 3, 8000, 1)},
        {"G.722", AuHeader(true, 24, 0, 24, 8000, 1)},
        {"encoding 8", AuHeader(true, 24, 0, 8, 8000, 1)},
        {"encoding 0", AuHeader(false, 24, 0, 0, 8000, 1)},
        {"no plausible encoding", noWord},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = c.file;
        if (std::string(c.name) == "offset below 24") file[7] = 20;
        test::WriteAll(dir.File("bad.au"), file);
        AuFileReader reader;
        EXPECT_EQ(reader.Open(dir.File("bad.au"), 0), 0);
    }
}

TEST_F(AuReaderTest, DamagedHeadersNeverCrash) {
    const char* writers[] = {"sox {in} -e signed -b 8 {out}", "sox {in} -b 24 {out}", "sndfile-convert -float64 -endian=little {in} {out}",
                             "sox {in} -e mu-law {out}"};
    source = Source(2, 2000, 8000);
    int opened = 0;
    auto check = [&] {
        AuFileReader reader;
        if (reader.Open(dir.File("damaged.au"), 0)) {
            ++opened;
            // Damaged files still come to an end.
            EXPECT_LT(test::ReadAll(reader, 200).counts.size(), 200u);
        }
    };
    for (const char* writer : writers) {
        SCOPED_TRACE(writer);
        std::string out = Convert(writer, "good.au");
        test::ForEachMutation(test::ReadAll(out), dir.File("damaged.au"), 48, check);
    }
    test::WritePcm16Wav(dir.File("mono.wav"), test::MakeSignal(2000, 1, 8000), 1, 8000);
    std::string g = G72xFile(dir.File("mono.wav"), dir.File("g.au"), "40k", kAuEncodingG723_40);
    test::ForEachMutation(test::ReadAll(g), dir.File("damaged.au"), 48, check);
    EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace tembrel
