// Several files at once: a run with three jobs names, writes and reports
// exactly what the one-at-a-time run does (same-stem sources renamed into
// one folder, overwriting, skipping, mirrored folders, every SWF kind), and
// Cancel stops it without leaving temporary files or half-made outputs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/conversion_driver.h"
#include "engine/decode_and_encode.h"
#include "engine/parallel_conversion.h"
#include "engine/scoped_env.h"
#include "platform/os_file.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::ScratchDir;

// A front end that keeps the last status of each row and can cancel; the
// run must call it one thread at a time, which `busy` checks.
class StatusUi : public ConversionUi {
public:
    void SetFileText(const std::string& text) override { Enter(), fileTexts.push_back(text), Leave(); }
    int FileBarWidth() const override { return 100; }
    void SetFileRange(int) override { Enter(), Leave(); }
    void SetFilePosition(int) override { Enter(), Leave(); }
    void SetOverallText(const std::string&) override { Enter(), Leave(); }
    void SetOverallRange(int) override {}
    void SetOverallPosition(int) override {}
    void SetRowStatus(int row, const std::string& text) override { Enter(), statuses[row] = text, Leave(); }
    bool ShowMessage(const std::string& text, MessageIcon) override {
        messages.push_back(text);
        return true;
    }
    bool PumpMessages() override {
        Enter();
        ++pumps;
        if (cancelWhen && cancelWhen(*this)) cancelled = true;
        Leave();
        return cancelled;
    }
    void ShowInFileManager(const std::string& path) override { shown.push_back(path); }

    std::map<int, std::string> statuses;
    std::vector<std::string> fileTexts, messages, shown;
    std::function<bool(const StatusUi&)> cancelWhen;
    int pumps = 0;
    bool cancelled = false;
    bool overlapped = false;

private:
    void Enter() {
        if (busy) overlapped = true;
        busy = true;
    }
    void Leave() { busy = false; }
    bool busy = false;
};

std::string ProgramFolder() { return std::string(TEMBREL_PROGRAM_DIR) + "/"; }

// Every regular file below folder, by its path relative to folder.
std::map<std::string, std::vector<std::uint8_t>> Tree(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::vector<std::uint8_t>> files;
    if (!fs::exists(folder)) return files;
    for (const auto& item : fs::recursive_directory_iterator(folder))
        if (item.is_regular_file())
            files[fs::relative(item.path(), folder).string()] = test::ReadAll(item.path().string());
    return files;
}

std::vector<std::string> FolderFiles(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        ::closedir(dir);
    }
    return names;
}

struct RunResult {
    int converted = 0;
    std::map<int, std::string> statuses;
    std::vector<std::string> swfs, pages, players;  // entry paths after the run
    std::map<std::string, std::vector<std::uint8_t>> outputs;
    std::vector<std::string> shown;
};

class ParallelConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
        if (!FileExists(ProgramFolder() + "empty.swf") || !FileExists(ProgramFolder() + kDefaultControlSwf) ||
            !FileExists(ProgramFolder() + kDefaultShellPlayerSwf))
            GTEST_SKIP() << "shipped templates not built";
        ::mkdir(tempDir.c_str(), 0755);
        env.Set("TMPDIR", tempDir);
        // Sources of different lengths, so that files finish out of list
        // order; same stems in different folders and formats, a stem that
        // equals a renamed one, and a file nothing can decode.
        ::mkdir(scratch.File("one").c_str(), 0755);
        ::mkdir(scratch.File("two").c_str(), 0755);
        Tone("one/song.wav", 44100, 2, 2.5, "-c:a pcm_s16le");
        Tone("two/song.flac", 22050, 1, 0.4, "-c:a flac");
        Tone("one/song.mp3", 44100, 2, 0.6, "-c:a libmp3lame -b:a 96k");
        Tone("one/song_1.wav", 8000, 1, 0.3, "-c:a pcm_u8");
        test::WriteAll(scratch.File("two/broken.wav"), std::vector<std::uint8_t>(3000, 0x41));
        Tone("two/short.aiff", 44100, 2, 0.5, "-c:a pcm_s16be");
        Tone("two/song.ogg", 44100, 2, 1.2, "-c:a libvorbis");
    }

    void Tone(const std::string& name, int rate, int channels, double seconds, const std::string& codec) {
        const std::string path = scratch.File(name);
        ASSERT_TRUE(test::EncodeTone(path, rate, channels, seconds, codec)) << name;
        SourceFileEntry entry;
        entry.sourcePath = path;
        entry.typeCode = name.size() > 4 && name.substr(name.size() - 4) == ".wav" ? kSourceTypeWav
                         : name.find(".aiff") != std::string::npos          ? kSourceTypeAiff
                                                                            : kSourceTypeOther;
        list.push_back(entry);
        if (name == "one/song_1.wav") {  // the file that cannot be decoded goes next
            SourceFileEntry broken;
            broken.sourcePath = scratch.File("two/broken.wav");
            broken.typeCode = kSourceTypeWav;
            list.push_back(broken);
        }
    }

    // Converts a fresh copy of the list into outDir (emptied first, with
    // `preexisting` put there) with `jobs` files at once.
    RunResult Convert(const ConversionSettings& base, int jobs, const std::vector<std::string>& preexisting,
                      StatusUi& ui, const ConversionSteps& steps = StandardConversionSteps()) {
        std::filesystem::remove_all(outDir);
        ::mkdir(outDir.c_str(), 0755);
        for (const std::string& name : preexisting) test::WriteAll(outDir + "/" + name, {'o', 'l', 'd'});
        std::vector<SourceFileEntry> copy = list;
        std::vector<SourceFileEntry*> entries;
        std::vector<int> rows;
        for (std::size_t i = 0; i < copy.size(); ++i) {
            entries.push_back(&copy[i]);
            rows.push_back(static_cast<int>(i));
        }
        ConversionSettings settings = base;
        RunResult result;
        result.converted = jobs == 1 ? ConvertFiles(settings, entries, rows, &ui, steps)
                                     : ConvertFilesInParallel(settings, entries, rows, &ui, jobs, steps);
        result.statuses = ui.statuses;
        for (const SourceFileEntry& e : copy) {
            result.swfs.push_back(e.outputSwfPath);
            result.pages.push_back(e.htmlPath);
            result.players.push_back(e.playerSwfPath);
        }
        result.outputs = Tree(outDir);
        result.shown = ui.shown;
        EXPECT_FALSE(ui.overlapped) << "front end called from two threads at once";
        return result;
    }

    ScratchDir scratch;
    test::ScopedEnv env;
    std::string tempDir = scratch.File("tmp");
    std::string outDir = scratch.File("out");
    std::vector<SourceFileEntry> list;
};

