// A user's files through whole conversion runs: links standing at output
// names, old outputs that a failure or Cancel must leave as they were, names
// taken by the user's own files or by runs racing for the same name, pages
// that cannot be written, the Ruffle put beside the pages, and a reason for
// every failure.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <cstring>
#include <functional>
#include <latch>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/conversion_driver.h"
#include "engine/decode_and_encode.h"
#include "engine/output_naming.h"
#include "engine/scoped_env.h"
#include "platform/file_identity.h"
#include "platform/os_file.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

// Statuses and reasons as a window would show them.
class RowsUi : public ConversionUi {
public:
    void SetFileText(const std::string&) override {}
    int FileBarWidth() const override { return 100; }
    void SetFileRange(int) override {}
    void SetFilePosition(int) override {}
    void SetOverallText(const std::string&) override {}
    void SetOverallRange(int) override {}
    void SetOverallPosition(int) override {}
    void SetRowStatus(int row, const std::string& text) override { status[row] = text; }
    void SetRowReason(int row, const std::string& text) override { reason[row] = text; }
    bool ShowMessage(const std::string& text, MessageIcon) override {
        messages.push_back(text);
        return true;
    }
    bool PumpMessages() override { return cancelAfterPumps >= 0 && ++pumps > cancelAfterPumps; }
    void ShowInFileManager(const std::string&) override {}

    std::map<int, std::string> status, reason;
    std::vector<std::string> messages;
    int cancelAfterPumps = -1;  // Cancel pressed once the stage has pumped this often
    int pumps = 0;
};

std::string ProgramFolder() { return std::string(TEMBREL_PROGRAM_DIR) + "/"; }

std::vector<std::string> TempFilesIn(const std::string& folder) {
    std::vector<std::string> found;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (std::string(e->d_name).rfind("TBR", 0) == 0) found.push_back(e->d_name);
        ::closedir(dir);
    }
    return found;
}

std::string ReadText(const std::string& path) {
    const auto bytes = ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}

class OutputSafetyTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
        if (!FileExists(ProgramFolder() + kDefaultShellPlayerSwf)) GTEST_SKIP() << "needs the built templates";
        ::mkdir(src.c_str(), 0755);
        ::mkdir(out.c_str(), 0755);
        ::mkdir(temp.c_str(), 0755);
        env.Set("TMPDIR", temp);
        env.Set("XDG_DOCUMENTS_DIR", scratch.File("documents"));
        settings.EmptySwfPath = ProgramFolder() + "empty.swf";
        settings.ControlSWF = ProgramFolder() + kDefaultControlSwf;
        settings.ShellPlayerSWF = ProgramFolder() + kDefaultShellPlayerSwf;
        settings.PageTemplatePath = ProgramFolder() + "Template.htm";
        // A small stand-in for the program's Ruffle.
        settings.PageRufflePath = scratch.File("program-ruffle");
        ::mkdir(settings.PageRufflePath.c_str(), 0755);
        for (const auto& [name, text] : ruffleCopy)
            WriteAll(settings.PageRufflePath + "/" + name, std::vector<std::uint8_t>(text.begin(), text.end()));
        settings.SWFOutputFolderOpt = kOutputCustomFolder;
        settings.SWFSpecifiedFolder = out;
        settings.OutputFiles2MyDocuments = 0;
        settings.BrowseOutFolder = 0;
        tone = src + "/tone.wav";
        ASSERT_TRUE(test::EncodeTone(tone, 22050, 1, 0.5, "-c:a pcm_s16le"));
    }

    // One run over the given sources; the rows' statuses and reasons in ui.
    int Run(const std::vector<std::string>& sources, RowsUi& ui,
            const ConversionSteps& steps = StandardConversionSteps()) {
        std::vector<SourceFileEntry> list(sources.size());
        std::vector<SourceFileEntry*> entries;
        std::vector<int> rows;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            list[i].sourcePath = sources[i];
            list[i].typeCode = kSourceTypeWav;
            entries.push_back(&list[i]);
            rows.push_back(static_cast<int>(i));
        }
        const int converted = ConvertFiles(settings, entries, rows, &ui, steps);
        pageOf.clear();
        for (const SourceFileEntry& entry : list) pageOf.push_back(entry.htmlPath);
        return converted;
    }

    ScratchDir scratch;
    test::ScopedEnv env;
    std::string src = scratch.File("src"), out = scratch.File("out"), temp = scratch.File("tmp");
    std::string tone;
    std::vector<std::string> pageOf;  // each entry's page after the last run
    ConversionSettings settings;
    const std::map<std::string, std::string> ruffleCopy = {
        {"page.js", "// loader\n"}, {"ruffle.js", "// ruffle 1\n"}, {"core.wasm.js", "// carried wasm\n"}};
};

