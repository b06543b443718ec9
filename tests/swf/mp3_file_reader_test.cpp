#include "swf/mp3_file_reader.h"

#include <gtest/gtest.h>

#include "mp3_test_frames.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::ReadAll;
using test::ScratchDir;
using test::TestFrameHeader;
using test::TestFrames;
using test::WriteAll;
using Bytes = std::vector<std::uint8_t>;

Bytes WithBody(Bytes header, std::size_t length) {
    header.resize(length, 0x55);
    return header;
}

struct OpenCase {
    const char* name;
    Bytes bytes;
    bool opens;
    int channels = 0;
    int sampleRate = 0;
    int bitRate = 0;
    int samplesPerFrame = 0;
};

class Mp3OpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(Mp3OpenTest, AcceptsOnlyFramesSwfCanCarry) {
    const OpenCase& c = GetParam();
    ScratchDir dir;
    WriteAll(dir.File("in.mp3"), c.bytes);
    Mp3FileReader reader;
    ASSERT_EQ(reader.Open(dir.File("in.mp3")), c.opens);
    EXPECT_EQ(reader.IsOpen(), c.opens);
    EXPECT_EQ(reader.Channels(), c.channels);
    EXPECT_EQ(reader.SampleRate(), c.sampleRate);
    EXPECT_EQ(reader.BitRate(), c.bitRate);
    EXPECT_EQ(reader.SamplesPerMp3Frame(), c.samplesPerFrame);
}

Bytes Id3ThenFrames() {
    Bytes bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes frames = TestFrames(test::kFrame44100, 3);
    bytes.insert(bytes.end(), frames.begin(), frames.end());
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, Mp3OpenTest,
    ::testing::Values(
        OpenCase{"Mpeg1_44100_Mono", TestFrames(test::kFrame44100, 2), true, 1, 44100, 128, 1152},
        OpenCase{"Mpeg1_44100_JointStereo", TestFrames(test::kFrame44100, 2, false), true, 2, 44100, 128, 1152},
        OpenCase{"Mpeg2_22050_Mono", TestFrames(test::kFrame22050, 1), true, 1, 22050, 64, 576},
        OpenCase{"Mpeg25_11025_Stereo", TestFrames(test::kFrame11025, 1, false), true, 2, 11025, 32, 576},
        // Dual channel (mode 2) counts as two channels.
        OpenCase{"DualChannel", {0xFF, 0xFB, 0x90, 0x80}, true, 2, 44100, 128, 1152},
        // A file cut inside its first frame still opens; it just yields no block.
        OpenCase{"TruncatedInFirstFrame", WithBody(TestFrameHeader(3, 1, 9, 0, 0, true), 100), true, 1, 44100, 128,
                 1152},
        OpenCase{"Id3TagFirst", Id3ThenFrames(), false},
        OpenCase{"LeadingZeroByte", [] { Bytes b{0}; Bytes f = TestFrames(test::kFrame44100, 2); b.insert(b.end(), f.begin(), f.end()); return b; }(), false},
        OpenCase{"Mpeg1_48000", WithBody(TestFrameHeader(3, 1, 9, 1, 0, true), 384), false},
        OpenCase{"Mpeg1_32000", WithBody(TestFrameHeader(3, 1, 9, 2, 0, true), 576), false},
        OpenCase{"Mpeg2_24000", WithBody(TestFrameHeader(2, 1, 8, 1, 0, true), 192), false},
        OpenCase{"Mpeg25_8000", WithBody(TestFrameHeader(0, 1, 4, 2, 0, true), 288), false},
        OpenCase{"ReservedSampleRate", WithBody(TestFrameHeader(3, 1, 9, 3, 0, true), 417), false},
        OpenCase{"FreeFormat", WithBody(TestFrameHeader(3, 1, 0, 0, 0, true), 417), false},
        OpenCase{"ForbiddenBitRate", WithBody(TestFrameHeader(3, 1, 15, 0, 0, true), 417), false},
        OpenCase{"ReservedVersion", WithBody(TestFrameHeader(1, 1, 9, 0, 0, true), 417), false},
        OpenCase{"ReservedLayer", WithBody(TestFrameHeader(3, 0, 9, 0, 0, true), 417), false},
        OpenCase{"ReservedEmphasis", WithBody(TestFrameHeader(3, 1, 9, 0, 0, true, 2), 417), false},
        OpenCase{"SyncOnlyElevenBits", {0xFF, 0xDB, 0x90, 0xC0}, false},
        OpenCase{"ThreeBytes", {0xFF, 0xFB, 0x90}, false},
        OpenCase{"Empty", {}, false}),
    [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });

TEST(Mp3FileReaderTest, MissingFileDoesNotOpen) {
    ScratchDir dir;
    Mp3FileReader reader;
    EXPECT_FALSE(reader.Open(dir.File("absent.mp3")));
}

TEST(Mp3FileReaderTest, FailedOpenClearsWhatAnEarlierFileLeft) {
    ScratchDir dir;
    WriteAll(dir.File("good.mp3"), TestFrames(test::kFrame44100, 2));
    WriteAll(dir.File("bad.mp3"), WithBody(TestFrameHeader(3, 1, 9, 1, 0, true), 384));
    Mp3FileReader reader;
    ASSERT_TRUE(reader.Open(dir.File("good.mp3")));
    EXPECT_FALSE(reader.Open(dir.File("bad.mp3")));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.SampleRate(), 0);
    EXPECT_EQ(reader.Channels(), 0);
    EXPECT_EQ(reader.NextFrame(), 0);
}

// Walks frames from the top of the file (Open leaves the position after the
// first header).
class FrameWalker : public Mp3FileReader {
public:
    bool Restart() { return file_.Seek(0) == 0; }
};

