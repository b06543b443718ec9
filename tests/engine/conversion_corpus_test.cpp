// A corpus of sound files made at test time, every format the program reads,
// converted through the whole run (naming, decode-and-encode, builder, page)
// into each of the four kinds of SWF. FFmpeg, an independent decoder, must
// find each SWF's sound at the rate and channel count the settings ask for
// and as long as the trimmed source, within one MP3 frame. Failures (a file
// nothing decodes, a builder that cannot write, Cancel while decoding or
// encoding) leave no output of that file and the temporary folder as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "audio/bass_audio_source.h"
#include "audio/source_extensions.h"
#include "engine/conversion_driver.h"
#include "engine/scoped_env.h"
#include "platform/os_file.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::ScratchDir;
using test::ShellQuote;

std::string ProgramFolder() { return std::string(TEMBREL_PROGRAM_DIR) + "/"; }

std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& item : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(item.path(), folder).string());
    return names;
}

struct SwfSound {
    int rate = 0;
    int channels = 0;
    std::size_t frames = 0;  // decoded sample frames
};

// The MP3 sound FFmpeg finds in a SWF: of its MP3 streams (an event-sound
// movie also declares an empty stream head) the one that decodes longest.
SwfSound DecodeSwfSound(const std::string& swf) {
    std::string out;
    RunCommand("ffprobe -v quiet -show_entries stream=index,codec_name,sample_rate,channels -of csv=p=0 " +
                   ShellQuote(swf),
               &out);
    SwfSound best;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream cells(line);
        std::string index, codec, rate, channels;
        std::getline(cells, index, ',');
        std::getline(cells, codec, ',');
        std::getline(cells, rate, ',');
        std::getline(cells, channels, ',');
        if (codec != "mp3") continue;
        std::string raw;
        RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(swf) + " -map 0:" + index + " -ac 1 -f s16le - 2>/dev/null", &raw);
        if (raw.size() / 2 >= best.frames) best = {std::atoi(rate.c_str()), std::atoi(channels.c_str()), raw.size() / 2};
    }
    return best;
}

struct CorpusFile {
    const char* name;
    const char* make;  // FFmpeg output options; "" for the tracker module
    int rate, channels;
};

// What LAME adds to the samples it is given: 576 frames of encoder delay in
// front and at least 576 of padding at the end, up to a whole MP3 frame; the
// SWF carries no gapless tag, so FFmpeg decodes all of it.
constexpr double kLameFraming = 576 + 576;

const CorpusFile kCorpus[] = {
    {"pcm16.wav", "-c:a pcm_s16le", 44100, 2},
    {"unsigned8.wav", "-c:a pcm_u8", 22050, 1},
    {"ima.wav", "-c:a adpcm_ima_wav", 22050, 2},
    {"msadpcm.wav", "-c:a adpcm_ms", 11025, 1},
    {"alaw.wav", "-c:a pcm_alaw", 8000, 1},
    {"float.wav", "-c:a pcm_f32le", 48000, 2},
    {"big.aiff", "-c:a pcm_s16be", 32000, 2},
    {"sowt.aifc", "-c:a pcm_s16le -f aiff", 22050, 1},
    {"mulaw.au", "-c:a pcm_mulaw", 8000, 1},
    {"lame.mp3", "-c:a libmp3lame -b:a 128k", 44100, 2},
    {"vorbis.ogg", "-c:a libvorbis", 44100, 2},
    {"lossless.flac", "-c:a flac", 48000, 1},
    {"aac.m4a", "-c:a aac -b:a 96k", 44100, 2},
    {"tune.mod", "", 0, 2},
};

struct Kind {
    const char* name;
    std::function<void(ConversionSettings&)> set;
    // Output rate for a source rate (the rate music is rendered at for MOD).
    std::function<int(int)> rate;
    int monoOnly;  // 1: every output is mono
};

class ConversionCorpusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitAudioDecoding(); }

    void SetUp() override {
        if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "needs ffmpeg and ffprobe";
        if (!FileExists(ProgramFolder() + "empty.swf") || !FileExists(ProgramFolder() + kDefaultControlSwf) ||
            !FileExists(ProgramFolder() + kDefaultShellPlayerSwf))
            GTEST_SKIP() << "shipped templates not built";
        fs::create_directories(tempDir);
        fs::create_directories(sourceDir);
        // Something of someone else's in the temporary folder, to be left alone.
        test::WriteAll(tempDir + "/keep.txt", {'k'});
        tempBefore = Listing(tempDir);
        env.Set("TMPDIR", tempDir);
        settings.SWFOutputFolderOpt = kOutputCustomFolder;
        settings.SWFSpecifiedFolder = outDir;
        settings.CreateHtmlFile = 1;
    }

    void TearDown() override {
        if (!IsSkipped()) {
            EXPECT_EQ(Listing(tempDir), tempBefore) << "the temporary folder must be as it was";
        }
    }

    std::string Make(const CorpusFile& file, double seconds) {
        const std::string path = sourceDir + "/" + file.name;
        if (*file.make == '\0') {
            test::WriteAll(path, test::TinyModule());
        } else {
            EXPECT_TRUE(test::EncodeTone(path, file.rate, file.channels, seconds, file.make)) << file.name;
        }
        return path;
    }

    std::vector<SourceFileEntry> Entries(const std::vector<std::string>& paths) {
        std::vector<SourceFileEntry> list;
        for (const std::string& path : paths) {
            SourceFileEntry entry;
            entry.sourcePath = path;
            entry.typeCode = SourceTypeCode(path);
            list.push_back(entry);
        }
        return list;
    }

    int Convert(std::vector<SourceFileEntry>& list, ConversionUi* ui) {
        std::vector<SourceFileEntry*> entries;
        std::vector<int> rows;
        for (std::size_t i = 0; i < list.size(); ++i) {
            entries.push_back(&list[i]);
            rows.push_back(static_cast<int>(i));
        }
        return ConvertFiles(settings, entries, rows, ui);
    }

    ScratchDir scratch;
    test::ScopedEnv env;
    std::string tempDir = scratch.File("tmp");
    std::string sourceDir = scratch.File("sources");
    std::string outDir = scratch.File("out");
    std::set<std::string> tempBefore;
    ConversionSettings settings{ProgramFolder()};
};

// Records the row statuses and the file texts; cancels when asked to.
class CorpusUi : public ConversionUi {
public:
    void SetFileText(const std::string& text) override { lastFileText = text; }
    int FileBarWidth() const override { return 100; }
    void SetFileRange(int) override {}
    void SetFilePosition(int) override {}
    void SetOverallText(const std::string&) override {}
    void SetOverallRange(int) override {}
    void SetOverallPosition(int) override {}
    void SetRowStatus(int row, const std::string& text) override { statuses[row] = text; }
    bool ShowMessage(const std::string& text, MessageIcon) override {
        messages.push_back(text);
        return true;
    }
    bool PumpMessages() override {
        if (cancelWhen && cancelWhen(lastFileText)) cancelled = true;
        return cancelled;
    }
    void ShowInFileManager(const std::string&) override {}

    std::map<int, std::string> statuses;
    std::vector<std::string> messages;
    std::string lastFileText;
    std::function<bool(const std::string&)> cancelWhen;
    bool cancelled = false;
};

