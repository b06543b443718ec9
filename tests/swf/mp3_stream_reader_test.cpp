#include "swf/mp3_stream_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "mp3_test_frames.h"
#include "swf/stream_block_schedule.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::ScratchDir;
using test::TestFrameKind;
using test::TestFrames;
using test::WriteAll;
using Bytes = std::vector<std::uint8_t>;

struct Block {
    int frames = 0;
    int sampleCount = 0;
    int seekSamples = 0;
    int debtAfter = 0;
    Bytes data;  // the MP3 bytes the block carries
};

int Le16(const std::uint8_t* p) { return p[0] | p[1] << 8; }

// Decodes one SoundStreamBlock tag as a player would and checks its framing.
Block ParseBlock(const Bytes& tag, std::size_t length, int frameLength, int samplesPerFrame) {
    Block block;
    unsigned code = static_cast<unsigned>(Le16(tag.data())) >> 6;
    std::size_t body = Le16(tag.data()) & 63;
    std::size_t header = 2;
    if (body == 63) {
        body = tag[2] | tag[3] << 8 | tag[4] << 16 | static_cast<std::size_t>(tag[5]) << 24;
        header = 6;
    }
    EXPECT_EQ(code, 19u);
    EXPECT_EQ(header + body, length);
    EXPECT_EQ(body < 63, header == 2) << "tag header form";
    block.sampleCount = Le16(&tag[header]);
    block.seekSamples = static_cast<std::int16_t>(Le16(&tag[header + 2]));
    block.data.assign(tag.begin() + static_cast<long>(header + 4), tag.begin() + static_cast<long>(length));
    block.frames = static_cast<int>(block.data.size()) / frameLength;
    EXPECT_EQ(block.data.size() % static_cast<std::size_t>(frameLength), 0u);
    EXPECT_EQ(block.sampleCount, block.frames * samplesPerFrame);
    return block;
}

class StreamFixture {
public:
    StreamFixture(const Bytes& file, int frameRate) {
        WriteAll(dir_.File("in.mp3"), file);
        open_ = reader.Open(dir_.File("in.mp3"));
        reader.SetFrameRate(frameRate);
        std::size_t capacity = head.size(), length = 0;
        headWritten_ = reader.WriteStreamHead(head.data(), capacity, length);
        head.resize(length);
        rewound_ = reader.Rewind();
    }
    bool Ready() const { return open_ && headWritten_ && rewound_; }

    // All blocks to the end of the sound.
    std::vector<Block> Blocks(int frameLength, std::size_t limit = 100000) {
        std::vector<Block> blocks;
        Bytes buffer(102400);
        while (blocks.size() < limit) {
            std::size_t capacity = buffer.size(), length = 0;
            if (!reader.NextBlock(buffer.data(), capacity, length)) break;
            EXPECT_NE(length, 0u);
            if (length == 0) break;
            Block b = ParseBlock(buffer, length, frameLength, reader.SamplesPerMp3Frame());
            b.debtAfter = reader.SampleDebt();
            blocks.push_back(std::move(b));
        }
        return blocks;
    }

    Mp3StreamReader reader;
    Bytes head = Bytes(64);

private:
    ScratchDir dir_;
    bool open_ = false, headWritten_ = false, rewound_ = false;
};

TEST(StreamBlockScheduleTest, FramesDueAndDebtCarried) {
    struct Case {
        int debt, perSwfFrame, perMp3Frame;
        int frames, debtAfter;
    };
    const Case cases[] = {
        {0, 1837, 576, 3, 109},     // first block at 22050 Hz, 12 fps
        {545, 1837, 576, 4, 78},    // the debt tips a block over to four frames
        {0, 3675, 1152, 3, 219},    // 44100 Hz, 12 fps
        {0, 183, 576, 0, 183},      // 22050 Hz, 120 fps: nothing due yet
        {549, 183, 576, 1, 156},    // ... until the debt passes one MP3 frame
        {0, 576, 576, 0, 576},      // a SWF frame exactly one MP3 frame long
        {576, 576, 576, 1, 576},
        {1152, 44100, 1152, 39, 324},   // 1 fps: the largest block still fits SampleCount
    };
    for (const Case& c : cases) {
        StreamBlockPlan plan = PlanStreamBlock(c.debt, c.perSwfFrame, c.perMp3Frame);
        EXPECT_EQ(plan.mp3Frames, c.frames) << c.debt << " + " << c.perSwfFrame << " / " << c.perMp3Frame;
        EXPECT_EQ(plan.debtAfter, c.debtAfter) << c.debt << " + " << c.perSwfFrame << " / " << c.perMp3Frame;
    }
}

