// The sound-SWF builders against LAME-encoded fixtures: frame structure read
// back with a small parser of our own, sound checked by FFmpeg's decoder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <filesystem>
#include <sstream>

#include "engine/template_action_blocks.h"
#include "platform/os_file.h"
#include "support/mp3_fixture.h"
#include "support/test_support.h"
#include "swf/sound_swf_builders.h"
#include "swf/swf_movie_bytes.h"
#include "swf/swf_writer.h"

namespace tembrel {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

// --- reading a produced movie back ---------------------------------------

struct ParsedTag {
    unsigned code = 0;
    std::vector<std::uint8_t> body;
};

struct ParsedMovie {
    unsigned version = 0;
    std::uint32_t fileLength = 0;
    std::int64_t widthTwips = 0, heightTwips = 0;
    unsigned frameRate = 0;  // integer part
    unsigned frameCount = 0;
    std::vector<ParsedTag> tags;
    bool ok = false;

    std::vector<unsigned> Codes() const {
        std::vector<unsigned> codes;
        for (const auto& t : tags) codes.push_back(t.code);
        return codes;
    }
    unsigned ShowFrames() const {
        unsigned n = 0;
        for (const auto& t : tags) n += t.code == kTagShowFrame;
        return n;
    }
    std::vector<const ParsedTag*> All(unsigned code) const {
        std::vector<const ParsedTag*> found;
        for (const auto& t : tags)
            if (t.code == code) found.push_back(&t);
        return found;
    }
};

ParsedMovie ParseMovie(const std::vector<std::uint8_t>& d) {
    ParsedMovie m;
    if (d.size() < 9 || d[0] != 'F' || d[1] != 'W' || d[2] != 'S') return m;
    m.version = d[3];
    m.fileLength = d[4] | d[5] << 8 | d[6] << 16 | static_cast<std::uint32_t>(d[7]) << 24;
    std::size_t bit = 8 * 8;
    auto bits = [&](int n) -> std::int64_t {
        std::int64_t v = 0;
        for (int i = 0; i < n; ++i, ++bit) {
            if (bit / 8 >= d.size()) return 0;
            v = v << 1 | ((d[bit / 8] >> (7 - bit % 8)) & 1);
        }
        return v;
    };
    auto sbits = [&](int n) {
        std::int64_t v = bits(n);
        return (n > 0 && (v >> (n - 1)) & 1) ? v - (std::int64_t{1} << n) : v;
    };
    int nbits = static_cast<int>(bits(5));
    std::int64_t xmin = sbits(nbits), xmax = sbits(nbits), ymin = sbits(nbits), ymax = sbits(nbits);
    m.widthTwips = xmax - xmin;
    m.heightTwips = ymax - ymin;
    std::size_t at = (bit + 7) / 8;
    if (at + 4 > d.size()) return m;
    m.frameRate = d[at + 1];
    m.frameCount = d[at + 2] | d[at + 3] << 8;
    at += 4;
    while (at + 2 <= d.size()) {
        unsigned head = d[at] | d[at + 1] << 8;
        at += 2;
        std::size_t length = head & 63;
        if (length == 63) {
            if (at + 4 > d.size()) return m;
            length = d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<std::size_t>(d[at + 3]) << 24;
            at += 4;
        }
        if (at + length > d.size()) return m;
        m.tags.push_back({head >> 6, {d.begin() + at, d.begin() + at + length}});
        at += length;
        if ((head >> 6) == kTagEnd) {
            m.ok = at == d.size() && m.fileLength == d.size();
            return m;
        }
    }
    return m;
}

// Body of a whole tag (as the action blocks hold them).
std::vector<std::uint8_t> BodyOf(const std::vector<std::uint8_t>& tag) {
    std::size_t header = (tag[0] & 63) == 63 ? 6 : 2;
    return {tag.begin() + header, tag.end()};
}

// --- the test template ----------------------------------------------------

// Distinct DoAction bodies for frames 1 (dropped by the builders) and 3..6.
const ByteBuffer kFrameOneActions = {0x07, 0x07, 0x07, 0x00};
const ByteBuffer kStartPlay = {0x96, 0x07, 0x00, 0x08, 0x02, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x1D, 0x06, 0x00};
const ByteBuffer kStartStop = {0x07, 0x00};
const ByteBuffer kEndLoop = {0x81, 0x02, 0x00, 0x00, 0x00, 0x06, 0x00};
const ByteBuffer kEndStop = {0x07, 0x07, 0x00};
// Frame-1 controls the player copies in order: a shape-like tag, a 63-byte
// tag (long header) and a placement.
const ByteBuffer kShapeBody = {0x01, 0x00, 0x10, 0x20, 0x30};
const ByteBuffer kLongBody(63, 0x5A);
const ByteBuffer kPlaceBody = {0x06, 0x01, 0x00, 0x01, 0x00};
constexpr unsigned kTagPlaceObject2 = 26;
constexpr unsigned kTagDefineButton2 = 34;

ByteBuffer TemplateBytes(bool withShowFrame = true) {
    ByteBuffer movie;
    PutMovieHeader(movie, 8, 180 * 20, 40 * 20, 12 << 8, 6);
    PutTag(movie, kTagSetBackgroundColor, {0x11, 0x22, 0x33});
    PutTag(movie, kTagDefineShape, kShapeBody);
    PutTag(movie, kTagDoAction, kFrameOneActions);
    PutTag(movie, kTagDefineButton2, kLongBody);
    PutTag(movie, kTagPlaceObject2, kPlaceBody);
    if (withShowFrame) {
        PutTag(movie, kTagShowFrame, {});
        PutTag(movie, kTagShowFrame, {});
        for (const ByteBuffer* actions : {&kStartPlay, &kStartStop, &kEndLoop, &kEndStop}) {
            PutTag(movie, kTagDoAction, *actions);
            PutTag(movie, kTagShowFrame, {});
        }
    }
    PutTag(movie, kTagEnd, {});
    SetMovieLength(movie);
    return movie;
}

struct Fixture {
    ScratchDir dir;
    std::string mp3 = dir.File("sound.mp3");
    SwfTemplate tmpl;
    SoundMovieRecipe recipe;
    SoundMovieFiles files;
    std::size_t signalSamples = 0;