struct LengthCase {
    int version, bitRateIndex, sampleRateIndex, padding;
    int length;
};

TEST(Mp3FileReaderTest, FrameLengthsOfLayerThreeFrames) {
    // Known frame sizes of common encodings, with and without padding.
    const LengthCase cases[] = {
        {3, 9, 0, 0, 417},  {3, 9, 0, 1, 418},   // MPEG-1 128 kbit/s 44100 Hz
        {3, 14, 0, 0, 1044}, {3, 1, 0, 0, 104},  // MPEG-1 320 and 32 kbit/s
        {3, 9, 1, 0, 384},  {3, 9, 2, 0, 576},   // 48000 and 32000 Hz frames walk too
        {2, 8, 0, 0, 208},  {2, 8, 0, 1, 209},   // MPEG-2 64 kbit/s 22050 Hz
        {2, 14, 0, 0, 522}, {2, 1, 1, 0, 24},    // MPEG-2 160 kbit/s 22050, 8 kbit/s 24000
        {0, 4, 0, 0, 208},  {0, 1, 2, 0, 72},    // MPEG-2.5 32 kbit/s 11025, 8 kbit/s 8000
    };
    Bytes file = TestFrames(test::kFrame44100, 1);  // Open needs a SWF rate first
    for (const LengthCase& c : cases) {
        Bytes frame = WithBody(TestFrameHeader(c.version, 1, c.bitRateIndex, c.sampleRateIndex, c.padding, true),
                               static_cast<std::size_t>(c.length));
        file.insert(file.end(), frame.begin(), frame.end());
    }
    ScratchDir dir;
    WriteAll(dir.File("in.mp3"), file);
    FrameWalker reader;
    ASSERT_TRUE(reader.Open(dir.File("in.mp3")));
    // Open leaves the position after the first header, inside the frame.
    EXPECT_EQ(reader.NextFrame(), -1);
    ASSERT_TRUE(reader.Restart());
    EXPECT_EQ(reader.NextFrame(), 417);
    for (const LengthCase& c : cases) EXPECT_EQ(reader.NextFrame(), c.length) << "frame of " << c.length;
    EXPECT_EQ(reader.NextFrame(), 0);
}

TEST(Mp3FileReaderTest, WalksFramesAndStopsAtBadHeaderAndEnd) {
    Bytes file = TestFrames(test::kFrame22050, 3);
    file.insert(file.end(), {'j', 'u', 'n', 'k', 0, 0, 0, 0});
    ScratchDir dir;
    WriteAll(dir.File("in.mp3"), file);
    FrameWalker reader;
    ASSERT_TRUE(reader.Open(dir.File("in.mp3")));
    ASSERT_TRUE(reader.Restart());
    EXPECT_EQ(reader.NextFrame(), 208);
    EXPECT_EQ(reader.NextFrame(), 208);
    EXPECT_EQ(reader.NextFrame(), 208);
    EXPECT_EQ(reader.NextFrame(), -1);

    WriteAll(dir.File("short.mp3"), TestFrames(test::kFrame22050, 2));
    ASSERT_TRUE(reader.Open(dir.File("short.mp3")));
    ASSERT_TRUE(reader.Restart());
    EXPECT_EQ(reader.NextFrame(), 208);
    EXPECT_EQ(reader.NextFrame(), 208);
    EXPECT_EQ(reader.NextFrame(), 0);
    EXPECT_EQ(reader.NextFrame(), 0);
}

TEST(Mp3FileReaderTest, FrameCutShortByTheEndOfTheFileEndsTheWalk) {
    Bytes file = TestFrames(test::kFrame44100, 2);
    file.resize(file.size() - 17);
    ScratchDir dir;
    WriteAll(dir.File("in.mp3"), file);
    FrameWalker reader;
    ASSERT_TRUE(reader.Open(dir.File("in.mp3")));
    ASSERT_TRUE(reader.Restart());
    EXPECT_EQ(reader.NextFrame(), 417);
    EXPECT_EQ(reader.NextFrame(), 0);
}

TEST(Mp3FileReaderTest, CopyDataCopiesTheWholeFileInChunks) {
    // Larger than several 4096-byte chunks and not a multiple of one.
    Bytes file = TestFrames(test::kFrame44100, 23);
    ScratchDir dir;
    WriteAll(dir.File("in.mp3"), file);
    Mp3FileReader reader;
    ASSERT_TRUE(reader.Open(dir.File("in.mp3")));
    EXPECT_EQ(reader.DataSize(), static_cast<std::int64_t>(file.size()));
    OsFile out;
    ASSERT_TRUE(out.CreateForWriting(dir.File("out.bin")));
    ASSERT_TRUE(out.Write("ab", 2));
    EXPECT_EQ(reader.CopyData(out), static_cast<std::int64_t>(file.size()));
    // A second copy starts again from the first frame.
    EXPECT_EQ(reader.CopyData(out), static_cast<std::int64_t>(file.size()));
    out.Close();
    Bytes expected = {'a', 'b'};
    expected.insert(expected.end(), file.begin(), file.end());
    expected.insert(expected.end(), file.begin(), file.end());
    EXPECT_EQ(ReadAll(dir.File("out.bin")), expected);
}

TEST(Mp3FileReaderTest, ClosedReaderCopiesAndWalksNothing) {
    ScratchDir dir;
    OsFile out;
    ASSERT_TRUE(out.CreateForWriting(dir.File("out.bin")));
    Mp3FileReader reader;
    EXPECT_EQ(reader.CopyData(out), 0);
    EXPECT_EQ(reader.NextFrame(), 0);
    EXPECT_EQ(reader.DataSize(), 0);
    reader.Close();
    reader.Close();
    EXPECT_FALSE(reader.IsOpen());
}

}  // namespace
}  // namespace tembrel