TEST(Mp3StreamReaderTest, StreamHeadBytes) {
    struct Case {
        TestFrameKind kind;
        bool mono;
        int frameRate;
        Bytes bytes;
    };
    const Case cases[] = {
        {test::kFrame22050, true, 12, {0x86, 0x04, 0x0A, 0x2A, 0x2D, 0x07, 0x00, 0x00}},
        {test::kFrame44100, false, 12, {0x86, 0x04, 0x0F, 0x2F, 0x5B, 0x0E, 0x00, 0x00}},
        {test::kFrame11025, true, 1, {0x86, 0x04, 0x06, 0x26, 0x11, 0x2B, 0x00, 0x00}},
        {test::kFrame44100, true, 120, {0x86, 0x04, 0x0E, 0x2E, 0x6F, 0x01, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        StreamFixture s(TestFrames(c.kind, 2, c.mono), c.frameRate);
        ASSERT_TRUE(s.Ready());
        EXPECT_EQ(s.head, c.bytes) << c.kind.sampleRate << " Hz at " << c.frameRate;
        EXPECT_EQ(s.reader.SamplesPerSwfFrame(), c.kind.sampleRate / c.frameRate);
    }
}

TEST(Mp3StreamReaderTest, StreamHeadReportsTheCapacityItNeeds) {
    ScratchDir dir;
    WriteAll(dir.File("in.mp3"), TestFrames(test::kFrame22050, 2));
    Mp3StreamReader reader;
    ASSERT_TRUE(reader.Open(dir.File("in.mp3")));
    reader.SetFrameRate(12);
    Bytes buffer(7, 0xEE);
    std::size_t capacity = buffer.size(), length = 99;
    EXPECT_FALSE(reader.WriteStreamHead(buffer.data(), capacity, length));
    EXPECT_EQ(capacity, 8u);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(buffer, Bytes(7, 0xEE));
}

TEST(Mp3StreamReaderTest, BlocksAt22050HzAnd12Fps) {
    StreamFixture s(TestFrames(test::kFrame22050, 40), 12);
    ASSERT_TRUE(s.Ready());
    EXPECT_EQ(s.reader.SamplesPerSwfFrame(), 1837);
    std::vector<Block> blocks = s.Blocks(208, 7);
    ASSERT_EQ(blocks.size(), 7u);
    const int frames[] = {3, 3, 3, 3, 3, 4, 3};
    const int seek[] = {0, 109, 218, 327, 436, 545, 78};
    const int debt[] = {109, 218, 327, 436, 545, 78, 187};
    int frameIndex = 0;
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(blocks[i].frames, frames[i]) << "block " << i + 1;
        EXPECT_EQ(blocks[i].sampleCount, frames[i] * 576) << "block " << i + 1;
        EXPECT_EQ(blocks[i].seekSamples, seek[i]) << "block " << i + 1;
        EXPECT_EQ(blocks[i].debtAfter, debt[i]) << "block " << i + 1;
        // The frames arrive whole and in order (frame n is filled with byte n).
        for (int f = 0; f < blocks[i].frames; ++f, ++frameIndex) {
            EXPECT_EQ(blocks[i].data[static_cast<std::size_t>(f) * 208], 0xFF);
            EXPECT_EQ(blocks[i].data[static_cast<std::size_t>(f) * 208 + 100], frameIndex);
        }
    }
}

TEST(Mp3StreamReaderTest, SeekSamplesAt44100HzAnd12Fps) {
    StreamFixture s(TestFrames(test::kFrame44100, 40), 12);
    ASSERT_TRUE(s.Ready());
    std::vector<Block> blocks = s.Blocks(417, 6);
    ASSERT_EQ(blocks.size(), 6u);
    const int frames[] = {3, 3, 3, 3, 3, 4};
    const int seek[] = {0, 219, 438, 657, 876, 1095};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(blocks[i].frames, frames[i]) << "block " << i + 1;
        EXPECT_EQ(blocks[i].seekSamples, seek[i]) << "block " << i + 1;
    }
}

