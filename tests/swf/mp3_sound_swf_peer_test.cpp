// SWFs with MP3 sound, written the way the builders write them, checked by
// FFmpeg: the audio must decode at the file's rate and channel count and last
// as long as the MP3 file (within one MP3 frame).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "support/mp3_fixture.h"
#include "support/test_support.h"
#include "swf/mp3_event_reader.h"
#include "platform/os_file.h"
#include "swf/mp3_stream_reader.h"
#include "swf/swf_writer.h"

namespace tembrel {
namespace {

using test::HaveTool;
using test::RunCommand;
using test::ScratchDir;
using test::ShellQuote;

struct StreamStats {
    int blocks = 0;
    int emptyBlocks = 0;
};

// Frame 1: background, SoundStreamHead, ShowFrame; then a block and a
// ShowFrame per SWF frame; End.
bool WriteStreamingSwf(const std::string& mp3, const std::string& swf, int frameRate, StreamStats& stats) {
    Mp3StreamReader reader;
    if (!reader.Open(mp3)) return false;
    reader.SetFrameRate(frameRate);
    SwfWriter writer;
    if (!writer.Open(swf)) return false;
    writer.SetMovie(8, 550, 400, static_cast<unsigned>(frameRate));
    bool ok = writer.WriteHeader() && writer.WriteBackgroundColour(0xFF, 0xFF, 0xFF);
    std::vector<std::uint8_t> buffer(1024);  // small on purpose: blocks must ask for more
    std::size_t capacity = buffer.size(), length = 0;
    ok = ok && reader.WriteStreamHead(buffer.data(), capacity, length) &&
         writer.WriteTag(18, buffer.data(), length) && writer.WriteShowFrame() && reader.Rewind();
    while (ok) {
        capacity = buffer.size();
        if (!reader.NextBlock(buffer.data(), capacity, length)) break;
        if (length == 0) {
            buffer.resize(capacity + capacity / 2);
            capacity = buffer.size();
            ok = reader.NextBlock(buffer.data(), capacity, length) && length != 0;
            if (!ok) break;
        }
        ++stats.blocks;
        if (length == 6) ++stats.emptyBlocks;
        ok = writer.WriteTag(19, buffer.data(), length) && writer.WriteShowFrame();
    }
    reader.Close();
    ok = ok && writer.WriteEnd();
    ok = ok && writer.FrameCount() == 1 + stats.blocks;
    writer.Close();
    return ok;
}

// SoundStreamHead2, DefineSound with the whole file, StartSound, ShowFrame, End.
bool WriteEventSwf(const std::string& mp3, const std::string& swf, std::uint32_t sampleCount) {
    Mp3EventReader reader;
    if (!reader.Open(mp3)) return false;
    SwfWriter writer;
    if (!writer.Open(swf)) return false;
    writer.SetMovie(6, 550, 400, 12);
    std::vector<std::uint8_t> buffer(10240);
    std::size_t capacity = buffer.size(), length = 0;
    bool ok = writer.WriteHeader() && writer.WriteBackgroundColour(0, 0, 0) &&
              reader.WriteEventHead(buffer.data(), capacity, length) && writer.WriteTag(45, buffer.data(), length);
    capacity = buffer.size();
    ok = ok && reader.WriteDefineSoundHead(sampleCount, buffer.data(), capacity, length) &&
         writer.WriteTag(14, buffer.data(), length) && reader.CopyData(writer.OutputFile()) == reader.DataSize();
    capacity = buffer.size();
    ok = ok && reader.WriteStartSound(1, buffer.data(), capacity, length) &&
         writer.WriteTag(15, buffer.data(), length) && writer.WriteShowFrame() && writer.WriteEnd();
    writer.Close();
    return ok;
}

struct ProbedAudio {
    int index = -1;
    std::string codec;
    int sampleRate = 0;
    int channels = 0;
};

// The MP3 audio streams ffprobe finds in a file.
std::vector<ProbedAudio> ProbeMp3Streams(const std::string& path) {
    std::string out;
    RunCommand("ffprobe -v fatal -select_streams a -show_entries stream=index,codec_name,sample_rate,channels -of csv=p=0 " +
                   ShellQuote(path),
               &out);
    std::vector<ProbedAudio> streams;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        ProbedAudio a;
        std::istringstream fields(line);
        std::string index, rate, channels;
        std::getline(fields, index, ',');
        std::getline(fields, a.codec, ',');
        std::getline(fields, rate, ',');
        std::getline(fields, channels, ',');
        a.index = std::atoi(index.c_str());
        a.sampleRate = std::atoi(rate.c_str());
        a.channels = std::atoi(channels.c_str());
        if (a.codec == "mp3") streams.push_back(a);
    }
    return streams;
}

// Samples per channel FFmpeg decodes from one stream of the file; -1 on failure.
long DecodedSamples(const std::string& path, int channels, int streamIndex) {
    const std::string raw = path + ".raw";
    int status = RunCommand("ffmpeg -nostdin -v fatal -y -i " + ShellQuote(path) + " -map 0:" +
                            std::to_string(streamIndex) + " -f s16le -acodec pcm_s16le " + ShellQuote(raw));
    std::int64_t bytes = FileSizeAt(raw);
    if (status != 0 || bytes < 0) return -1;
    return static_cast<long>(bytes / (2 * channels));
}

struct PeerCase {
    int sampleRate;
    int channels;
    int frameRate;
};

std::string CaseName(const ::testing::TestParamInfo<PeerCase>& info) {
    return std::to_string(info.param.sampleRate) + "Hz_" + (info.param.channels == 2 ? "stereo_" : "mono_") +
           std::to_string(info.param.frameRate) + "fps";
}

class StreamingSwfPeerTest : public ::testing::TestWithParam<PeerCase> {
protected:
    void SetUp() override {
        if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg/ffprobe not installed";
    }
};

TEST_P(StreamingSwfPeerTest, FfmpegDecodesTheWholeSound) {
    const PeerCase& c = GetParam();
    ScratchDir dir;
    const std::string mp3 = dir.File("in.mp3"), swf = dir.File("out.swf");
    ASSERT_TRUE(test::WriteSineMp3(mp3, c.sampleRate, c.channels, 2.5));
    StreamStats stats;
    ASSERT_TRUE(WriteStreamingSwf(mp3, swf, c.frameRate, stats));
    const int samplesPerMp3Frame = c.sampleRate == 44100 ? 1152 : 576;
    // Fast movies must still carry the sound, in blocks some of which are empty.
    ASSERT_GT(stats.blocks, 0);
    if (c.sampleRate / c.frameRate <= samplesPerMp3Frame) {
        EXPECT_GT(stats.emptyBlocks, 0);
    }

    std::vector<ProbedAudio> streams = ProbeMp3Streams(swf);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].sampleRate, c.sampleRate);
    EXPECT_EQ(streams[0].channels, c.channels);

    long expected = DecodedSamples(mp3, c.channels, 0);
    long got = DecodedSamples(swf, c.channels, streams[0].index);
    ASSERT_GT(expected, 2 * c.sampleRate);
    EXPECT_LE(std::labs(got - expected), samplesPerMp3Frame) << got << " samples decoded, MP3 has " << expected;
    // Every frame arrives whole and in order: the decoded sound is the MP3's.
    EXPECT_TRUE(test::ReadAll(swf + ".raw") == test::ReadAll(mp3 + ".raw"));
}

