// The conversion run: builder and template choice, template refusals,
// per-file outcomes, Cancel and the file-manager step, with a recording
// front end and per-file steps that can be made to fail.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <dirent.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/conversion_driver.h"
#include "platform/os_file.h"
#include "engine/scoped_env.h"
#include "support/decoding_fixtures.h"
#include "support/swf_template_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::RunCommand;
using test::ScratchDir;
using test::ShellQuote;

// Records what the engine asks of the window.
class RecordingUi : public ConversionUi {
public:
    void SetFileText(const std::string& text) override { fileTexts.push_back(text); }
    int FileBarWidth() const override { return 200; }
    void SetFileRange(int) override {}
    void SetFilePosition(int) override {}
    void SetOverallText(const std::string& text) override { overallTexts.push_back(text); }
    void SetOverallRange(int maximum) override { overallRange = maximum; }
    void SetOverallPosition(int position) override { overallPosition = position; }
    void SetRowStatus(int row, const std::string& text) override { statuses.push_back({row, text}); }
    bool ShowMessage(const std::string& text, MessageIcon icon) override {
        messages.push_back({text, icon});
        return true;
    }
    bool PumpMessages() override {
        if (onPump) onPump(*this);
        return cancelled;
    }
    void ShowInFileManager(const std::string& path) override { shown.push_back(path); }
    void BeginRun(int) override { ++runsBegun; }
    void EndRun() override { ++runsEnded; }

    // Last status each row received.
    std::string StatusOf(int row) const {
        std::string last;
        for (const auto& [r, text] : statuses)
            if (r == row) last = text;
        return last;
    }

    std::vector<std::string> fileTexts, overallTexts, shown;
    std::vector<std::pair<int, std::string>> statuses;
    std::vector<std::pair<std::string, MessageIcon>> messages;
    std::function<void(RecordingUi&)> onPump;
    int overallRange = -1, overallPosition = -1, runsBegun = 0, runsEnded = 0;
    std::atomic<bool> cancelled{false};  // set by a step on an engine thread too
};

std::string ProgramFolder() { return std::string(TEMBREL_PROGRAM_DIR) + "/"; }
bool HaveShippedTemplates() {
    return FileExists(ProgramFolder() + "empty.swf") && FileExists(ProgramFolder() + kDefaultControlSwf) &&
           FileExists(ProgramFolder() + kDefaultShellPlayerSwf);
}

// A template of six frames whose frames 3 to 6 each hold one DoAction (the
// start-play one with the frame-rate push when withTimingPattern).
ByteBuffer SmallTemplate(bool withActions, bool withTimingPattern = false) {
    test::TemplateFixture movie(6, 2000, 600);
    movie.Add(kTagSetBackgroundColor, ByteBuffer{0xFF, 0xFF, 0xFF});
    movie.ShowFrame();
    movie.ShowFrame();
    for (int slot = 0; slot < 4; ++slot) {
        if (withActions) {
            ByteBuffer body = slot == 0 && withTimingPattern
                                  ? test::ActionsBody({0x96, 0x07, 0x00, 0x08, 0x02, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x1D})
                                  : test::ActionsBody({static_cast<std::uint8_t>(slot == 0 ? 0x06 : 0x07)});
            movie.Add(kTagDoAction, body);
        }
        movie.ShowFrame();
    }
    movie.End();
    return movie.Bytes();
}

struct ProbedSound {
    std::string codec;
    int rate = 0;
    int channels = 0;
};

// The MP3 stream FFmpeg finds in a SWF (an event-sound movie also declares
// an empty stream head, which FFmpeg lists as a stream of its own).
ProbedSound ProbeSwfSound(const std::string& swf) {
    std::string out;
    RunCommand("ffprobe -v error -select_streams a -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 " +
                   ShellQuote(swf),
               &out);
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(start, end - start);
        start = end + 1;
        const auto first = line.find(',');
        const auto second = line.find(',', first + 1);
        if (first == std::string::npos || second == std::string::npos || line.substr(0, first) != "mp3") continue;
        return {"mp3", std::atoi(line.c_str() + first + 1), std::atoi(line.c_str() + second + 1)};
    }
    return {};
}