TEST_F(OutputSafetyTest, LinksAtOutputNamesNeverLeadToTheFilesTheyPointAt) {
    const std::string far = scratch.File("far.txt");
    struct Case {
        const char* name;
        int mode;
        bool hardLink;
        bool toSource;                // the link points at the source, else at a far file
        const char* expectedSwf;      // "" when refused
    } cases[] = {
        {"rename, symbolic link to the source at the player", kTargetAutoRename, false, true, "tone_1.swf"},
        {"rename, hard link to the source at the player", kTargetAutoRename, true, true, "tone_1.swf"},
        {"overwrite, symbolic link to the source at the player", kTargetOverwrite, false, true, ""},
        {"overwrite, hard link to the source at the player", kTargetOverwrite, true, true, ""},
        {"overwrite, links to a far file at the player and the page", kTargetOverwrite, false, false, "tone.swf"},
        {"rename, links to a far file at the player and the page", kTargetAutoRename, false, false, "tone_1.swf"},
    };
    const auto sourceBytes = ReadAll(tone);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir fresh;
        out = fresh.Path();
        settings.SWFSpecifiedFolder = out;
        settings.TargetExistsOpt = c.mode;
        settings.CreateCtrlSWF = 1;
        settings.ButtonSWFType = kPlayerWithShell;
        settings.CreateHtmlFile = 1;
        WriteAll(far, {'f', 'a', 'r'});
        const std::string target = c.toSource ? tone : far;
        for (const std::string name : {"tone.player.swf", "tone.htm"}) {
            if (c.toSource && name == "tone.htm") continue;
            const std::string at = out + "/" + name;
            ASSERT_EQ(c.hardLink ? ::link(target.c_str(), at.c_str()) : ::symlink(target.c_str(), at.c_str()), 0);
        }
        RowsUi ui;
        Run({tone}, ui);
        EXPECT_EQ(ReadAll(tone), sourceBytes);
        EXPECT_EQ(ReadText(far), "far");
        if (*c.expectedSwf) {
            EXPECT_EQ(ui.status[0], c.expectedSwf);
            const std::string stem = out + "/" + std::string(c.expectedSwf).substr(0, std::strlen(c.expectedSwf) - 4);
            EXPECT_GT(FileSizeAt(stem + ".player.swf"), 100);
            EXPECT_NE(ReadText(stem + ".htm").find(c.expectedSwf), std::string::npos);
        } else {
            EXPECT_EQ(ui.status[0], kStatusTargetIsSource);
            EXPECT_FALSE(FileExists(out + "/tone.swf"));
        }
        EXPECT_TRUE(TempFilesIn(out).empty());
    }
}