    explicit Fixture(int sampleRate = 22050, int channels = 1, double seconds = 2.0, bool withShowFrame = true) {
        auto signal = test::SineSignal(sampleRate, channels, seconds);
        signalSamples = signal.left.size();
        EXPECT_TRUE(test::EncodeMp3(mp3, signal));
        EXPECT_TRUE(tmpl.LoadTemplateBytes(TemplateBytes(withShowFrame)));
        tmpl.ScanAndRecolour();
        if (withShowFrame) {
            EXPECT_TRUE(ExtractActionBlocks(tmpl, recipe.startPlay, recipe.startStop, recipe.endLoop, recipe.endStop));
            EXPECT_TRUE(LocateFrameRatePatch(recipe.startPlay));
        }
        recipe.version = tmpl.Version();
        recipe.width = tmpl.Width();
        recipe.height = tmpl.Height();
        recipe.withControls = true;
        recipe.durationSeconds = static_cast<std::uint32_t>(seconds);
        recipe.encodedSampleCount = static_cast<std::uint32_t>(signalSamples);
        recipe.background = MakeColourRef(0xC0, 0x80, 0x40);
        files.mp3Path = mp3;
        files.swfPath = dir.File("out.swf");
        files.playerPath = dir.File("out.player.swf");
    }
    ParsedMovie Output() const { return ParseMovie(test::ReadAll(files.swfPath)); }
};

// The MP3 bytes carried by the stream blocks, in order, and their sample counts.
std::vector<std::uint8_t> StreamedMp3(const ParsedMovie& m, std::uint64_t* samples = nullptr) {
    std::vector<std::uint8_t> bytes;
    if (samples) *samples = 0;
    for (const ParsedTag* block : m.All(kTagSoundStreamBlock)) {
        if (samples) *samples += block->body[0] | block->body[1] << 8;
        bytes.insert(bytes.end(), block->body.begin() + 4, block->body.end());
    }
    return bytes;
}

// Samples per channel FFmpeg decodes from the file's MP3 stream, or -1.
// (An event-sound movie also shows FFmpeg an empty stream for its
// all-zero SoundStreamHead2, so the stream is picked by codec.)
long DecodedSamples(const std::string& path, int channels) {
    std::string streams;
    if (test::RunCommand("ffprobe -v error -select_streams a -show_entries stream=index,codec_name -of csv=p=0 " +
                             test::ShellQuote(path) + " 2>/dev/null",
                         &streams) != 0)
        return -1;
    std::istringstream lines(streams);
    std::string line, index;
    while (std::getline(lines, line))
        if (line.size() > 4 && line.substr(line.size() - 4) == ",mp3") index = line.substr(0, line.find(','));
    if (index.empty()) return -1;
    std::string raw;
    int status = test::RunCommand("ffmpeg -v error -i " + test::ShellQuote(path) + " -map 0:" + index +
                                      " -f s16le -ac " + std::to_string(channels) + " - 2>/dev/null",
                                  &raw);
    if (status != 0) return -1;
    return static_cast<long>(raw.size() / (2 * channels));
}

// Tag codes expected from frame 1's ShowFrame on for a stream of n blocks.
std::vector<unsigned> BlockFrames(std::size_t blocks) {
    std::vector<unsigned> codes;
    for (std::size_t i = 0; i < blocks; ++i) codes.insert(codes.end(), {kTagSoundStreamBlock, kTagShowFrame});
    return codes;
}

std::vector<unsigned> Concat(std::initializer_list<std::vector<unsigned>> parts) {
    std::vector<unsigned> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// --- the frame rate -------------------------------------------------------

TEST(EffectiveFrameRateTest, LongSoundsLowerTheRate) {
    struct Case {
        std::uint32_t seconds;
        std::int32_t rate;
        int expected;
    } cases[] = {
        {1800, 12, 8},     // 30 minutes: 21600 frames would be too many
        {14400, 12, 1},    // 4 hours
        {18000, 12, 1},    // 5 hours: 16000 / 18000 = 0, raised to 1
        {1333, 12, 12},    // 15996 frames: still fine
        {1334, 12, 11},    // 16008 frames: lowered
        {0, 12, 12},
        {200, 120, 80},
        {4000000000u, 120, 1},  // no overflow in the product
    };
    for (const Case& c : cases)
        EXPECT_EQ(EffectiveFrameRate(c.seconds, c.rate), c.expected) << c.seconds << " s at " << c.rate;
    SoundMovieRecipe recipe;
    recipe.frameRate = 12;
    recipe.durationSeconds = 1800;
    EXPECT_EQ(EffectiveFrameRate(recipe), 8);
}

// --- the four builder and setting combinations ----------------------------

TEST(SoundSwfBuildersTest, PlayerWithControlsCarriesTemplateFrameAndStream) {
    Fixture f;
    f.recipe.withControls = true;
    f.recipe.initPlay = 1;
    f.recipe.loopPlay = 0;
    f.recipe.blankFrames = 3;
    ASSERT_TRUE(BuildStreamingSwf(f.recipe, f.files, f.tmpl));

    ParsedMovie m = f.Output();
    ASSERT_TRUE(m.ok);
    std::size_t blocks = m.All(kTagSoundStreamBlock).size();
    ASSERT_GT(blocks, 20u);
    std::vector<unsigned> expected = Concat({
        {kTagSetBackgroundColor, kTagSoundStreamHead, kTagDoAction, kTagDefineShape, kTagDefineButton2,
         kTagPlaceObject2, kTagShowFrame},
        {kTagShowFrame, kTagShowFrame, kTagShowFrame},
        BlockFrames(blocks),
        {kTagDoAction, kTagShowFrame, kTagEnd},
    });
    EXPECT_EQ(m.Codes(), expected);
    EXPECT_EQ(m.frameCount, 2 + 3 + blocks);
    EXPECT_EQ(m.frameCount, m.ShowFrames());
    EXPECT_EQ(m.version, 8u);
    EXPECT_EQ(m.widthTwips, 180 * 20);
    EXPECT_EQ(m.heightTwips, 40 * 20);
    EXPECT_EQ(m.frameRate, 12u);
    EXPECT_EQ(m.tags[0].body, (std::vector<std::uint8_t>{0xC0, 0x80, 0x40}));
    // 22050 Hz mono at 12 frames per second.
    EXPECT_EQ(m.tags[1].body, (std::vector<std::uint8_t>{0x0A, 0x2A, 0x2D, 0x07, 0x00, 0x00}));
    EXPECT_EQ(m.tags[2].body, kStartPlay);  // the patch wrote 12 over 12
    EXPECT_EQ(m.tags[3].body, kShapeBody);
    EXPECT_EQ(m.tags[4].body, kLongBody);
    EXPECT_EQ(m.tags[5].body, kPlaceBody);
    EXPECT_EQ(m.tags[m.tags.size() - 3].body, kEndStop);

    std::uint64_t samples = 0;
    EXPECT_EQ(StreamedMp3(m, &samples), test::ReadAll(f.mp3));
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    long fromMp3 = DecodedSamples(f.mp3, 1);
    EXPECT_EQ(static_cast<long>(samples), fromMp3);
    EXPECT_EQ(DecodedSamples(f.files.swfPath, 1), fromMp3);
    // The sound lasts as long as the signal, give or take LAME's delay and padding.
    EXPECT_NEAR(fromMp3, static_cast<long>(f.signalSamples), 3 * 576);
}

TEST(SoundSwfBuildersTest, SoundWithoutControlsUsesStopAndLoopBlocks) {
    Fixture f(44100, 2, 1.5);
    f.recipe.withControls = false;
    f.recipe.initPlay = 0;
    f.recipe.loopPlay = 1;
    f.recipe.blankFrames = 0;
    ASSERT_TRUE(BuildStreamingSwf(f.recipe, f.files, f.tmpl));

    ParsedMovie m = f.Output();
    ASSERT_TRUE(m.ok);
    std::size_t blocks = m.All(kTagSoundStreamBlock).size();
    EXPECT_EQ(m.Codes(), Concat({{kTagSetBackgroundColor, kTagSoundStreamHead, kTagDoAction, kTagShowFrame},
                                 BlockFrames(blocks),
                                 {kTagDoAction, kTagShowFrame, kTagEnd}}));
    EXPECT_EQ(m.frameCount, 2 + blocks);
    EXPECT_EQ(m.tags[2].body, kStartStop);
    EXPECT_EQ(m.tags[m.tags.size() - 3].body, kEndLoop);
    // 44100 Hz stereo: 3675 samples per SWF frame.
    EXPECT_EQ(m.tags[1].body, (std::vector<std::uint8_t>{0x0F, 0x2F, 0x5B, 0x0E, 0x00, 0x00}));
    EXPECT_EQ(StreamedMp3(m), test::ReadAll(f.mp3));
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    EXPECT_EQ(DecodedSamples(f.files.swfPath, 2), DecodedSamples(f.mp3, 2));
}

TEST(SoundSwfBuildersTest, ShellPairIsOnePixelSoundAndTheSavedTemplate) {
    Fixture f;
    f.recipe.withControls = true;
    f.recipe.blankFrames = 3;
    ASSERT_TRUE(BuildShellPlayerPair(f.recipe, f.files, f.tmpl));

    ParsedMovie m = f.Output();
    ASSERT_TRUE(m.ok);
    std::size_t blocks = m.All(kTagSoundStreamBlock).size();
    EXPECT_EQ(m.Codes(), Concat({{kTagSetBackgroundColor, kTagSoundStreamHead, kTagShowFrame},
                                 {kTagShowFrame, kTagShowFrame, kTagShowFrame},
                                 BlockFrames(blocks),
                                 {kTagEnd}}));
    EXPECT_EQ(m.frameCount, 1 + 3 + blocks);
    EXPECT_EQ(m.widthTwips, 20);
    EXPECT_EQ(m.heightTwips, 20);
    EXPECT_EQ(m.version, 8u);
    EXPECT_EQ(StreamedMp3(m), test::ReadAll(f.mp3));
    EXPECT_EQ(test::ReadAll(f.files.playerPath), f.tmpl.Data());
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    EXPECT_EQ(DecodedSamples(f.files.swfPath, 1), DecodedSamples(f.mp3, 1));
}

TEST(SoundSwfBuildersTest, EventSoundHasOneOrTwoFrames) {
    struct Case {
        int initPlay, loopPlay;
        std::vector<unsigned> codes;
        std::uint16_t loops;
    } cases[] = {
        {1, 0, {kTagSetBackgroundColor, kTagSoundStreamHead2, kTagDefineSound, kTagStartSound, kTagShowFrame, kTagEnd}, 1},
        {0, 1,
         {kTagSetBackgroundColor, kTagSoundStreamHead2, kTagDefineSound, kTagDoAction, kTagShowFrame, kTagStartSound,
          kTagShowFrame, kTagEnd},
         65535},
    };
    for (const Case& c : cases) {
        Fixture f(11025, 1, 1.0);
        f.recipe.withControls = false;
        f.recipe.initPlay = c.initPlay;
        f.recipe.loopPlay = c.loopPlay;
        f.recipe.blankFrames = 3;  // not used by event sound
        f.recipe.frameRate = 24;
        f.recipe.durationSeconds = 3600;  // would lower a streaming rate, not this one
        ASSERT_TRUE(BuildEventSoundSwf(f.recipe, f.files, f.tmpl));

        ParsedMovie m = f.Output();
        ASSERT_TRUE(m.ok);
        EXPECT_EQ(m.Codes(), c.codes);
        EXPECT_EQ(m.frameCount, c.initPlay ? 1u : 2u);
        EXPECT_EQ(m.version, 6u);
        EXPECT_EQ(m.frameRate, 24u);
        EXPECT_EQ(m.widthTwips, 180 * 20);
        const ParsedTag* sound = m.All(kTagDefineSound).at(0);
        std::uint32_t sampleCount = sound->body[3] | sound->body[4] << 8 | sound->body[5] << 16 |
                                    static_cast<std::uint32_t>(sound->body[6]) << 24;
        EXPECT_EQ(sampleCount, f.signalSamples);
        EXPECT_EQ(std::vector<std::uint8_t>(sound->body.begin() + 9, sound->body.end()), test::ReadAll(f.mp3));
        const ParsedTag* start = m.All(kTagStartSound).at(0);
        EXPECT_EQ(start->body[3] | start->body[4] << 8, c.loops);
        if (!c.initPlay) {
            EXPECT_EQ(m.All(kTagDoAction).at(0)->body, kStartStop);
        }
        if (test::HaveTool("ffmpeg")) {
            EXPECT_EQ(DecodedSamples(f.files.swfPath, 1), DecodedSamples(f.mp3, 1));
        }
    }
}

// --- frame rate in the movie and in the start actions ----------------------

TEST(SoundSwfBuildersTest, LongSoundLowersRateInHeaderStreamAndStartActions) {
    struct Case {
        std::uint32_t seconds;
        unsigned rate;
    } cases[] = {{1800, 8}, {18000, 1}, {10, 12}};
    for (const Case& c : cases) {
        Fixture f;
        f.recipe.withControls = true;
        f.recipe.initPlay = 1;
        f.recipe.durationSeconds = c.seconds;
        ASSERT_TRUE(BuildStreamingSwf(f.recipe, f.files, f.tmpl));
        ParsedMovie m = f.Output();
        ASSERT_TRUE(m.ok);
        EXPECT_EQ(m.frameRate, c.rate);
        const auto& head = m.tags[1].body;
        EXPECT_EQ(static_cast<unsigned>(head[2] | head[3] << 8), 22050 / c.rate);
        ByteBuffer patched = kStartPlay;
        patched[6] = static_cast<std::uint8_t>(c.rate);
        EXPECT_EQ(m.tags[2].body, patched);
        // The builder patched its own copy: the recipe's blocks stay as
        // they were, ready for the next file.
        EXPECT_EQ(BodyOf(f.recipe.startPlay.data), kStartPlay);
        EXPECT_EQ(BodyOf(f.recipe.startStop.data), kStartStop);
        EXPECT_EQ(StreamedMp3(m), test::ReadAll(f.mp3));
    }
}

// --- failures leave nothing behind -----------------------------------------

TEST(SoundSwfBuildersTest, FailuresLeaveNoFiles) {
    {
        Fixture f(22050, 1, 1.0, /*withShowFrame=*/false);
        f.recipe.withControls = true;
        EXPECT_FALSE(BuildStreamingSwf(f.recipe, f.files, f.tmpl));
        EXPECT_FALSE(fs::exists(f.files.swfPath));
        // Without controls the template's frame is not needed.
        f.recipe.withControls = false;
        EXPECT_TRUE(BuildStreamingSwf(f.recipe, f.files, f.tmpl));
    }
    {
        Fixture f;
        f.files.playerPath = f.dir.File("missing-folder/out.player.swf");
        EXPECT_FALSE(BuildShellPlayerPair(f.recipe, f.files, f.tmpl));
        EXPECT_FALSE(fs::exists(f.files.swfPath));
        EXPECT_FALSE(fs::exists(f.files.playerPath));
    }
    // MP3 that is missing or not an MP3, output that cannot be created, and
    // frame rates the header cannot hold: no file for any builder.
    for (int variant = 0; variant < 4; ++variant) {
        for (SwfBuilder build : {&BuildStreamingSwf, &BuildShellPlayerPair, &BuildEventSoundSwf}) {
            Fixture f;
            std::string mp3 = f.mp3;
            if (variant == 0) mp3 = f.dir.File("absent.mp3");
            if (variant == 1) {
                mp3 = f.dir.File("id3.mp3");
                std::vector<std::uint8_t> tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
                auto audio = test::ReadAll(f.mp3);
                tagged.insert(tagged.end(), audio.begin(), audio.end());
                test::WriteAll(mp3, tagged);
            }
            if (variant == 2) f.files.swfPath = f.dir.File("no-such-folder/out.swf");
            if (variant == 3) f.recipe.frameRate = 0;
            f.files.mp3Path = mp3;
            EXPECT_FALSE(build(f.recipe, f.files, f.tmpl)) << "variant " << variant;
            EXPECT_FALSE(fs::exists(f.files.swfPath)) << "variant " << variant;
            EXPECT_FALSE(fs::exists(f.files.playerPath)) << "variant " << variant;
        }
    }
}

// Movies of 4 GiB or more cannot state their length: every builder refuses
// them before writing anything, from the size of the sound alone (sparse
// files stand in for 4 GiB of MP3; nothing that large is read or written),
// and the writer never wraps the length of a file that grew past it.
TEST(SoundSwfBuildersTest, MoviesOfFourGibibytesAreRefusedAndNeverWrapTheirLength) {
    for (SwfBuilder build : {&BuildStreamingSwf, &BuildShellPlayerPair, &BuildEventSoundSwf}) {
        Fixture f;
        ASSERT_EQ(::truncate(f.mp3.c_str(), static_cast<off_t>(kMaxSwfFileBytes) + 1), 0);
        const BuildResult result = build(f.recipe, f.files, f.tmpl);
        EXPECT_FALSE(result);
        EXPECT_NE(result.reason.find("4 GiB"), std::string::npos) << result.reason;
        EXPECT_FALSE(fs::exists(f.files.swfPath));
        EXPECT_FALSE(fs::exists(f.files.playerPath));
    }
    // The template's tags count too: sound and template together just over.
    {
        Fixture f;
        const std::uint64_t tail = kMaxSwfFileBytes + 1 - f.tmpl.Size();
        ASSERT_EQ(::truncate(f.mp3.c_str(), static_cast<off_t>(tail)), 0);
        EXPECT_FALSE(BuildStreamingSwf(f.recipe, f.files, f.tmpl));
        EXPECT_FALSE(fs::exists(f.files.swfPath));
    }

    ScratchDir dir;
    for (const std::uint64_t size : {kMaxSwfFileBytes, kMaxSwfFileBytes + 1 + 1000}) {
        SwfWriter writer;
        ASSERT_TRUE(writer.Open(dir.File("big.swf")));
        writer.SetMovie(6, 1, 1, 12);
        ASSERT_TRUE(writer.WriteHeader());
        ASSERT_EQ(::ftruncate(writer.OutputFile().Descriptor(), static_cast<off_t>(size)), 0);
        EXPECT_EQ(writer.Close(), size <= kMaxSwfFileBytes) << size;
        std::vector<std::uint8_t> head(8);
        std::ifstream(dir.File("big.swf"), std::ios::binary).read(reinterpret_cast<char*>(head.data()), 8);
        const std::uint32_t length = head[4] | head[5] << 8 | head[6] << 16 | static_cast<std::uint32_t>(head[7]) << 24;
        EXPECT_EQ(length, size <= kMaxSwfFileBytes ? static_cast<std::uint32_t>(size) : 0u) << size;
    }
}

TEST(SoundSwfBuildersTest, StageSizeOutOfRangeFailsCleanly) {
    Fixture f;
    for (std::int32_t width : {200000000, -5}) {  // 4e9 twips wrap; a negative stage is nonsense
        f.recipe.width = width;
        EXPECT_FALSE(BuildStreamingSwf(f.recipe, f.files, f.tmpl));
        EXPECT_FALSE(fs::exists(f.files.swfPath));
        EXPECT_FALSE(BuildEventSoundSwf(f.recipe, f.files, f.tmpl));
        EXPECT_FALSE(fs::exists(f.files.swfPath));
    }
}

}  // namespace
}  // namespace tembrel