TEST_F(ParallelConversionTest, ThreeJobsGiveTheOneJobRunsOutputs) {
    const struct {
        const char* name;
        std::function<void(ConversionSettings&)> set;
        std::vector<std::string> preexisting;
    } cases[] = {
        {"player, same stems renamed into one folder",
         [](ConversionSettings&) {}, {"song_2.swf"}},
        {"shell player, overwriting",
         [](ConversionSettings& s) {
             s.ButtonSWFType = kPlayerWithShell;
             s.TargetExistsOpt = kTargetOverwrite;
         },
         {"song.swf"}},
        {"event sound, skipping",
         [](ConversionSettings& s) {
             s.CreateCtrlSWF = 0;
             s.SWFSoundType = kSoundEvent;
             s.TargetExistsOpt = kTargetSkip;
             s.SWFLoopPlay = 1;
         },
         {"short.swf"}},
        {"streaming sound, mirrored folders, custom encoding",
         [](ConversionSettings& s) {
             s.CreateCtrlSWF = 0;
             s.SWFSoundType = kSoundStreaming;
             s.CreateDirs = 1;
             s.AutoDestMP3EncodingParam = 0;
             s.MP3SampleRate = 22050;
             s.MP3BitRate = 48;
             s.MP3ChannelNum = 1;
             s.SkipFirstMs = 100;
         },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionSettings settings{ProgramFolder()};
        settings.SWFOutputFolderOpt = kOutputCustomFolder;
        settings.SWFSpecifiedFolder = outDir;
        settings.CreateHtmlFile = 1;
        settings.BrowseOutFolder = 1;
        c.set(settings);

        // The program's steps, counting how many files are encoded at once.
        std::atomic<int> inWork{0}, mostInWork{0}, encodes{0};
        ConversionSteps steps = StandardConversionSteps();
        steps.decodeAndEncode = [&](const ConversionSettings& s, int type, const std::string& source,
                                    const std::string& mp3, ConversionUi* ui, EncodedSound* sound,
                                    std::string* reason) {
            ++encodes;
            const int now = ++inWork;
            for (int seen = mostInWork; now > seen && !mostInWork.compare_exchange_weak(seen, now);) {
            }
            const bool ok = DecodeAndEncode(s, type, source, mp3, ui, sound, reason);
            --inWork;
            return ok;
        };

        StatusUi serialUi, parallelUi;
        const RunResult one = Convert(settings, 1, c.preexisting, serialUi, steps);
        EXPECT_EQ(mostInWork, 1);
        const int encodedByOne = encodes.exchange(0);
        const RunResult three = Convert(settings, 3, c.preexisting, parallelUi, steps);
        // The long first file keeps one worker busy while the others go on;
        // skipping, the files named like it wait for it and are never encoded.
        if (settings.TargetExistsOpt != kTargetSkip) {
            EXPECT_GE(mostInWork, 2);
        }
        EXPECT_LE(mostInWork, 3);
        EXPECT_EQ(encodes, encodedByOne);
        EXPECT_GE(one.converted, 2);
        EXPECT_EQ(three.converted, one.converted);
        EXPECT_EQ(three.statuses, one.statuses);
        EXPECT_EQ(three.swfs, one.swfs);
        EXPECT_EQ(three.pages, one.pages);
        EXPECT_EQ(three.players, one.players);
        EXPECT_EQ(three.shown, one.shown);
        ASSERT_EQ(three.outputs.size(), one.outputs.size());
        for (const auto& [name, bytes] : one.outputs) {
            ASSERT_TRUE(three.outputs.count(name)) << name;
            EXPECT_TRUE(three.outputs.at(name) == bytes) << name << " differs";
        }
        EXPECT_EQ(one.statuses.at(4), "Conversion Failure");  // the broken file
        EXPECT_TRUE(FolderFiles(tempDir).empty());
    }
}

TEST_F(ParallelConversionTest, CancelStopsEveryFileAndLeavesNothingBehind) {
    ConversionSettings settings{ProgramFolder()};
    settings.SWFOutputFolderOpt = kOutputCustomFolder;
    settings.SWFSpecifiedFolder = outDir;
    settings.CreateHtmlFile = 1;
    // Cancel while the first (longest) file is encoded: the files in work
    // beside it stop too, and none of them is named or reported.
    StatusUi during;
    during.cancelWhen = [](const StatusUi& u) {
        return !u.fileTexts.empty() && u.fileTexts.back().rfind("Converting song.wav...", 0) == 0 &&
               u.fileTexts.back() != "Converting song.wav...0%" && u.fileTexts.back().size() >= 25;  // 10 % or more
    };
    const RunResult stopped = Convert(settings, 3, {}, during);
    EXPECT_EQ(stopped.converted, 0);
    EXPECT_EQ(stopped.statuses, (std::map<int, std::string>{{0, "Cancelled"}}));
    for (const std::string& swf : stopped.swfs) EXPECT_TRUE(swf.empty());
    EXPECT_TRUE(stopped.outputs.empty());
    EXPECT_TRUE(FolderFiles(tempDir).empty());

    // Cancel once the first file is reported: it is kept, later files that
    // were encoded meanwhile are dropped.
    StatusUi after;
    after.cancelWhen = [](const StatusUi& u) { return u.statuses.count(0) && u.statuses.at(0) == "song.swf"; };
    const RunResult kept = Convert(settings, 3, {}, after);
    EXPECT_EQ(kept.converted, 1);
    EXPECT_EQ(kept.statuses, (std::map<int, std::string>{{0, "song.swf"}}));
    for (std::size_t i = 1; i < list.size(); ++i) EXPECT_TRUE(kept.swfs[i].empty()) << i;
    std::vector<std::string> written, carried;
    for (const auto& [name, bytes] : kept.outputs) {
        if (name.rfind("tembrel-ruffle/movies/", 0) == 0) carried.push_back(name);
        else if (name.rfind("tembrel-ruffle/", 0) != 0) written.push_back(name);
    }
    EXPECT_EQ(written, (std::vector<std::string>{"song.htm", "song.swf"}));
    EXPECT_EQ(carried, (std::vector<std::string>{"tembrel-ruffle/movies/song.swf.js"}));
    EXPECT_TRUE(FolderFiles(tempDir).empty());

    // Cancelled before the first file: nothing is converted or left.
    StatusUi early;
    early.cancelled = true;
    const RunResult none = Convert(settings, 3, {}, early);
    EXPECT_EQ(none.converted, 0);
    EXPECT_EQ(none.statuses.at(0), "Cancelled");
    EXPECT_EQ(none.statuses.size(), 1u);
    EXPECT_TRUE(none.outputs.empty());
    EXPECT_TRUE(FolderFiles(tempDir).empty());
}

TEST_F(ParallelConversionTest, SilentRunsAndUnusableTemplates) {
    ConversionSettings settings{ProgramFolder()};
    settings.SWFOutputFolderOpt = kOutputCustomFolder;
    settings.SWFSpecifiedFolder = outDir;
    std::vector<SourceFileEntry> copy = list;
    std::vector<SourceFileEntry*> entries;
    for (SourceFileEntry& e : copy) entries.push_back(&e);
    // Without a front end every file is still converted.
    EXPECT_EQ(ConvertFilesInParallel(settings, entries, {}, nullptr, 4), static_cast<int>(list.size()) - 1);
    EXPECT_TRUE(copy[4].outputSwfPath.empty());
    EXPECT_TRUE(FileExists(copy[0].outputSwfPath));

    // A template that cannot be loaded ends the run before any file, with
    // the workers already started let go.
    settings.ControlSWF = scratch.File("missing.swf");
    StatusUi ui;
    EXPECT_EQ(ConvertFilesInParallel(settings, entries, {}, &ui, 4), 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("missing.swf"), std::string::npos);
    EXPECT_TRUE(ui.statuses.empty());
    EXPECT_TRUE(FolderFiles(tempDir).empty());
}

}  // namespace
}  // namespace tembrel