TEST(Mp3StreamReaderTest, LastBlockMayBeShortThenTheStreamEnds) {
    StreamFixture s(TestFrames(test::kFrame22050, 10), 12);
    ASSERT_TRUE(s.Ready());
    std::vector<Block> blocks = s.Blocks(208);
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[3].frames, 1);
    Bytes buffer(102400);
    std::size_t capacity = buffer.size(), length = 0;
    EXPECT_FALSE(s.reader.NextBlock(buffer.data(), capacity, length));
}

TEST(Mp3StreamReaderTest, ALongFileComesOutWholeAsBlocksAndAsOneCopy) {
    // Several times the reader's read-ahead, so that frames and blocks
    // straddle its edges and the reader seeks back across them.
    const Bytes file = TestFrames(test::kFrame44100, 700);
    ASSERT_GT(file.size(), 4 * ReadAheadFile::kWindowBytes);
    StreamFixture s(file, 12);
    ASSERT_TRUE(s.Ready());
    Bytes streamed;
    for (const Block& block : s.Blocks(417)) streamed.insert(streamed.end(), block.data.begin(), block.data.end());
    EXPECT_TRUE(streamed == file) << streamed.size() << " bytes streamed of " << file.size();

    ScratchDir dir;
    OsFile out;
    ASSERT_TRUE(out.CreateForWriting(dir.File("copy.bin")));
    EXPECT_EQ(s.reader.CopyData(out), static_cast<std::int64_t>(file.size()));
    out.Close();
    EXPECT_TRUE(test::ReadAll(dir.File("copy.bin")) == file);
}

TEST(Mp3StreamReaderTest, SingleFrameFileGivesOneBlock) {
    StreamFixture s(TestFrames(test::kFrame44100, 1), 12);
    ASSERT_TRUE(s.Ready());
    std::vector<Block> blocks = s.Blocks(417);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].frames, 1);
    EXPECT_EQ(blocks[0].seekSamples, 0);
}

TEST(Mp3StreamReaderTest, SingleFrameFileAtHighRateWaitsInEmptyBlocks) {
    // 22050 Hz at 120 fps: 183 samples per SWF frame, 576 per MP3 frame. The
    // frame is due once 4 x 183 > 576.
    StreamFixture s(TestFrames(test::kFrame22050, 1), 120);
    ASSERT_TRUE(s.Ready());
    std::vector<Block> blocks = s.Blocks(208);
    ASSERT_EQ(blocks.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(blocks[i].frames, 0);
        EXPECT_EQ(blocks[i].seekSamples, 183 * i);
    }
    EXPECT_EQ(blocks[3].frames, 1);
    EXPECT_EQ(blocks[3].seekSamples, 549);
    EXPECT_EQ(blocks[3].debtAfter, 732 - 576);
}

TEST(Mp3StreamReaderTest, EmptyBlockIsAShortTagWithNoData) {
    StreamFixture s(TestFrames(test::kFrame44100, 5), 60);
    ASSERT_TRUE(s.Ready());
    Bytes buffer(64, 0xEE);
    std::size_t capacity = buffer.size(), length = 0;
    ASSERT_TRUE(s.reader.NextBlock(buffer.data(), capacity, length));
    ASSERT_EQ(length, 6u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 6), (Bytes{0xC4, 0x04, 0x00, 0x00, 0x00, 0x00}));
}