TEST_F(ConversionCorpusTest, EveryFormatIntoEveryKindDecodesAsExpected) {
    constexpr double kSeconds = 1.2;
    std::vector<std::string> paths;
    for (const CorpusFile& file : kCorpus) paths.push_back(Make(file, kSeconds));
    // Two files nothing decodes, between the others.
    test::WriteAll(sourceDir + "/noise.wav", std::vector<std::uint8_t>(5000, 0x3C));
    test::WriteAll(sourceDir + "/noise.mp3", std::vector<std::uint8_t>(5000, 0x00));
    paths.insert(paths.begin() + 3, sourceDir + "/noise.wav");
    paths.push_back(sourceDir + "/noise.mp3");
    // Sample frames FFmpeg decodes from each source (all but the module).
    std::map<std::string, std::size_t> decodedFrames;
    for (const CorpusFile& file : kCorpus)
        if (*file.make != '\0')
            decodedFrames[file.name] = test::FfmpegDecode(sourceDir + "/" + file.name).size() /
                                       static_cast<std::size_t>(file.channels);

    const Kind kinds[] = {
        {"player, automatic",
         [](ConversionSettings& s) {
             s.CreateCtrlSWF = 1;
             s.ButtonSWFType = kPlayerSingle;
         },
         [](int rate) { return rate > 22050 ? 44100 : 22050; }, 0},
        {"shell player, 22050 Hz mono",
         [](ConversionSettings& s) {
             s.CreateCtrlSWF = 1;
             s.ButtonSWFType = kPlayerWithShell;
             s.AutoDestMP3EncodingParam = 0;
             s.MP3SampleRate = 22050;
             s.MP3BitRate = 32;
             s.MP3ChannelNum = 1;
         },
         [](int) { return 22050; }, 1},
        {"streaming, 11025 Hz, skip first 200 ms and last 100 ms",
         [](ConversionSettings& s) {
             s.CreateCtrlSWF = 0;
             s.SWFSoundType = kSoundStreaming;
             s.AutoDestMP3EncodingParam = 0;
             s.MP3SampleRate = 11025;
             s.MP3BitRate = 24;
             s.MP3ChannelNum = 2;
             s.SkipFirstMs = 200;
             s.SkipLastMs = 100;
         },
         [](int) { return 11025; }, 0},
        {"event sound, automatic, skip first 150 ms",
         [](ConversionSettings& s) {
             s.CreateCtrlSWF = 0;
             s.SWFSoundType = kSoundEvent;
             s.SkipFirstMs = 150;
         },
         [](int rate) { return rate > 22050 ? 44100 : 22050; }, 0},
    };

    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        fs::remove_all(outDir);
        settings = ConversionSettings{ProgramFolder()};
        settings.SWFOutputFolderOpt = kOutputCustomFolder;
        settings.SWFSpecifiedFolder = outDir;
        settings.CreateHtmlFile = 1;
        kind.set(settings);
        auto list = Entries(paths);
        CorpusUi ui;
        EXPECT_EQ(Convert(list, &ui), static_cast<int>(std::size(kCorpus)));

        for (std::size_t row = 0; row < list.size(); ++row) {
            const SourceFileEntry& entry = list[row];
            const std::string name = fs::path(entry.sourcePath).filename().string();
            SCOPED_TRACE(name);
            if (name.rfind("noise.", 0) == 0) {
                EXPECT_EQ(ui.statuses[static_cast<int>(row)], "Conversion Failure");
                EXPECT_TRUE(entry.outputSwfPath.empty());
                continue;
            }
            const auto file = std::find_if(std::begin(kCorpus), std::end(kCorpus),
                                           [&](const CorpusFile& f) { return name == f.name; });
            ASSERT_NE(file, std::end(kCorpus));
            ASSERT_EQ(ui.statuses[static_cast<int>(row)], fs::path(entry.outputSwfPath).filename().string());

            // The source as it reaches the stage: music is rendered at the
            // rate asked for, everything else is what FFmpeg decodes.
            const bool music = *file->make == '\0';
            const int sourceRate = music ? (settings.AutoDestMP3EncodingParam ? 44100 : settings.MP3SampleRate)
                                         : file->rate;
            const std::size_t sourceFrames =
                music ? static_cast<std::size_t>(std::llround(test::kTinyModuleSeconds * sourceRate))
                      : decodedFrames[name];
            const auto cut = [&](int ms) { return static_cast<std::size_t>(std::trunc(sourceRate * (ms * 0.001))); };
            const std::size_t kept = sourceFrames - cut(settings.SkipFirstMs) - cut(settings.SkipLastMs);

            const int outRate = kind.rate(sourceRate);
            const SwfSound sound = DecodeSwfSound(entry.outputSwfPath);
            EXPECT_EQ(sound.rate, outRate);
            EXPECT_EQ(sound.channels, kind.monoOnly ? 1 : file->channels);
            const std::size_t frame = outRate > 24000 ? 1152 : 576;
            const double expected = std::trunc(double(kept) * outRate / sourceRate) + kLameFraming;
            // Nothing of the trimmed source missing, at most one frame more.
            EXPECT_GE(double(sound.frames), expected);
            EXPECT_LT(double(sound.frames), expected + double(frame));

            EXPECT_TRUE(FileExists(entry.htmlPath));
            if (settings.CreateCtrlSWF == 1 && settings.ButtonSWFType == kPlayerWithShell) {
                EXPECT_TRUE(FileExists(entry.playerSwfPath));
            }
        }
    }
}