TEST_F(OutputSafetyTest, FailureOrCancelLeavesTheOldOutputsAsTheyWere) {
    settings.TargetExistsOpt = kTargetOverwrite;
    settings.CreateCtrlSWF = 0;
    const std::string empty = src + "/empty.wav";
    ASSERT_TRUE(test::EncodeTone(empty, 22050, 1, 0.0, "-c:a pcm_s16le"));
    // The builder finds something in the way of the file it writes.
    ConversionSteps blocked = StandardConversionSteps();
    blocked.builder = [](const SoundMovieRecipe& recipe, const SoundMovieFiles& files, SwfTemplate& tmpl) {
        ::unlink(files.swfPath.c_str());
        ::mkdir(files.swfPath.c_str(), 0755);
        const BuildResult built = BuildEventSoundSwf(recipe, files, tmpl);
        ::rmdir(files.swfPath.c_str());
        return built;
    };
    struct Case {
        const char* name;
        std::string source;
        int cancelAfterPumps;
        std::function<void(ConversionSettings&)> change;
        std::string reasonHas;
        ConversionSteps steps = StandardConversionSteps();
    } cases[] = {
        {"a source without samples", empty, -1, nullptr, "no samples"},
        {"Cancel while encoding", tone, 2, nullptr, "cancelled"},
        {"skip-first longer than the source", tone, -1, [](ConversionSettings& s) { s.SkipFirstMs = 5000; },
         "first 5000 ms"},
        {"more frames than a SWF holds", tone, -1, [](ConversionSettings& s) { s.BlankFrames = 0x7FFFFFFF; },
         "65535 frames"},
        {"no temporary folder", tone, -1, nullptr, "temporary"},
        // Named as the file asked for, not as the temporary one written.
        {"the SWF cannot be written", tone, -1, nullptr, "cannot create \"" + out + "/tone.swf\": ", blocked},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string stem = out + "/" + (c.source == empty ? "empty" : "tone");
        WriteAll(stem + ".swf", {'o', 'l', 'd'});
        WriteAll(stem + ".htm", {'p', 'a', 'g', 'e'});
        ConversionSettings saved = settings;
        if (c.change) c.change(settings);
        test::ScopedEnv tmp;
        if (std::string(c.name) == "no temporary folder") tmp.Set("TMPDIR", scratch.File("missing"));
        RowsUi ui;
        ui.cancelAfterPumps = c.cancelAfterPumps;
        EXPECT_EQ(Run({c.source}, ui, c.steps), 0);
        EXPECT_EQ(ReadText(stem + ".swf"), "old");
        EXPECT_EQ(ReadText(stem + ".htm"), "page");
        EXPECT_NE(ui.reason[0].find(c.reasonHas), std::string::npos) << ui.reason[0];
        EXPECT_EQ(ui.reason[0].find("TBR"), std::string::npos) << ui.reason[0];
        EXPECT_TRUE(TempFilesIn(out).empty());
        EXPECT_TRUE(TempFilesIn(temp).empty());
        settings = saved;
    }
}

TEST_F(OutputSafetyTest, ANameIsFreeOnlyWhenNoneOfTheFilesOutputsExists) {
    settings.TargetExistsOpt = kTargetAutoRename;
    settings.CreateCtrlSWF = 2;  // any nonzero value counts as set
    settings.ButtonSWFType = kPlayerWithShell;
    settings.CreateHtmlFile = 2;
    for (const char* own : {"tone.htm", "tone.player.swf"}) {
        SCOPED_TRACE(own);
        ScratchDir fresh;
        out = fresh.Path();
        settings.SWFSpecifiedFolder = out;
        WriteAll(out + "/" + own, {'m', 'i', 'n', 'e'});
        RowsUi ui;
        EXPECT_EQ(Run({tone}, ui), 1);
        EXPECT_EQ(ui.status[0], "tone_1.swf");
        EXPECT_EQ(ReadText(out + "/" + own), "mine");
        EXPECT_FALSE(FileExists(out + "/tone.swf"));
        EXPECT_GT(FileSizeAt(out + "/tone_1.player.swf"), 100);
        EXPECT_GT(FileSizeAt(out + "/tone_1.htm"), 100);
    }
}

TEST_F(OutputSafetyTest, RunsRacingForOneNameEachGetTheirOwnOrSkip) {
    settings.CreateCtrlSWF = 0;
    for (int mode : {kTargetAutoRename, kTargetSkip}) {
        SCOPED_TRACE(mode);
        ScratchDir fresh;
        out = fresh.Path();
        settings.SWFSpecifiedFolder = out;
        settings.TargetExistsOpt = mode;
        constexpr int kRuns = 4;
        // Every run is named before any of them places its files.
        std::latch named(kRuns);
        ConversionSteps steps = StandardConversionSteps();
        steps.decodeAndEncode = [&named](const ConversionSettings& s, int type, const std::string& source,
                                         const std::string& mp3, ConversionUi* ui, EncodedSound* sound,
                                         std::string* reason) {
            named.arrive_and_wait();
            return DecodeAndEncode(s, type, source, mp3, ui, sound, reason);
        };
        RowsUi uis[kRuns];
        std::vector<std::thread> runs;
        for (int r = 0; r < kRuns; ++r)
            runs.emplace_back([&, r] {
                ConversionSettings own = settings;
                SourceFileEntry entry;
                entry.sourcePath = tone;
                entry.typeCode = kSourceTypeWav;
                std::vector<SourceFileEntry*> entries{&entry};
                ConvertFiles(own, entries, {0}, &uis[r], steps);
            });
        for (std::thread& run : runs) run.join();

        std::set<std::string> swfs;
        int skipped = 0;
        for (const RowsUi& ui : uis) {
            const std::string status = ui.status.at(0);
            if (status == kStatusTargetSkipped) ++skipped;
            else swfs.insert(status);
        }
        if (mode == kTargetSkip) {
            EXPECT_EQ(swfs.size(), 1u);
            EXPECT_EQ(skipped, kRuns - 1);
        } else {
            EXPECT_EQ(swfs.size(), static_cast<std::size_t>(kRuns));
        }
        for (const std::string& swf : swfs) {
            EXPECT_GT(FileSizeAt(out + "/" + swf), 100);
            // Each page names its own movie (in its title).
            const std::string page = ReadText(out + "/" + swf.substr(0, swf.size() - 4) + ".htm");
            EXPECT_NE(page.find(">" + swf + "<"), std::string::npos) << swf;
        }
        EXPECT_TRUE(TempFilesIn(out).empty());
    }
}