TEST(Mp3StreamReaderTest, FileEndingInsideItsFirstFrameGivesNoBlock) {
    Bytes file = TestFrames(test::kFrame44100, 1);
    file.resize(200);
    for (int rate : {12, 120}) {
        StreamFixture s(file, rate);
        ASSERT_TRUE(s.Ready());
        EXPECT_TRUE(s.Blocks(417).empty()) << rate << " fps";
    }
}

TEST(Mp3StreamReaderTest, TruncatedLastFrameKeepsTheFramesBeforeIt) {
    Bytes file = TestFrames(test::kFrame22050, 5);
    file.resize(file.size() - 50);
    StreamFixture s(file, 12);
    ASSERT_TRUE(s.Ready());
    std::vector<Block> blocks = s.Blocks(208);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].frames, 3);
    EXPECT_EQ(blocks[1].frames, 1);
}

TEST(Mp3StreamReaderTest, GarbageInTheMiddleEndsTheStream) {
    Bytes file = TestFrames(test::kFrame22050, 5);
    Bytes junk(300, 0x5A);
    file.insert(file.end(), junk.begin(), junk.end());
    test::AppendTestFrames(file, test::kFrame22050, 20, true, 5);
    for (int rate : {12, 120}) {
        StreamFixture s(file, rate);
        ASSERT_TRUE(s.Ready());
        std::vector<Block> blocks = s.Blocks(208);
        int total = 0;
        for (const Block& b : blocks) total += b.frames;
        EXPECT_EQ(total, 5) << rate << " fps";
        ASSERT_FALSE(blocks.empty());
        EXPECT_GT(blocks.back().frames, 0) << "the stream does not end in empty blocks";
    }
    // At 12 fps the bad header cuts the second block short.
    StreamFixture s(file, 12);
    std::vector<Block> blocks = s.Blocks(208);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[1].frames, 2);
}

TEST(Mp3StreamReaderTest, TooSmallBufferLeavesPositionAndDebtAlone) {
    StreamFixture small(TestFrames(test::kFrame22050, 40), 12);
    StreamFixture big(TestFrames(test::kFrame22050, 40), 12);
    ASSERT_TRUE(small.Ready() && big.Ready());
    Bytes buffer(102400), reference(102400);
    for (int i = 0; i < 8; ++i) {
        std::size_t refCapacity = reference.size(), refLength = 0;
        ASSERT_TRUE(big.reader.NextBlock(reference.data(), refCapacity, refLength));

        int debt = small.reader.SampleDebt();
        std::size_t capacity = 10, length = 7;
        ASSERT_TRUE(small.reader.NextBlock(buffer.data(), capacity, length));
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(capacity, refLength);
        EXPECT_EQ(small.reader.SampleDebt(), debt);
        // Exactly the capacity asked for is enough, and gives the same block.
        ASSERT_TRUE(small.reader.NextBlock(buffer.data(), capacity, length));
        ASSERT_EQ(length, refLength);
        EXPECT_EQ(std::memcmp(buffer.data(), reference.data(), length), 0) << "block " << i + 1;
    }
    // Empty blocks report their need too.
    StreamFixture fast(TestFrames(test::kFrame44100, 3), 120);
    ASSERT_TRUE(fast.Ready());
    std::size_t capacity = 0, length = 0;
    EXPECT_TRUE(fast.reader.NextBlock(nullptr, capacity, length));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(capacity, 6u);
    EXPECT_EQ(fast.reader.SampleDebt(), 0);
}

TEST(Mp3StreamReaderTest, RewindStartsTheStreamAgain) {
    StreamFixture s(TestFrames(test::kFrame44100, 30), 24);
    ASSERT_TRUE(s.Ready());
    std::vector<Block> first = s.Blocks(417);
    ASSERT_TRUE(s.reader.Rewind());
    EXPECT_EQ(s.reader.SampleDebt(), 0);
    std::vector<Block> second = s.Blocks(417);
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].data, second[i].data);
        EXPECT_EQ(first[i].seekSamples, second[i].seekSamples);
    }
}