std::vector<std::string> FolderFiles(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Stem(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    return name.substr(0, name.rfind('.'));
}

// Steps of a small world: outputs beside a chosen folder, an MP3 made by
// FFmpeg at 22050 Hz mono, temporary files in their own folder.
class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "needs ffmpeg and ffprobe";
        ::mkdir(outDir.c_str(), 0755);
        ::mkdir(tempDir.c_str(), 0755);
        settings.BrowseOutFolder = 1;
        settings.CreateHtmlFile = 0;
        if (!HaveShippedTemplates()) {
            test::WriteAll(scratch.File("empty.swf"), SmallTemplate(true));
            test::WriteAll(scratch.File("player.swf"), SmallTemplate(true));
            settings.EmptySwfPath = scratch.File("empty.swf");
            settings.ControlSWF = settings.ShellPlayerSWF = scratch.File("player.swf");
        }
        steps.nameOutputs = [this](const ConversionSettings& s, SourceFileEntry& entry, std::string* status,
                                   std::string*) {
            entry.outputSwfPath = outDir + "/" + Stem(entry.sourcePath) + ".swf";
            entry.playerSwfPath = s.CreateCtrlSWF == 1 && s.ButtonSWFType != kPlayerSingle
                                      ? outDir + "/" + Stem(entry.sourcePath) + ".player.swf"
                                      : "";
            if (s.TargetExistsOpt == kTargetSkip && FileExists(entry.outputSwfPath)) {
                *status = "Target exists and skipped";
                entry.outputSwfPath.clear();
                return false;
            }
            return true;
        };
        steps.decodeAndEncode = [this](const ConversionSettings&, int, const std::string& source,
                                       const std::string& mp3, ConversionUi*, EncodedSound* sound, std::string*) {
            ++encodes;
            const bool ok = RunCommand("ffmpeg -nostdin -v error -y -i " + ShellQuote(source) +
                                       " -ar 22050 -ac 1 -b:a 32k -id3v2_version 0 -write_xing 0 -f mp3 " + ShellQuote(mp3)) == 0;
            sound->durationSeconds = 1;
            sound->sampleCount = 22050;
            return ok;
        };
        steps.createTempFile = [this] {
            std::string pattern = tempDir + "/TBRXXXXXX";
            const int fd = ::mkstemp(pattern.data());
            if (fd < 0) return std::string();
            ::close(fd);
            return pattern;
        };
    }

    std::string Tone(const std::string& name) {
        const std::string path = scratch.File(name);
        EXPECT_TRUE(test::EncodeTone(path, 44100, 2, 1.0, "-c:a pcm_s16le"));
        return path;
    }

    int Run(std::vector<SourceFileEntry>& list, RecordingUi* ui) {
        std::vector<SourceFileEntry*> entries;
        std::vector<int> rows;
        for (std::size_t i = 0; i < list.size(); ++i) {
            entries.push_back(&list[i]);
            rows.push_back(static_cast<int>(i) + 10);  // rows need not start at 0
        }
        return ConvertFiles(settings, entries, rows, ui, steps);
    }

    static std::vector<SourceFileEntry> Entries(std::initializer_list<std::string> paths) {
        std::vector<SourceFileEntry> list;
        for (const auto& p : paths) {
            SourceFileEntry e;
            e.sourcePath = p;
            e.typeCode = kSourceTypeWav;
            list.push_back(e);
        }
        return list;
    }

    ScratchDir scratch;
    std::string outDir = scratch.File("out");
    std::string tempDir = scratch.File("tmp");
    ConversionSettings settings{ProgramFolder()};
    ConversionSteps steps;
    int encodes = 0;
};

TEST(ChooseBuilderTest, SettingsPickBuilderTemplateAndBlocks) {
    ConversionSettings s("/prog/");
    struct Case {
        int ctrl, buttonType, soundType;
        SwfBuilder builder;
        std::string templatePath;
        bool blocks;
    } cases[] = {
        {1, kPlayerSingle, kSoundEvent, BuildStreamingSwf, s.ControlSWF, true},
        {1, kPlayerWithShell, kSoundStreaming, BuildShellPlayerPair, s.ShellPlayerSWF, false},
        {0, kPlayerWithShell, kSoundStreaming, BuildStreamingSwf, s.EmptySwfPath, true},
        {0, kPlayerSingle, kSoundEvent, BuildEventSoundSwf, s.EmptySwfPath, true},
    };
    for (const Case& c : cases) {
        s.CreateCtrlSWF = c.ctrl;
        s.ButtonSWFType = c.buttonType;
        s.SWFSoundType = c.soundType;
        const BuilderChoice choice = ChooseBuilder(s);
        EXPECT_EQ(choice.builder, c.builder) << c.ctrl << " " << c.buttonType << " " << c.soundType;
        EXPECT_EQ(choice.templatePath, c.templatePath);
        EXPECT_EQ(choice.usesActionBlocks, c.blocks);
    }
    EXPECT_EQ(s.EmptySwfPath, "/prog/empty.swf");
}

