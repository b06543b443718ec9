// The decoding library's own contract: handles, whole-frame data, end of
// data, file sizes, music rates, and the files it must not follow or take.
#include <gtest/gtest.h>

#include <unistd.h>

#include <thread>
#include <vector>

#include "platform/decoding_library.h"
#include "platform/os_file.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel::decoding {
namespace {

using test::ScratchDir;

TEST(DecodingLibrary, ReportsTheInterfaceVersionWhenTheLibrariesFit) {
    EXPECT_EQ(GetVersion() >> 16, kInterfaceVersion);
    EXPECT_TRUE(Init());
}

TEST(DecodingLibrary, DeliversWholeFramesThenTheEndMark) {
    ScratchDir dir;
    const std::string path = dir.File("six.flac");
    ASSERT_TRUE(test::EncodeTone(path, 8000, 6, 0.25, "-c:a flac"));
    Handle h = StreamCreateFile(path);
    ASSERT_NE(h, 0u);
    ChannelInfo info;
    ASSERT_TRUE(ChannelGetInfo(h, &info));
    EXPECT_EQ(info.freq, 8000u);
    EXPECT_EQ(info.chans, 6u);
    EXPECT_EQ(info.flags & kSample8Bits, 0u);
    EXPECT_EQ(ChannelGetLength(h), 2000u * 12);
    EXPECT_DOUBLE_EQ(ChannelBytes2Seconds(h, 8000 * 12), 1.0);
    EXPECT_EQ(StreamGetFileSize(h), static_cast<std::uint64_t>(FileSizeAt(path)));

    std::vector<std::uint8_t> buffer(5000);
    EXPECT_EQ(ChannelGetData(h, buffer.data(), 11), 0u);  // less than one frame: nothing yet
    EXPECT_EQ(ChannelGetData(h, buffer.data(), 4607), 4596u);  // 383 frames of 12 bytes
    EXPECT_EQ(ChannelGetPosition(h), 4596u);
    std::uint64_t total = 4596;
    std::uint32_t n;
    while ((n = ChannelGetData(h, buffer.data(), 4800)) != kDataEnd) {
        ASSERT_EQ(n % 12, 0u);
        ASSERT_GT(n, 0u);
        total += n;
    }
    EXPECT_EQ(total, 24000u);
    EXPECT_EQ(ChannelGetPosition(h), 24000u);
    EXPECT_EQ(ChannelGetData(h, buffer.data(), 4800), kDataEnd);
    EXPECT_FALSE(MusicFree(h));  // not music
    EXPECT_TRUE(StreamFree(h));
    EXPECT_FALSE(StreamFree(h));
}

TEST(DecodingLibrary, UnknownHandlesGiveTheFailureResults) {
    for (Handle h : {Handle{0}, Handle{0xFFFFFFF0u}}) {
        ChannelInfo info;
        EXPECT_FALSE(ChannelGetInfo(h, &info));
        EXPECT_EQ(ChannelGetLength(h), 0u);
        EXPECT_LT(ChannelBytes2Seconds(h, 100), 0.0);
        EXPECT_EQ(StreamGetFileSize(h), kNoFileSize);
        std::uint8_t buffer[16];
        EXPECT_EQ(ChannelGetData(h, buffer, sizeof buffer), kDataEnd);
        EXPECT_EQ(ChannelGetPosition(h), 0u);
        EXPECT_FALSE(StreamFree(h));
        EXPECT_FALSE(MusicFree(h));
    }
}

TEST(DecodingLibrary, MusicRatesAndFileSize) {
    ScratchDir dir;
    const std::string path = dir.File("tiny.mod");
    test::WriteAll(path, test::TinyModule());
    EXPECT_EQ(StreamCreateFile(path), 0u);  // modules are music, never streams
    const struct {
        std::uint32_t wanted;
        std::uint32_t rate;  // 0: refused
    } cases[] = {{0, 44100}, {8000, 8000}, {48000, 48000}, {192000, 192000}, {7999, 0}, {192001, 0}};
    for (const auto& c : cases) {
        Handle h = MusicLoad(path, c.wanted);
        if (c.rate == 0) {
            EXPECT_EQ(h, 0u) << c.wanted;
            continue;
        }
        ASSERT_NE(h, 0u) << c.wanted;
        ChannelInfo info;
        ASSERT_TRUE(ChannelGetInfo(h, &info));
        EXPECT_EQ(info.freq, c.rate);
        EXPECT_EQ(info.chans, 2u);
        EXPECT_NE(info.flags & kMusicChannel, 0u);
        EXPECT_EQ(StreamGetFileSize(h), kNoFileSize);
        EXPECT_FALSE(StreamFree(h));
        EXPECT_TRUE(MusicFree(h));
    }
}

// Every rendering of a module gives the same samples: one after another and
// two at once on different threads.
TEST(DecodingLibrary, MusicRendersTheSameSamplesEveryTime) {
    ScratchDir dir;
    const std::string path = dir.File("tiny.mod");
    test::WriteAll(path, test::TinyModule());
    auto render = [&path] {
        std::vector<std::uint8_t> all;
        const Handle h = MusicLoad(path, 22050);
        if (!h) return all;
        std::vector<std::uint8_t> buffer(4096);
        for (std::uint32_t n; (n = ChannelGetData(h, buffer.data(), 4096)) != kDataEnd;)
            all.insert(all.end(), buffer.begin(), buffer.begin() + n);
        MusicFree(h);
        return all;
    };
    const std::vector<std::uint8_t> first = render();
    ASSERT_GT(first.size(), 22050u * 4);
    EXPECT_TRUE(first == render());
    std::vector<std::uint8_t> a, b;
    std::thread one([&] { a = render(); });
    std::thread two([&] { b = render(); });
    one.join();
    two.join();
    EXPECT_TRUE(first == a);
    EXPECT_TRUE(first == b);
}

TEST(DecodingLibrary, HandlesAreDistinctAndFreeReleasesAll) {
    ScratchDir dir;
    const std::string path = dir.File("tone.flac");
    ASSERT_TRUE(test::EncodeTone(path, 8000, 1, 0.2, "-c:a flac"));
    std::vector<Handle> handles;
    for (int i = 0; i < 5; ++i) {
        handles.push_back(StreamCreateFile(path));
        ASSERT_NE(handles.back(), 0u);
        for (int j = 0; j < i; ++j) ASSERT_NE(handles[j], handles.back());
    }
    Free();
    for (Handle h : handles) EXPECT_EQ(ChannelGetLength(h), 0u);
}

// Only plain local files are read: a playlist that points elsewhere is not
// followed, and a colon in a file name does not make it an address.
TEST(DecodingLibrary, OpensLocalFilesOnly) {
    ScratchDir dir;
    const std::string tone = dir.File("tone.flac");
    ASSERT_TRUE(test::EncodeTone(tone, 8000, 1, 0.2, "-c:a flac"));
    const std::string playlist = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" + tone + "\n#EXT-X-ENDLIST\n";
    const std::string m3u8 = dir.File("list.m3u8");
    test::WriteAll(m3u8, std::vector<std::uint8_t>(playlist.begin(), playlist.end()));
    EXPECT_EQ(StreamCreateFile(m3u8), 0u);
    const std::string concat = dir.File("list.ffconcat");
    const std::string concatText = "ffconcat version 1.0\nfile '" + tone + "'\n";
    test::WriteAll(concat, std::vector<std::uint8_t>(concatText.begin(), concatText.end()));
    EXPECT_EQ(StreamCreateFile(concat), 0u);

    ASSERT_EQ(std::rename(tone.c_str(), dir.File("http:tone.flac").c_str()), 0);
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    Handle h = StreamCreateFile("http:tone.flac");
    EXPECT_EQ(::chdir(previous), 0);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(ChannelGetLength(h), 1600u * 2);
    StreamFree(h);
}

// A stream whose format changes in mid-file (two Ogg Vorbis streams chained)
// keeps the first part's rate and channels throughout, the rest converted to
// it, exactly as the ffmpeg tool converts it.
TEST(DecodingLibrary, FormatChangeInMidStreamKeepsTheFirstFormat) {
    ScratchDir dir;
    const std::string first = dir.File("a.ogg"), second = dir.File("b.ogg"), joined = dir.File("ab.ogg");
    ASSERT_TRUE(test::EncodeTone(first, 44100, 2, 1.0, "-c:a libvorbis"));
    ASSERT_TRUE(test::EncodeTone(second, 22050, 1, 1.0, "-c:a libvorbis"));
    std::vector<std::uint8_t> bytes = test::ReadAll(first);
    const std::vector<std::uint8_t> tail = test::ReadAll(second);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    test::WriteAll(joined, bytes);

    Handle h = StreamCreateFile(joined);
    ASSERT_NE(h, 0u);
    ChannelInfo info;
    ASSERT_TRUE(ChannelGetInfo(h, &info));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);
    std::vector<std::int16_t> decoded;
    std::vector<std::int16_t> buffer(1 << 15);
    std::uint32_t n;
    while ((n = ChannelGetData(h, buffer.data(), static_cast<std::uint32_t>(buffer.size() * 2))) != kDataEnd)
        decoded.insert(decoded.end(), buffer.begin(), buffer.begin() + n / 2);
    EXPECT_EQ(decoded.size() * 2, ChannelGetLength(h));
    EXPECT_NEAR(ChannelBytes2Seconds(h, decoded.size() * 2), 2.0, 0.05);
    EXPECT_EQ(decoded, test::FfmpegDecode(joined));
    StreamFree(h);
}

}  // namespace
}  // namespace tembrel::decoding