TEST_F(OutputSafetyTest, APageThatCannotBeWrittenLeavesTheSwfConvertedWithTheReason) {
    settings.TargetExistsOpt = kTargetOverwrite;
    settings.CreateCtrlSWF = 0;
    ASSERT_EQ(::mkdir((out + "/tone.htm").c_str(), 0755), 0);
    RowsUi ui;
    EXPECT_EQ(Run({tone}, ui), 1);
    EXPECT_EQ(ui.status[0], "tone.swf");
    EXPECT_NE(ui.reason[0].find("page"), std::string::npos) << ui.reason[0];
    EXPECT_GT(FileSizeAt(out + "/tone.swf"), 100);
    EXPECT_TRUE(TempFilesIn(out).empty());
    EXPECT_TRUE(pageOf[0].empty());
}

TEST_F(OutputSafetyTest, AnInvalidTemplateIsNamedAsSuchForEveryRow) {
    settings.CreateCtrlSWF = 1;
    settings.ButtonSWFType = kPlayerSingle;
    settings.ControlSWF = scratch.File("broken.swf");
    WriteAll(settings.ControlSWF, {'F', 'W', 'S', 9, 0, 0, 0, 0});
    RowsUi ui;
    EXPECT_EQ(Run({tone, tone}, ui), 0);
    // The box is the one for any template that cannot be loaded; each row's
    // reason says what is wrong with it.
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("is not available"), std::string::npos);
    EXPECT_NE(ui.reason[1].find("not a valid template"), std::string::npos);
}

// What a file system holds at a path, as the tests below compare it.
ino_t InodeAt(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// The files of folder (not its subfolders), with their bytes.
std::map<std::string, std::string> TextsIn(const std::string& folder) {
    std::map<std::string, std::string> texts;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            struct stat st {};
            const std::string path = folder + "/" + e->d_name;
            if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) texts[e->d_name] = ReadText(path);
        }
        ::closedir(dir);
    }
    return texts;
}

// The script that carries a movie: its name and its bytes as base64 (told
// by the base64 tool, not by our own encoder).
std::string CarriedScriptOf(const std::string& swf, const std::string& name) {
    std::string base64;
    EXPECT_EQ(test::RunCommand("base64 -w0 " + test::ShellQuote(swf), &base64), 0);
    return "TembrelRuffle.carry(\"" + name + "\", \"\", \"" + base64 + "\");\n";
}