TEST(ProgressTextTest, TextsAsTheWindowShowsThem) {
    EXPECT_EQ(OverallProgressText(2, 7), "Converting 2 of 7 file(s) into SWF...");
    EXPECT_EQ(FileProgressText("/music/pop/a b.mp3", 0), "Converting a b.mp3...0%");
    EXPECT_EQ(TemplateMissingMessage("/p/x.swf"),
              "Error: the template SWF file \"/p/x.swf\" is not available.\n\nPlease re-install the software and try "
              "again.");
    EXPECT_EQ(TemplateInvalidMessage("/p/x.swf"),
              "Error: the template SWF file \"/p/x.swf\" is not a valid template file.\n\nPlease re-install the "
              "software and try again.");
}

TEST_F(DriverTest, EachBuilderChoiceMakesSwfsFfprobeDecodes) {
    const std::string a = Tone("alpha.wav"), b = Tone("beta.wav");
    struct Case {
        const char* name;
        int ctrl, buttonType, soundType;
    } cases[] = {{"player", 1, kPlayerSingle, kSoundStreaming},
                 {"shell pair", 1, kPlayerWithShell, kSoundStreaming},
                 {"streaming", 0, kPlayerSingle, kSoundStreaming},
                 {"event", 0, kPlayerSingle, kSoundEvent}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.CreateCtrlSWF = c.ctrl;
        settings.ButtonSWFType = c.buttonType;
        settings.SWFSoundType = c.soundType;
        settings.TargetExistsOpt = kTargetOverwrite;
        auto list = Entries({a, b});
        RecordingUi ui;
        EXPECT_EQ(Run(list, &ui), 2);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const ProbedSound sound = ProbeSwfSound(list[i].outputSwfPath);
            EXPECT_EQ(sound.codec, "mp3");
            EXPECT_EQ(sound.rate, 22050);
            EXPECT_EQ(sound.channels, 1);
            EXPECT_EQ(ui.StatusOf(static_cast<int>(i) + 10), Stem(list[i].sourcePath) + ".swf");
            if (c.buttonType == kPlayerWithShell && c.ctrl == 1) {
                EXPECT_TRUE(FileExists(list[i].playerSwfPath));
            }
        }
        EXPECT_EQ(ui.overallRange, 2);
        EXPECT_EQ(ui.overallPosition, 2);
        EXPECT_EQ(ui.overallTexts.back(), "Converting 2 of 2 file(s) into SWF...");
        EXPECT_EQ(ui.fileTexts.front(), "Converting alpha.wav...0%");
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(ui.shown[0], list[0].outputSwfPath);
        EXPECT_EQ(ui.runsBegun, 1);
        EXPECT_EQ(ui.runsEnded, 1);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_TRUE(FolderFiles(tempDir).empty());
    }
}

