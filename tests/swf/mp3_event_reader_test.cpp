#include "swf/mp3_event_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "mp3_test_frames.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::ScratchDir;
using test::TestFrames;
using test::WriteAll;
using Bytes = std::vector<std::uint8_t>;

class EventFixture {
public:
    explicit EventFixture(const Bytes& file) : size(file.size()) {
        WriteAll(dir_.File("in.mp3"), file);
        opened = reader.Open(dir_.File("in.mp3"));
    }
    template <typename Encode>
    Bytes Tag(Encode encode) {
        Bytes buffer(64, 0xEE);
        std::size_t capacity = buffer.size(), length = 0;
        EXPECT_TRUE(encode(buffer.data(), capacity, length));
        buffer.resize(length);
        return buffer;
    }
    Mp3EventReader reader;
    std::size_t size;
    bool opened = false;

private:
    ScratchDir dir_;
};

TEST(Mp3EventReaderTest, EventHeadIsAllZero) {
    EventFixture e(TestFrames(test::kFrame44100, 2));
    ASSERT_TRUE(e.opened);
    Bytes tag = e.Tag([&](auto* b, auto& c, auto& l) { return e.reader.WriteEventHead(b, c, l); });
    EXPECT_EQ(tag, (Bytes{0x44, 0x0B, 0x00, 0x00, 0x00, 0x00}));
}

TEST(Mp3EventReaderTest, StartSoundLoopCounts) {
    EventFixture e(TestFrames(test::kFrame44100, 2));
    ASSERT_TRUE(e.opened);
    EXPECT_EQ(e.Tag([&](auto* b, auto& c, auto& l) { return e.reader.WriteStartSound(65535, b, c, l); }),
              (Bytes{0xC5, 0x03, 0x01, 0x00, 0x04, 0xFF, 0xFF}));
    EXPECT_EQ(e.Tag([&](auto* b, auto& c, auto& l) { return e.reader.WriteStartSound(1, b, c, l); }),
              (Bytes{0xC5, 0x03, 0x01, 0x00, 0x04, 0x01, 0x00}));
}

TEST(Mp3EventReaderTest, DefineSoundHeadStatesTheWholeFile) {
    struct Case {
        test::TestFrameKind kind;
        bool mono;
        int frames;
        std::uint8_t flags;
    };
    const Case cases[] = {
        {test::kFrame22050, true, 1, 0x2A},   // even a one-frame file takes the long header
        {test::kFrame44100, false, 50, 0x2F},
        {test::kFrame11025, true, 7, 0x26},
        {test::kFrame11025, false, 7, 0x27},
    };
    for (const Case& c : cases) {
        EventFixture e(TestFrames(c.kind, c.frames, c.mono));
        ASSERT_TRUE(e.opened);
        Bytes tag = e.Tag([&](auto* b, auto& cap, auto& l) {
            return e.reader.WriteDefineSoundHead(0x01020304, b, cap, l);
        });
        std::uint32_t body = static_cast<std::uint32_t>(e.size) + 9;
        Bytes expected = {0xBF, 0x03,  // code 14, long form
                          static_cast<std::uint8_t>(body), static_cast<std::uint8_t>(body >> 8),
                          static_cast<std::uint8_t>(body >> 16), static_cast<std::uint8_t>(body >> 24),
                          0x01, 0x00, c.flags, 0x04, 0x03, 0x02, 0x01, 0x00, 0x00};
        EXPECT_EQ(tag, expected) << c.kind.sampleRate << " Hz, " << (c.mono ? "mono" : "stereo");
    }
}

TEST(Mp3EventReaderTest, EncodersReportTheCapacityTheyNeed) {
    EventFixture e(TestFrames(test::kFrame44100, 2));
    ASSERT_TRUE(e.opened);
    struct Case {
        const char* name;
        std::size_t needed;
        std::function<bool(std::uint8_t*, std::size_t&, std::size_t&)> encode;
    };
    const Case cases[] = {
        {"event head", 6, [&](auto* b, auto& c, auto& l) { return e.reader.WriteEventHead(b, c, l); }},
        {"define sound", 15, [&](auto* b, auto& c, auto& l) { return e.reader.WriteDefineSoundHead(1, b, c, l); }},
        {"start sound", 7, [&](auto* b, auto& c, auto& l) { return e.reader.WriteStartSound(1, b, c, l); }},
    };
    for (const Case& c : cases) {
        Bytes buffer(c.needed - 1, 0xEE);
        std::size_t capacity = buffer.size(), length = 5;
        EXPECT_FALSE(c.encode(buffer.data(), capacity, length)) << c.name;
        EXPECT_EQ(capacity, c.needed) << c.name;
        EXPECT_EQ(length, 0u) << c.name;
        EXPECT_EQ(buffer, Bytes(c.needed - 1, 0xEE)) << c.name << " wrote into a buffer too small";
        Bytes exact(c.needed);
        EXPECT_TRUE(c.encode(exact.data(), capacity, length)) << c.name;
        EXPECT_EQ(length, c.needed) << c.name;
    }
}

TEST(Mp3EventReaderTest, DefineSoundNeedsAnOpenFile) {
    Mp3EventReader reader;
    Bytes buffer(64);
    std::size_t capacity = buffer.size(), length = 3;
    EXPECT_FALSE(reader.WriteDefineSoundHead(1, buffer.data(), capacity, length));
    EXPECT_EQ(length, 0u);
}

}  // namespace
}  // namespace tembrel