INSTANTIATE_TEST_SUITE_P(
    RatesAndChannels, StreamingSwfPeerTest,
    ::testing::Values(PeerCase{11025, 1, 12}, PeerCase{11025, 2, 60}, PeerCase{11025, 1, 120},
                      PeerCase{22050, 1, 12}, PeerCase{22050, 2, 12}, PeerCase{22050, 1, 60},
                      PeerCase{22050, 2, 120}, PeerCase{44100, 2, 12}, PeerCase{44100, 1, 60},
                      PeerCase{44100, 2, 60}, PeerCase{44100, 1, 120}, PeerCase{44100, 2, 120}),
    CaseName);

class EventSwfPeerTest : public StreamingSwfPeerTest {};

TEST_P(EventSwfPeerTest, FfmpegDecodesTheDefinedSound) {
    const PeerCase& c = GetParam();
    ScratchDir dir;
    const std::string mp3 = dir.File("in.mp3"), swf = dir.File("out.swf");
    ASSERT_TRUE(test::WriteSineMp3(mp3, c.sampleRate, c.channels, 2.0));
    ASSERT_TRUE(WriteEventSwf(mp3, swf, static_cast<std::uint32_t>(2 * c.sampleRate)));

    std::vector<ProbedAudio> streams = ProbeMp3Streams(swf);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].sampleRate, c.sampleRate);
    EXPECT_EQ(streams[0].channels, c.channels);
    long expected = DecodedSamples(mp3, c.channels, 0);
    long got = DecodedSamples(swf, c.channels, streams[0].index);
    ASSERT_GT(expected, c.sampleRate);
    EXPECT_LE(std::labs(got - expected), c.sampleRate == 44100 ? 1152 : 576);
    EXPECT_TRUE(test::ReadAll(swf + ".raw") == test::ReadAll(mp3 + ".raw"));
}

INSTANTIATE_TEST_SUITE_P(RatesAndChannels, EventSwfPeerTest,
                         ::testing::Values(PeerCase{11025, 1, 12}, PeerCase{11025, 2, 12}, PeerCase{22050, 1, 12},
                                           PeerCase{22050, 2, 12}, PeerCase{44100, 1, 12}, PeerCase{44100, 2, 12}),
                         CaseName);

// LAME's own output, walked frame by frame, ends exactly at the end of the
// file: frame lengths agree with a real encoder at every rate and both
// channel layouts, and the fixture carries no tag that would end a stream early.
TEST(Mp3FileReaderLameTest, FramesOfRealEncoderOutputCoverTheWholeFile) {
    class Walker : public Mp3FileReader {
    public:
        bool Restart() { return file_.Seek(0) == 0; }
    };
    for (int rate : {11025, 22050, 44100}) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << rate << " Hz, " << channels << " channels");
            ScratchDir dir;
            ASSERT_TRUE(test::WriteSineMp3(dir.File("in.mp3"), rate, channels, 1.0));
            Walker reader;
            ASSERT_TRUE(reader.Open(dir.File("in.mp3")));
            EXPECT_EQ(reader.SampleRate(), rate);
            EXPECT_EQ(reader.Channels(), channels);
            EXPECT_EQ(reader.BitRate(), test::DefaultBitRateKbps(rate, channels));
            ASSERT_TRUE(reader.Restart());
            std::int64_t total = 0;
            int frames = 0, length = 0;
            while ((length = reader.NextFrame()) > 0) {
                total += length;
                ++frames;
            }
            EXPECT_EQ(length, 0);
            EXPECT_EQ(total, FileSizeAt(dir.File("in.mp3")));
            EXPECT_GE(frames * reader.SamplesPerMp3Frame(), rate);
        }
    }
}

}  // namespace
}  // namespace tembrel