TEST(PrepareTemplateTest, PictureTemplatesTakeThePictureSizeOnlyWithAPicture) {
    const std::string picture = ProgramFolder() + "ControlSWF/use_a_jpeg_1.swf";
    if (!FileExists(picture) || !FileExists(ProgramFolder() + kSamplePictureName))
        GTEST_SKIP() << "shipped picture template not built";
    SwfTemplate plain;
    ASSERT_TRUE(plain.LoadTemplate(picture));
    const struct {
        std::string jpeg;
        int width, height;
        bool takesPictureSize;
    } cases[] = {{ProgramFolder() + kSamplePictureName, 100, 75, true},
                 {"", 100, 75, false},
                 {ProgramFolder() + kSamplePictureName, 0, 75, false},
                 {ProgramFolder() + kSamplePictureName, 100, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.jpeg + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
        ConversionSettings s(ProgramFolder());
        s.CreateCtrlSWF = 1;
        s.ButtonSWFType = kPlayerSingle;
        s.ControlSWF = picture;
        s.JPEGFile = c.jpeg;
        s.JPEGWidth = c.width;
        s.JPEGHeight = c.height;
        RecordingUi ui;
        RunTemplate run;
        ASSERT_TRUE(PrepareTemplate(s, ChooseBuilder(s), &ui, run));
        const PreparedMovie& movie = run.movie;
        EXPECT_EQ(movie.width, c.takesPictureSize ? c.width : plain.Width());
        EXPECT_EQ(movie.height, c.takesPictureSize ? c.height : plain.Height());
        EXPECT_EQ(movie.version, plain.Version());
        EXPECT_FALSE(movie.startPlay.Empty());
        EXPECT_TRUE(ui.messages.empty());
    }
}

TEST_F(DriverTest, EachFileGetsItsOwnOutcome) {
    const std::string good = Tone("good.wav");
    const std::string broken = scratch.File("broken.wav");
    test::WriteAll(broken, {'n', 'o', 't', ' ', 's', 'o', 'u', 'n', 'd'});
    const std::string existing = Tone("existing.wav");
    test::WriteAll(outDir + "/existing.swf", {1, 2, 3});
    settings.TargetExistsOpt = kTargetSkip;
    settings.CreateCtrlSWF = 0;

    auto list = Entries({good, broken, existing});
    RecordingUi ui;
    EXPECT_EQ(Run(list, &ui), 1);
    EXPECT_EQ(ui.StatusOf(10), "good.swf");
    EXPECT_EQ(ui.StatusOf(11), "Conversion Failure");
    EXPECT_EQ(ui.StatusOf(12), "Target exists and skipped");
    // Every row showed "Converting..." before its outcome.
    EXPECT_EQ(std::count(ui.statuses.begin(), ui.statuses.end(), std::make_pair(11, std::string("Converting..."))),
              1);
    EXPECT_FALSE(list[0].outputSwfPath.empty());
    EXPECT_TRUE(list[1].outputSwfPath.empty() && list[1].playerSwfPath.empty() && list[1].htmlPath.empty());
    EXPECT_FALSE(FileExists(outDir + "/broken.swf"));
    EXPECT_EQ(test::ReadAll(outDir + "/existing.swf"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(FolderFiles(tempDir).empty());
}

TEST_F(DriverTest, EmptyMp3OrFailingBuilderIsAConversionFailure) {
    const std::string a = Tone("a.wav");
    settings.CreateCtrlSWF = 0;
    struct Case {
        const char* name;
        bool emptyMp3;
        bool builderFails;
    } cases[] = {{"stage succeeds with an empty file", true, false}, {"builder fails", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionSteps trial = steps;
        if (c.emptyMp3)
            trial.decodeAndEncode = [](const ConversionSettings&, int, const std::string&, const std::string&,
                                       ConversionUi*, EncodedSound*, std::string*) { return true; };
        if (c.builderFails)
            trial.builder = [](const SoundMovieRecipe&, const SoundMovieFiles&, SwfTemplate&) {
                return BuildResult{false, "refused"};
            };
        std::swap(steps, trial);
        auto list = Entries({a});
        RecordingUi ui;
        EXPECT_EQ(Run(list, &ui), 0);
        std::swap(steps, trial);
        EXPECT_EQ(ui.StatusOf(10), "Conversion Failure");
        EXPECT_TRUE(list[0].outputSwfPath.empty());
        EXPECT_TRUE(ui.shown.empty());
        EXPECT_TRUE(FolderFiles(tempDir).empty());
    }
}

TEST_F(DriverTest, UnusableTemplatesStopTheRunWithTheirMessage) {
    const std::string a = Tone("a.wav");
    const std::string noActions = scratch.File("no_actions.swf");
    test::WriteAll(noActions, SmallTemplate(false));
    const std::string timingWithout = scratch.File("Timer/plain.swf");
    ::mkdir(scratch.File("Timer").c_str(), 0755);
    test::WriteAll(timingWithout, SmallTemplate(true, false));
    const std::string missing = scratch.File("missing.swf");
    // There, but too short to load: as good as missing.
    const std::string cut = scratch.File("cut.swf");
    test::WriteAll(cut, {'F', 'W', 'S', 6, 20, 0, 0, 0});
    struct Case {
        std::string path;
        std::string message;
        MessageIcon icon;
    } cases[] = {{noActions, TemplateInvalidMessage(noActions), MessageIcon::Stop},
                 {timingWithout, TemplateInvalidMessage(timingWithout), MessageIcon::Stop},
                 {missing, TemplateMissingMessage(missing), MessageIcon::Exclamation},
                 {cut, TemplateMissingMessage(cut), MessageIcon::Exclamation}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        settings.CreateCtrlSWF = 1;
        settings.ButtonSWFType = kPlayerSingle;
        settings.ControlSWF = c.path;
        auto list = Entries({a});
        RecordingUi ui;
        EXPECT_EQ(Run(list, &ui), 0);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].first, c.message);
        EXPECT_EQ(ui.messages[0].second, c.icon);
        EXPECT_TRUE(ui.statuses.empty());
        EXPECT_EQ(ui.runsBegun, 0);
        EXPECT_EQ(encodes, 0);
        EXPECT_TRUE(FolderFiles(outDir).empty());
    }
}

TEST_F(DriverTest, TimingTemplateGetsTheFrameRatePatched) {
    const std::string a = Tone("a.wav");
    const std::string timing = scratch.File("my_TIME.swf");
    test::WriteAll(timing, SmallTemplate(true, true));
    settings.CreateCtrlSWF = 1;
    settings.ButtonSWFType = kPlayerSingle;
    settings.ControlSWF = timing;
    settings.SWFFrameRate = 9;
    RunTemplate run;
    ASSERT_TRUE(PrepareTemplate(settings, ChooseBuilder(settings), nullptr, run));
    const PreparedMovie& movie = run.movie;
    ASSERT_TRUE(movie.startPlay.patchAt.has_value());
    EXPECT_FALSE(movie.startStop.patchAt.has_value());
    auto list = Entries({a});
    RecordingUi ui;
    EXPECT_EQ(Run(list, &ui), 1);
    // The movie's start actions carry the rate where the template had 12.
    const auto swf = test::ReadAll(list[0].outputSwfPath);
    const std::vector<std::uint8_t> patched{0x96, 0x07, 0x00, 0x08, 0x02, 0x07, 9, 0, 0, 0, 0x1D};
    EXPECT_NE(std::search(swf.begin(), swf.end(), patched.begin(), patched.end()), swf.end());
}

TEST_F(DriverTest, CancelAfterTheFirstFileKeepsItAndStops) {
    const std::string a = Tone("a.wav"), b = Tone("b.wav");
    settings.CreateCtrlSWF = 0;
    auto list = Entries({a, b});
    RecordingUi ui;
    ui.onPump = [](RecordingUi& u) {
        if (u.StatusOf(10) == "a.swf") u.cancelled = true;
    };
    EXPECT_EQ(Run(list, &ui), 1);
    EXPECT_EQ(ui.StatusOf(10), "a.swf");
    EXPECT_EQ(ui.StatusOf(11), "");  // never started
    EXPECT_EQ(encodes, 1);
    EXPECT_TRUE(FileExists(list[0].outputSwfPath));
    // The file the loop stopped at is not offered to the file manager.
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(DriverTest, CancelDuringTheStageMarksTheFileCancelled) {
    const std::string a = Tone("a.wav"), b = Tone("b.wav"), c = Tone("c.wav");
    settings.CreateCtrlSWF = 0;
    auto encode = steps.decodeAndEncode;
    RecordingUi ui;
    steps.decodeAndEncode = [&](const ConversionSettings& s, int type, const std::string& src, const std::string& mp3,
                                ConversionUi* stage, EncodedSound* sound, std::string* reason) {
        if (src == b) {
            ui.cancelled = true;  // Cancel pressed while encoding
            // The stage learns of it once the window has pumped its messages.
            while (!stage->PumpMessages()) std::this_thread::yield();
            return false;
        }
        return encode(s, type, src, mp3, stage, sound, reason);
    };
    auto list = Entries({a, b, c});
    EXPECT_EQ(Run(list, &ui), 1);
    EXPECT_EQ(ui.StatusOf(11), "Cancelled");
    EXPECT_EQ(ui.StatusOf(12), "");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0], list[0].outputSwfPath);
    EXPECT_TRUE(FolderFiles(tempDir).empty());
}

TEST_F(DriverTest, SilentRunNeitherShowsNorBrowses) {
    const std::string a = Tone("a.wav");
    settings.CreateCtrlSWF = 0;
    auto list = Entries({a});
    std::vector<SourceFileEntry*> entries{&list[0]};
    EXPECT_EQ(ConvertFiles(settings, entries, {0}, nullptr, steps), 1);
    EXPECT_EQ(ProbeSwfSound(list[0].outputSwfPath).codec, "mp3");
}

TEST_F(DriverTest, NoBrowsingWhenNothingConverted) {
    settings.CreateCtrlSWF = 0;
    auto list = Entries({scratch.File("absent.wav")});
    RecordingUi ui;
    EXPECT_EQ(Run(list, &ui), 0);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(DriverTest, ProgramStepsConvertEndToEnd) {
    test::ScopedEnv env;
    env.Set("TMPDIR", tempDir);
    const std::string a = Tone("end_to_end.wav");
    const std::string broken = scratch.File("broken.mp3");
    test::WriteAll(broken, std::vector<std::uint8_t>(4000, 0x5A));
    settings.SWFOutputFolderOpt = kOutputSameFolder;
    settings.CreateHtmlFile = 1;
    settings.AutoDestMP3EncodingParam = 0;
    settings.MP3SampleRate = 22050;
    settings.MP3ChannelNum = 1;
    settings.MP3BitRate = 32;
    steps = StandardConversionSteps();
    auto list = Entries({a, broken});
    list[1].typeCode = kSourceTypeOther;
    RecordingUi ui;
    EXPECT_EQ(Run(list, &ui), 1);
    EXPECT_EQ(ui.StatusOf(10), "end_to_end.swf");
    EXPECT_EQ(ui.StatusOf(11), "Conversion Failure");
    const ProbedSound sound = ProbeSwfSound(list[0].outputSwfPath);
    EXPECT_EQ(sound.codec, "mp3");
    EXPECT_EQ(sound.rate, 22050);
    EXPECT_EQ(sound.channels, 1);
    EXPECT_TRUE(FileExists(list[0].htmlPath));
    // The stage's progress reached the window and ended at 100 %.
    EXPECT_EQ(ui.fileTexts.back(), "Converting broken.mp3...0%");
    EXPECT_NE(std::find(ui.fileTexts.begin(), ui.fileTexts.end(), "Converting end_to_end.wav...100%"),
              ui.fileTexts.end());
    EXPECT_FALSE(FileExists(scratch.File("broken.swf")));
    // No MP3, spool or TBR file is left behind.
    EXPECT_TRUE(FolderFiles(tempDir).empty());
}

TEST_F(DriverTest, CancelInsideTheProgramStageLeavesNothingBehind) {
    test::ScopedEnv env;
    env.Set("TMPDIR", tempDir);
    const std::string a = Tone("first.wav"), b = Tone("second.wav");
    settings.CreateCtrlSWF = 0;
    settings.CreateHtmlFile = 1;
    steps = StandardConversionSteps();
    auto list = Entries({a, b});
    RecordingUi ui;
    // Cancel as soon as the second file's encoding reports progress.
    ui.onPump = [](RecordingUi& u) {
        if (!u.fileTexts.empty() && u.fileTexts.back().rfind("Converting second.wav...", 0) == 0 &&
            u.fileTexts.back() != "Converting second.wav...0%")
            u.cancelled = true;
    };
    EXPECT_EQ(Run(list, &ui), 1);
    EXPECT_EQ(ui.StatusOf(10), "first.swf");
    EXPECT_EQ(ui.StatusOf(11), "Cancelled");
    EXPECT_TRUE(list[1].outputSwfPath.empty());
    EXPECT_FALSE(FileExists(scratch.File("second.swf")));
    EXPECT_FALSE(FileExists(scratch.File("second.htm")));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0], scratch.File("first.swf"));
    EXPECT_TRUE(FolderFiles(tempDir).empty());
}

}  // namespace
}  // namespace tembrel