TEST(Mp3StreamReaderTest, NothingStreamsWithoutAFileOrAHead) {
    Mp3StreamReader closed;
    EXPECT_FALSE(closed.Rewind());
    Bytes buffer(1024);
    std::size_t capacity = buffer.size(), length = 0;
    EXPECT_FALSE(closed.NextBlock(buffer.data(), capacity, length));

    // Opened but no head written: no frame rate is known, so no schedule.
    ScratchDir dir;
    WriteAll(dir.File("in.mp3"), TestFrames(test::kFrame44100, 3));
    Mp3StreamReader headless;
    ASSERT_TRUE(headless.Open(dir.File("in.mp3")));
    ASSERT_TRUE(headless.Rewind());
    EXPECT_FALSE(headless.NextBlock(buffer.data(), capacity, length));
}

// A second, literal reading of the schedule for rates where a SWF frame outlasts an MP3
// frame: walk frames until the samples still due fit in one MP3 frame.
std::vector<int> ClassicWalk(int samplesPerSwfFrame, int samplesPerMp3Frame, int totalFrames) {
    std::vector<int> blocks;
    int debt = 0, left = totalFrames;
    while (left > 0) {
        int need = samplesPerSwfFrame + debt, n = 0;
        while (left > 0) {
            --left;
            ++n;
            need -= samplesPerMp3Frame;
            if (need <= samplesPerMp3Frame) break;
        }
        blocks.push_back(n);
        debt = need;
    }
    return blocks;
}

// Players end a stream whose blocks fall more than one MP3 frame behind
// StreamSoundSampleCount x frames; every rate the options offer must keep pace.
TEST(Mp3StreamReaderTest, EveryFrameRateKeepsThePaceOfTheMovie) {
    for (const TestFrameKind& kind : {test::kFrame11025, test::kFrame22050, test::kFrame44100}) {
        const int totalFrames = 3 * kind.sampleRate / kind.samplesPerFrame;  // about 3 s
        const int f = kind.samplesPerFrame;
        for (int rate = 1; rate <= 120; ++rate) {
            SCOPED_TRACE(::testing::Message() << kind.sampleRate << " Hz at " << rate << " fps");
            StreamFixture s(TestFrames(kind, totalFrames), rate);
            ASSERT_TRUE(s.Ready());
            const int perSwfFrame = kind.sampleRate / rate;
            ASSERT_EQ(Le16(&s.head[4]), perSwfFrame);  // StreamSoundSampleCount
            std::vector<Block> blocks = s.Blocks(kind.length);
            ASSERT_FALSE(blocks.empty());

            std::int64_t delivered = 0;
            int frames = 0;
            bool ok = true;
            for (std::size_t k = 1; k <= blocks.size() && ok; ++k) {
                const Block& b = blocks[k - 1];
                std::int64_t due = static_cast<std::int64_t>(k) * perSwfFrame;
                ok &= b.seekSamples == due - perSwfFrame - delivered;
                delivered += b.sampleCount;
                frames += b.frames;
                if (frames < totalFrames) {
                    // Never more than one MP3 frame behind, never ahead.
                    ok &= delivered >= due - f && delivered < due;
                    ok &= b.debtAfter == due - delivered;
                }
                EXPECT_TRUE(ok) << "block " << k << ": " << delivered << " samples of " << due;
            }
            EXPECT_EQ(frames, totalFrames);
            EXPECT_GT(blocks.back().frames, 0);

            std::vector<int> sizes;
            for (const Block& b : blocks) sizes.push_back(b.frames);
            if (perSwfFrame > f) {
                EXPECT_EQ(sizes, ClassicWalk(perSwfFrame, f, totalFrames));
            }
        }
    }
}

}  // namespace
}  // namespace tembrel