TEST_F(OutputSafetyTest, RuffleGoesOnceBesideThePagesOfAFolderAndIsReplacedOnlyWhereItDiffers) {
    if (!test::HaveTool("base64")) GTEST_SKIP() << "needs base64";
    settings.TargetExistsOpt = kTargetOverwrite;
    settings.CreateCtrlSWF = 1;
    settings.ButtonSWFType = kPlayerWithShell;
    const std::string ruffle = out + "/" + kPageRuffleFolderName, far = scratch.File("far.txt");
    // An older Ruffle there: one file differs, one is a link to a file of the
    // user's, which must be replaced and never written through.
    ASSERT_EQ(::mkdir(ruffle.c_str(), 0755), 0);
    WriteAll(ruffle + "/page.js", {'o', 'l', 'd'});
    WriteAll(far, {'f', 'a', 'r'});
    ASSERT_EQ(::symlink(far.c_str(), (ruffle + "/ruffle.js").c_str()), 0);
    const std::string other = src + "/my song #1.wav";
    ASSERT_EQ(::link(tone.c_str(), other.c_str()), 0);

    RowsUi ui;
    ASSERT_EQ(Run({tone, other}, ui), 2);
    EXPECT_EQ(ui.reason[0], "");
    EXPECT_EQ(ui.reason[1], "");
    std::map<std::string, std::string> expected(ruffleCopy.begin(), ruffleCopy.end());
    EXPECT_EQ(TextsIn(ruffle), expected);
    EXPECT_EQ(ReadText(far), "far");
    // Each movie of both pages, the shell players too, carried for a page
    // opened from disk; names the page decodes.
    EXPECT_EQ(TextsIn(ruffle + "/movies"),
              (std::map<std::string, std::string>{
                  {"tone.swf.js", CarriedScriptOf(out + "/tone.swf", "tone.swf")},
                  {"tone.player.swf.js", CarriedScriptOf(out + "/tone.player.swf", "tone.player.swf")},
                  {"my song #1.swf.js", CarriedScriptOf(out + "/my song #1.swf", "my%20song%20%231.swf")},
                  {"my song #1.player.swf.js",
                   CarriedScriptOf(out + "/my song #1.player.swf", "my%20song%20%231.player.swf")}}));
    // One Ruffle for the folder, none anywhere else.
    std::map<std::string, std::string> beside = TextsIn(out);
    EXPECT_EQ(beside.size(), 6u);
    EXPECT_FALSE(FileExists(src + "/" + kPageRuffleFolderName));

    // Run again: the same Ruffle is left alone, a changed one is replaced.
    std::map<std::string, ino_t> inodes;
    for (const auto& [name, text] : ruffleCopy) inodes[name] = InodeAt(ruffle + "/" + name);
    ASSERT_EQ(Run({tone}, ui), 1);
    for (const auto& [name, inode] : inodes) EXPECT_EQ(InodeAt(ruffle + "/" + name), inode) << name;
    WriteAll(settings.PageRufflePath + "/ruffle.js", {'n', 'e', 'w'});
    ASSERT_EQ(Run({tone}, ui), 1);
    EXPECT_EQ(ReadText(ruffle + "/ruffle.js"), "new");
    EXPECT_NE(InodeAt(ruffle + "/ruffle.js"), inodes["ruffle.js"]);
    EXPECT_EQ(InodeAt(ruffle + "/page.js"), inodes["page.js"]);
    for (const std::string& folder : {out, ruffle, ruffle + "/movies"}) EXPECT_TRUE(TempFilesIn(folder).empty());

    // Many folders of one run hold Ruffle's bytes once: each folder holds
    // the whole of it (to be copied elsewhere on its own), as hard links to
    // the run's first copy. An identical copy a folder had of its own is
    // linked too, and a later run links a new folder to the copy it finds.
    settings.CreateDirs = 1;
    expected["ruffle.js"] = "new";
    std::vector<std::string> sources, ruffles;
    for (const std::string folder : {"a", "b", "b/c", "d"}) {
        ASSERT_EQ(::mkdir((src + "/" + folder).c_str(), 0755), 0);
        sources.push_back(src + "/" + folder + "/x.wav");
        ASSERT_EQ(::link(tone.c_str(), sources.back().c_str()), 0);
        ruffles.push_back(out + src + "/" + folder + "/" + kPageRuffleFolderName);
    }
    ASSERT_EQ(test::RunCommand("mkdir -p " + test::ShellQuote(ruffles[1]) + " && cp " +
                               test::ShellQuote(settings.PageRufflePath) + "/* " + test::ShellQuote(ruffles[1])),
              0);
    ASSERT_EQ(Run({sources[0], sources[1], sources[2]}, ui), 3);
    ASSERT_EQ(Run({sources[0], sources[3]}, ui), 2);
    std::set<ino_t> distinct;
    for (const std::string& folder : ruffles) {
        EXPECT_EQ(TextsIn(folder), expected) << folder;
        for (const auto& [name, text] : ruffleCopy) distinct.insert(InodeAt(folder + "/" + name));
        EXPECT_TRUE(TempFilesIn(folder).empty());
    }
    EXPECT_EQ(distinct.size(), ruffleCopy.size());
}