// Percent of a "Converting <name>...N%" text; -1 for another file's.
int PercentOf(const std::string& text, const std::string& name) {
    const std::string head = "Converting " + name + "...";
    if (text.rfind(head, 0) != 0) return -1;
    return std::atoi(text.c_str() + head.size());
}

TEST_F(ConversionCorpusTest, FailuresLeaveNoOutputAndNoTemporaryFile) {
    // A shell player pair, the kind that writes the most files per source.
    settings.CreateCtrlSWF = 1;
    settings.ButtonSWFType = kPlayerWithShell;
    const std::string first = Make({"first.flac", "-c:a flac", 44100, 2}, 0.5);
    const std::string second = Make({"second.wav", "-c:a pcm_s16le", 44100, 2}, 4.0);
    auto outputsOf = [&](const std::string& stem) {
        std::vector<std::string> found;
        if (!fs::exists(outDir)) return found;
        for (const std::string& name : Listing(outDir))
            if (name.rfind(stem + ".", 0) == 0) found.push_back(name);
        return found;
    };

    // Cancel while the second file is decoded (0-20 %) and while it is
    // encoded (20-100 %): the first file stays, nothing of the second.
    const struct {
        const char* phase;
        int from, to;
    } phases[] = {{"decoding", 1, 19}, {"encoding", 21, 99}};
    for (const auto& phase : phases) {
        SCOPED_TRACE(phase.phase);
        fs::remove_all(outDir);
        auto list = Entries({first, second});
        CorpusUi ui;
        int seen = -1;
        ui.cancelWhen = [&](const std::string& text) {
            const int percent = PercentOf(text, "second.wav");
            if (percent >= phase.from && percent <= phase.to) seen = percent;
            return seen >= 0;
        };
        EXPECT_EQ(Convert(list, &ui), 1);
        EXPECT_GE(seen, phase.from);
        EXPECT_EQ(ui.statuses[0], "first.swf");
        EXPECT_EQ(ui.statuses[1], "Cancelled");
        EXPECT_TRUE(list[1].outputSwfPath.empty() && list[1].playerSwfPath.empty() && list[1].htmlPath.empty());
        EXPECT_EQ(outputsOf("first"), (std::vector<std::string>{"first.htm", "first.player.swf", "first.swf"}));
        EXPECT_TRUE(outputsOf("second").empty());
        EXPECT_EQ(Listing(tempDir), tempBefore);
    }

    // Overwriting, a player whose name is taken by a folder fails the file
    // before anything is placed: no sound SWF and no page either.
    fs::remove_all(outDir);
    fs::create_directories(outDir + "/second.player.swf");
    settings.TargetExistsOpt = kTargetOverwrite;
    auto list = Entries({first, second});
    CorpusUi ui;
    EXPECT_EQ(Convert(list, &ui), 1);
    EXPECT_EQ(ui.statuses[1], "Conversion Failure");
    EXPECT_TRUE(list[1].outputSwfPath.empty());
    EXPECT_EQ(outputsOf("second"), (std::vector<std::string>{"second.player.swf"}));
    EXPECT_TRUE(fs::is_empty(outDir + "/second.player.swf"));
}

}  // namespace
}  // namespace tembrel
