// AiffFileReader against AIFF/AIFC files written by sox, FFmpeg and
// libsndfile and decoded by them, and hand-made files for the layouts the
// tools do not write.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "audio/aiff_file_reader.h"
#include "audio_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::Channel;
using test::ShellQuote;

class AiffReaderTest : public test::ToolFixtureTest {};

struct ToolCase {
    const char* name;
    const char* writer;
    int channels;
    AiffDecoderKind kind;
    test::Decoder reference;
    bool viaFloat;  // compare against the truncating float conversion
};

// FFmpeg's IMA decoders round the step sum differently from the bitwise
// expansion; libsndfile is the reference for IMA4.
TEST_F(AiffReaderTest, FormatsMatchIndependentDecoders) {
    using K = AiffDecoderKind;
    using D = test::Decoder;
    const ToolCase cases[] = {
        {"s16-sox", "sox {in} -t aiff {out}", 2, K::IntegerPcm, D::Sox, false},
        {"s24-sox", "sox {in} -t aiff -b 24 {out}", 1, K::IntegerPcm, D::Sox, false},
        {"s32-sndfile", "sndfile-convert -pcm32 {in} {out}", 2, K::IntegerPcm, D::Sox, false},
        {"sowt-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_s16le -f aiff {out}", 2, K::IntegerPcm, D::Sox, false},
        {"23ni32-sndfile", "sndfile-convert -pcm32 -endian=little {in} {out}", 1, K::IntegerPcm, D::Sndfile, false},
        {"sowt-sndfile", "sndfile-convert -pcm16 -endian=little {in} {out}", 2, K::IntegerPcm, D::Ffmpeg, false},
        {"fl32-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_f32be -f aiff {out}", 2, K::Float32, D::Sox, true},
        {"fl64-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_f64be -f aiff {out}", 1, K::Float64, D::Sox, true},
        {"fl32-sndfile", "sndfile-convert -float32 {in} {out}", 1, K::Float32, D::Sox, true},
        {"ulaw-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_mulaw -f aiff {out}", 2, K::MuLaw, D::Sndfile, false},
        {"alaw-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_alaw -f aiff {out}", 1, K::ALaw, D::Sndfile, false},
        {"ulaw-sndfile", "sndfile-convert -ulaw {in} {out}", 1, K::MuLaw, D::Ffmpeg, false},
        {"ima4-ffmpeg", "ffmpeg -v error -y -i {in} -c:a adpcm_ima_qt -f aiff {out}", 2, K::Ima4, D::Sndfile, false},
        {"ima4-mono", "ffmpeg -v error -y -i {in} -c:a adpcm_ima_qt -f aiff {out}", 1, K::Ima4, D::Sndfile, false},
        {"dwvw16-sndfile", "sndfile-convert -dwvw16 {in} {out}", 1, K::Dwvw, D::Sndfile, false},
        {"dwvw24-sndfile", "sndfile-convert -dwvw24 {in} {out}", 1, K::Dwvw, D::Sndfile, false},
        {"six-sox", "sox {in} -t aiff {out}", 6, K::IntegerPcm, D::Sox, false},
        {"three-sox", "sox {in} -t aiff {out}", 3, K::IntegerPcm, D::Sox, false},
        {"four-ffmpeg", "ffmpeg -v error -y -i {in} -c:a pcm_mulaw -f aiff {out}", 4, K::MuLaw, D::Sndfile, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string in = Source(c.channels, 11025 + 333, 11025);
        std::string out = Convert(c.writer, in, std::string(c.name) + ".aif");
        AiffFileReader reader;
        ASSERT_EQ(reader.Open(out, 0), 1);
        EXPECT_EQ(reader.GetDecoderKind(), c.kind);
        EXPECT_EQ(reader.GetSampleRate(), 11025);
        EXPECT_EQ(reader.GetSourceChannels(), c.channels);
        EXPECT_EQ(reader.GetChannels(), c.channels == 1 ? 1 : 2);
        EXPECT_EQ(reader.GetBitsPerSample(), 16);
        EXPECT_EQ(reader.GetDuration(), 1);
        EXPECT_EQ(reader.GetLength(), static_cast<std::uint64_t>(test::ReadAll(out).size()));
        auto got = test::ReadAll(reader);
        std::vector<std::int16_t> reference;
        if (c.viaFloat) {
            auto raw = test::SoxDecodeRaw(out, "-e floating-point -b 64 -L");
            for (std::size_t i = 0; i + 8 <= raw.size(); i += 8) {
                double x;
                std::memcpy(&x, raw.data() + i, 8);
                reference.push_back(static_cast<std::int16_t>(static_cast<std::int32_t>(std::trunc(x * 2147483647.0)) >> 16));
            }
        } else if (c.reference == D::Sox && c.kind == K::IntegerPcm) {
            for (auto v : test::SoxDecode32(out)) reference.push_back(static_cast<std::int16_t>(v >> 16));
        } else {
            reference = test::Decode16(c.reference, out, dir.Path());
        }
        // Delivered channels: 1 and 2, or 1 and 4 of six.
        const int rightChannel = c.channels == 6 ? 3 : 1;
        std::size_t compared = 0;
        EXPECT_EQ(test::MaxDifference(got.left, Channel(reference, c.channels, 0), &compared), 0);
        EXPECT_GE(compared + 64, Channel(reference, c.channels, 0).size());
        if (c.channels > 1) {
            EXPECT_EQ(test::MaxDifference(got.right, Channel(reference, c.channels, rightChannel), &compared), 0);
            EXPECT_EQ(got.right.size(), got.left.size());
        }
        if (c.kind == K::IntegerPcm) {
            EXPECT_EQ(got.left, Channel(signal, c.channels, 0));
        }
        if (c.kind == K::Ima4 || c.kind == K::Dwvw) {
            // Past the first packets, where IMA4 is still adapting its step.
            auto ours = std::vector<std::int16_t>(got.left.begin() + 256, got.left.end());
            auto original = Channel(signal, c.channels, 0);
            EXPECT_LT(test::MaxDifference(ours, std::vector<std::int16_t>(original.begin() + 256, original.end())), 4000);
        }
    }
}

TEST_F(AiffReaderTest, EightBitFilesDeliverUnsignedBytes) {
    std::string in = Source(2, 3000, 8000);
    for (const char* writer : {"sox {in} -t aiff -b 8 {out}", "sndfile-convert -pcmu8 {in} {out}"}) {
        SCOPED_TRACE(writer);
        std::string out = Convert(writer, in, "eight.aif");
        AiffFileReader reader;
        ASSERT_EQ(reader.Open(out, 0), 1);
        EXPECT_EQ(reader.GetBitsPerSample(), 8);
        auto got = test::ReadAll(reader);
        // libsndfile widens 8-bit samples exactly: (u - 128) * 256.
        std::vector<std::uint8_t> reference;
        for (auto v : test::SndfileDecode16(out, dir.Path())) reference.push_back(static_cast<std::uint8_t>((v >> 8) + 128));
        EXPECT_EQ(got.left8, Channel(reference, 2, 0));
        EXPECT_EQ(got.right8, Channel(reference, 2, 1));
    }
}

// Builds an AIFF or AIFC file from its chunks.
struct AiffBuilder {
    std::vector<std::uint8_t> bytes;
    void Put16(unsigned v) { bytes.push_back((v >> 8) & 0xFF); bytes.push_back(v & 0xFF); }
    void Put32(std::uint32_t v) { Put16(v >> 16); Put16(v & 0xFFFF); }
    void Id(const char* id) { bytes.insert(bytes.end(), id, id + 4); }
    void Rate(double rate) {
        int exponent;
        double mantissa = std::frexp(rate, &exponent);  // rate = mantissa * 2^exponent, 0.5 <= m < 1
        unsigned sign = rate < 0 ? 0x8000 : 0;
        if (rate == 0) {
            Put16(0);
            Put32(0);
            Put32(0);
            return;
        }
        Put16(sign | static_cast<unsigned>(16383 + exponent - 1));
        auto m = static_cast<std::uint64_t>(std::ldexp(std::fabs(mantissa), 64));
        Put32(static_cast<std::uint32_t>(m >> 32));
        Put32(static_cast<std::uint32_t>(m));
    }
    void Comm(bool aifc, int channels, std::uint32_t frames, int bits, double rate, const char* type = "NONE") {
        Id("COMM");
        Put32(aifc ? 24 : 18);
        Put16(static_cast<unsigned>(channels));
        Put32(frames);
        Put16(static_cast<unsigned>(bits));
        Rate(rate);
        if (aifc) {
            Id(type);
            Put16(0);
        }
    }
    void Ssnd(const std::vector<std::uint8_t>& data, std::uint32_t offset = 0) {
        Id("SSND");
        Put32(static_cast<std::uint32_t>(data.size() + 8 + offset));
        Put32(offset);
        Put32(0);
        bytes.insert(bytes.end(), offset, 0xEE);
        bytes.insert(bytes.end(), data.begin(), data.end());
        if (data.size() & 1) bytes.push_back(0);
    }
    std::vector<std::uint8_t> Form(bool aifc) const {
        std::vector<std::uint8_t> f{'F', 'O', 'R', 'M', 0, 0, 0, 0};
        f.insert(f.end(), {'A', 'I', 'F', static_cast<std::uint8_t>(aifc ? 'C' : 'F')});
        f.insert(f.end(), bytes.begin(), bytes.end());
        auto size = static_cast<std::uint32_t>(f.size() - 8);
        f[4] = size >> 24; f[5] = (size >> 16) & 0xFF; f[6] = (size >> 8) & 0xFF; f[7] = size & 0xFF;
        return f;
    }
};

TEST(AiffReaderEdges, SoundBeforeCommonChunkAndOddChunks) {
    test::ScratchDir dir;
    std::vector<std::uint8_t> data{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    AiffBuilder b;
    b.Id("NAME");
    b.Put32(3);
    b.bytes.insert(b.bytes.end(), {'a', 'b', 'c', 0});  // odd chunk and its pad byte
    b.Ssnd(data, 4);
    b.Comm(false, 1, 3, 16, 44100);
    test::WriteAll(dir.File("a.aif"), b.Form(false));
    AiffFileReader reader;
    ASSERT_EQ(reader.Open(dir.File("a.aif"), 0), 1);
    EXPECT_EQ(reader.GetSampleRate(), 44100);
    auto got = test::ReadAll(reader);
    EXPECT_EQ(got.left, (std::vector<std::int16_t>{0x1234, 0x5678, static_cast<std::int16_t>(0x9ABC)}));
}

TEST(AiffReaderEdges, TwelveBitUsesTwoBytesAndFrameCountZeroGivesPcmBitrate) {
    test::ScratchDir dir;
    AiffBuilder b;
    b.Comm(false, 2, 0, 12, 8000);
    b.Ssnd({0x12, 0x30, 0xAB, 0xC0, 0x7F, 0xF0, 0x80, 0x00});
    test::WriteAll(dir.File("a.aif"), b.Form(false));
    AiffFileReader reader;
    ASSERT_EQ(reader.Open(dir.File("a.aif"), 0), 1);
    EXPECT_EQ(reader.GetDuration(), 0);
    EXPECT_EQ(reader.GetBitrate(), 12 * 2 * 8000 / 1000);
    auto got = test::ReadAll(reader);
    EXPECT_EQ(got.left, (std::vector<std::int16_t>{0x1230, 0x7FF0}));
    EXPECT_EQ(got.right, (std::vector<std::int16_t>{static_cast<std::int16_t>(0xABC0), static_cast<std::int16_t>(0x8000)}));
}

TEST(AiffReaderEdges, SoundLengthsLeftOpenDeclareNothingAndCutOnesStayDeclared) {
    // Eight 16-bit frames, or one IMA4 packet of 64, behind the sizes that
    // writers to a pipe leave (FFmpeg's 0, all ones, sox's 2 GB) and behind
    // true sizes of files cut short: the first run to the end of the file
    // and declare nothing; the others declare what their header says, a
    // mono IMA4 sound of 2.7 GB more frames than 32 bits count.
    test::ScratchDir dir;
    const std::vector<std::uint8_t> pcm{0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8};
    const std::vector<std::uint8_t> packet(34, 0x11);
    const struct {
        const char* name;
        const char* type;  // nullptr: plain AIFF
        std::uint32_t frames, ssndSize;
        std::uint64_t wantDeclared, wantHoldable, wantRead;
    } cases[] = {
        {"size 0", nullptr, 0, 0, 0, 8, 8},
        {"size all ones", nullptr, 0xFFFFFFFF, 0xFFFFFFFF, 0, 8, 8},
        {"sox to a pipe", nullptr, 0x3F800000, 0x7F000008, 0, 8, 8},
        {"cut short", nullptr, 16, 32 + 8, 16, 8, 8},
        {"mono IMA4 cut short", "ima4", 0, 0xA0000008, std::uint64_t{0xA0000000} / 34 * 64, 64, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AiffBuilder b;
        b.Comm(c.type != nullptr, 1, c.frames, 16, 8000, c.type ? c.type : "NONE");
        b.Id("SSND");
        b.Put32(c.ssndSize);
        b.Put32(0);
        b.Put32(0);
        const auto& data = c.type ? packet : pcm;
        b.bytes.insert(b.bytes.end(), data.begin(), data.end());
        test::WriteAll(dir.File("a.aif"), b.Form(c.type != nullptr));
        AiffFileReader reader;
        ASSERT_EQ(reader.Open(dir.File("a.aif"), 0), 1);
        EXPECT_EQ(reader.DeclaredSamples(), c.wantDeclared);
        EXPECT_EQ(reader.HoldableSamples(), c.wantHoldable);
        EXPECT_EQ(test::ReadAll(reader).left.size(), c.wantRead);
    }
}

// No installed tool writes GSM into AIFC: sox writes the raw 33-byte frames
// and the test wraps them.
TEST_F(AiffReaderTest, GsmFramesDecodeLikeSox) {
    std::string in = Source(1, 8000, 8000);
    std::string gsm = Convert("sox {in} {out}", in, "frames.gsm");
    auto frames = test::ReadAll(gsm);
    ASSERT_EQ(frames.size() % 33, 0u);
    auto reference = test::SoxDecode16(gsm);
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        AiffBuilder b;
        b.Comm(true, channels, 0, 16, 8000, "gsm ");
        b.Ssnd(frames);
        test::WriteAll(dir.File("gsm.aifc"), b.Form(true));
        AiffFileReader reader;
        ASSERT_EQ(reader.Open(dir.File("gsm.aifc"), 0), 1);
        EXPECT_EQ(reader.GetDecoderKind(), AiffDecoderKind::Gsm);
        EXPECT_EQ(reader.GetSampleFrames(), frames.size() / 33 * 160);
        auto got = test::ReadAll(reader);
        ASSERT_FALSE(got.counts.empty());
        EXPECT_EQ(got.counts[0], channels == 1 ? 160 : 80);
        if (channels == 1) {
            EXPECT_EQ(got.left, reference);
        } else {
            EXPECT_EQ(got.left, Channel(reference, 2, 0));
            EXPECT_EQ(got.right, Channel(reference, 2, 1));
        }
    }
}

// DWVW data that end inside a value, or hold nothing but zero bits, end the
// stream after the bits they hold: no values are made up past the end.
TEST(AiffReaderEdges, DwvwStreamsEndWithTheirData) {
    test::ScratchDir dir;
    for (int bits : {8, 12, 16, 24}) {
        for (std::uint8_t fill : {0x00, 0xFF, 0x55}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, bytes " + std::to_string(fill));
            AiffBuilder b;
            b.Comm(true, 1, 1000, bits, 8000, "DWVW");
            b.Ssnd(std::vector<std::uint8_t>(301, fill));
            test::WriteAll(dir.File("d.aif"), b.Form(true));
            AiffFileReader reader;
            ASSERT_EQ(reader.Open(dir.File("d.aif"), 0), 1);
            auto got = test::ReadAll(reader, 100);
            EXPECT_LT(got.counts.size(), 100u);
            // Every value takes at least one bit.
            EXPECT_LE(got.left.size(), 301u * 8);
        }
    }
}

TEST(AiffReaderEdges, RefusedFiles) {
    test::ScratchDir dir;
    std::vector<std::uint8_t> data(64, 0);
    auto make = [&](bool aifc, int channels, int bits, double rate, const char* type) {
        AiffBuilder b;
        b.Comm(aifc, channels, 32, bits, rate, type);
        b.Ssnd(data);
        return b.Form(aifc);
    };
    AiffBuilder onlyComm;
    onlyComm.Comm(false, 1, 32, 16, 8000);
    AiffBuilder wrongSize;
    wrongSize.Id("COMM");
    wrongSize.Put32(20);
    wrongSize.bytes.resize(wrongSize.bytes.size() + 20, 0);
    wrongSize.Ssnd(data);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
    };
    const Case cases[] = {
        {"five channels", make(false, 5, 16, 8000, "NONE")},
        {"no channels", make(false, 0, 16, 8000, "NONE")},
        {"rate 0", make(false, 1, 16, 0, "NONE")},
        {"rate below 1", make(false, 1, 16, 0.5, "NONE")},
        {"rate beyond int", make(false, 1, 16, 1e12, "NONE")},
        {"negative rate", make(false, 1, 16, -8000, "NONE")},
        {"48-bit pcm", make(false, 1, 48, 8000, "NONE")},
        {"0-bit pcm", make(false, 1, 0, 8000, "NONE")},
        {"unknown compression", make(true, 1, 16, 8000, "ACE2")},
        {"dwvw 32", make(true, 1, 32, 8000, "DWVW")},
        {"dwvw 6 channels", make(true, 6, 16, 8000, "DWVW")},
        {"ima4 4 channels", make(true, 4, 16, 8000, "ima4")},
        {"no ssnd", onlyComm.Form(false)},
        {"comm of 20 bytes in aiff", wrongSize.Form(false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteAll(dir.File("bad.aif"), c.file);
        AiffFileReader reader;
        EXPECT_EQ(reader.Open(dir.File("bad.aif"), 0), 0);
    }
    // Infinite rate (exponent all ones).
    auto infinite = make(false, 1, 16, 8000, "NONE");
    infinite[12 + 8 + 8] = 0x7F;
    infinite[12 + 8 + 9] = 0xFF;
    test::WriteAll(dir.File("bad.aif"), infinite);
    AiffFileReader reader;
    EXPECT_EQ(reader.Open(dir.File("bad.aif"), 0), 0);
    // "sowt" is taken in any case.
    test::WriteAll(dir.File("ok.aif"), make(true, 1, 16, 8000, "sowt"));
    ASSERT_EQ(reader.Open(dir.File("ok.aif"), 0), 1);
    EXPECT_TRUE(reader.IsLittleEndian());
}

TEST_F(AiffReaderTest, DamagedHeadersNeverCrash) {
    std::string stereo = Source(2, 2000, 8000);
    std::string mono = Source(1, 2000, 8000);
    const std::pair<const char*, const std::string*> writers[] = {
        {"sox {in} -t aiff -b 8 {out}", &stereo},
        {"sndfile-convert -pcm32 -endian=little {in} {out}", &stereo},
        {"ffmpeg -v error -y -i {in} -c:a pcm_f64be -f aiff {out}", &stereo},
        {"ffmpeg -v error -y -i {in} -c:a adpcm_ima_qt -f aiff {out}", &stereo},
        {"sndfile-convert -dwvw24 {in} {out}", &mono},
        {"sox {in} -t aiff {out}", &mono},
    };
    int opened = 0;
    auto check = [&] {
        AiffFileReader reader;
        if (reader.Open(dir.File("damaged.aif"), 0)) {
            ++opened;
            // Damaged files still come to an end.
            EXPECT_LT(test::ReadAll(reader, 300).counts.size(), 300u);
        }
    };
    for (const auto& [writer, in] : writers) {
        SCOPED_TRACE(writer);
        std::string out = Convert(writer, *in, "good.aif");
        test::ForEachMutation(test::ReadAll(out), dir.File("damaged.aif"), 90, check);
    }
    EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace tembrel