TEST_F(OutputSafetyTest, NoRuffleGoesWhereNoPageNeedsIt) {
    settings.TargetExistsOpt = kTargetOverwrite;
    settings.CreateCtrlSWF = 0;
    const std::string ruffle = out + "/" + kPageRuffleFolderName;
    RowsUi ui;
    settings.CreateHtmlFile = 0;
    ASSERT_EQ(Run({tone}, ui), 1);
    EXPECT_FALSE(AnythingExistsAt(ruffle)) << "a run without pages";
    settings.CreateHtmlFile = 1;
    settings.PageRuffleOpt = kPageRuffleFromWeb;
    ASSERT_EQ(Run({tone}, ui), 1);
    EXPECT_FALSE(AnythingExistsAt(ruffle)) << "Ruffle from the web";

    // A user's own template, older than the Ruffle beside the page, is
    // filled as it always was, and gets nothing beside it.
    settings.PageRuffleOpt = kPageRuffleBeside;
    settings.SWFBkgColor = 0x336699;
    settings.PageTemplatePath = scratch.File("mine.htm");
    const std::string mine =
        "<title>%T%</title><script src=\"https://unpkg.com/@ruffle-rs/ruffle\"></script>\r\n"
        "<embed src=\"%SWF%\" width=\"%W%\" height=\"%H%\" bgcolor=\"%BKG%\">%SWFNAME%\r\n";
    WriteAll(settings.PageTemplatePath, std::vector<std::uint8_t>(mine.begin(), mine.end()));
    ASSERT_EQ(Run({tone}, ui), 1);
    EXPECT_EQ(ReadText(out + "/tone.htm"),
              "<title>tone.swf</title><script src=\"https://unpkg.com/@ruffle-rs/ruffle\"></script>\r\n"
              "<embed src=\"tone.swf\" width=\"1\" height=\"1\" bgcolor=\"#996633\">tone\r\n");
    EXPECT_FALSE(AnythingExistsAt(ruffle)) << "a user's own template";

    // A movie replaced for a page that does not carry it leaves no carried
    // copy of the old one, which a page opened from disk would play.
    settings.PageTemplatePath = ProgramFolder() + "Template.htm";
    ASSERT_EQ(Run({tone}, ui), 1);
    ASSERT_TRUE(FileExists(ruffle + "/movies/tone.swf.js"));
    settings.PageRuffleOpt = kPageRuffleFromWeb;
    ASSERT_EQ(Run({tone}, ui), 1);
    EXPECT_FALSE(AnythingExistsAt(ruffle + "/movies/tone.swf.js"));

    // A Ruffle folder that cannot be made, or a link at its name or at its
    // movies folder, leaves the file converted, its page written, with the
    // reason; nothing is written, replaced or deleted where a link leads,
    // with pages or without.
    settings.PageRuffleOpt = kPageRuffleBeside;
    const std::string far = scratch.File("far");
    const std::map<std::string, std::string> farFiles = {{"ruffle.js", "mine"}, {"tone.swf.js", "mine"}};
    ASSERT_EQ(::mkdir(far.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((far + "/movies").c_str(), 0755), 0);
    for (const std::string& folder : {far, far + "/movies"})
        for (const auto& [name, text] : farFiles) WriteAll(folder + "/" + name, {text.begin(), text.end()});
    struct Case {
        const char* name;
        const char* at;  // below the output folder
        bool link;       // to far, else a file of the user's
        const char* reasonHas;
    } cases[] = {
        {"a file at the Ruffle folder's name", kPageRuffleFolderName, false, "is not a folder"},
        {"a link at the Ruffle folder's name", kPageRuffleFolderName, true, "is a link"},
        {"a link at its movies folder", "tembrel-ruffle/movies", true, "is a link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir fresh;
        out = fresh.Path();
        settings.SWFSpecifiedFolder = out;
        const std::string at = out + "/" + c.at;
        if (c.at != std::string(kPageRuffleFolderName)) {
            ASSERT_EQ(::mkdir((out + "/" + kPageRuffleFolderName).c_str(), 0755), 0);
        }
        if (c.link) {
            ASSERT_EQ(::symlink(far.c_str(), at.c_str()), 0);
        } else {
            WriteAll(at, {'m', 'i', 'n', 'e'});
        }
        settings.CreateHtmlFile = 1;
        ui.reason.clear();
        ASSERT_EQ(Run({tone}, ui), 1);
        EXPECT_NE(ui.reason[0].find("the page cannot play from disk"), std::string::npos) << ui.reason[0];
        EXPECT_NE(ui.reason[0].find(c.reasonHas), std::string::npos) << ui.reason[0];
        EXPECT_GT(FileSizeAt(out + "/tone.htm"), 100);
        settings.CreateHtmlFile = 0;
        ASSERT_EQ(Run({tone}, ui), 1);
        if (!c.link) {
            EXPECT_EQ(ReadText(at), "mine");
        }
        EXPECT_EQ(TextsIn(far), farFiles);
        EXPECT_EQ(TextsIn(far + "/movies"), farFiles);
    }
}

}  // namespace
}  // namespace tembrel
