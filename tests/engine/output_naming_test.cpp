// Output naming: the folder choices, the rules for an existing target, the
// guard that keeps the source from being overwritten (decided by identity),
// and the fallback into the documents folder.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/output_naming.h"
#include "platform/documents_folder.h"
#include "platform/path_parts.h"
#include "scoped_env.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

void Touch(const std::string& path, const std::string& content = "x") {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string Content(const std::string& path) {
    const auto bytes = test::ReadAll(path);
    return {bytes.begin(), bytes.end()};
}

class OutputNaming : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = dir_.File("home");
        fs::create_directories(home_);
        env_.Set("HOME", home_);
        env_.Unset("XDG_DOCUMENTS_DIR");
        env_.Set("XDG_CONFIG_HOME", home_ + "/.config");
        settings_.CreateHtmlFile = 1;
    }

    // Names the outputs of source; returns the status ("" when named).
    std::string Name(const std::string& source, bool expectNamed) {
        entry_ = SourceFileEntry{};
        entry_.sourcePath = source;
        entry_.outputSwfPath = "stale";
        std::string status;
        const bool named = NameOutputs(settings_, entry_, &status);
        EXPECT_EQ(named, expectNamed) << status;
        if (!named) {
            EXPECT_TRUE(entry_.outputSwfPath.empty());
            EXPECT_TRUE(entry_.htmlPath.empty());
            EXPECT_TRUE(entry_.playerSwfPath.empty());
        }
        return named ? std::string() : status;
    }

    std::string Documents() const { return home_ + "/Documents"; }

    ScratchDir dir_;
    std::string home_;
    test::ScopedEnv env_;
    ConversionSettings settings_{"/nonexistent/program/"};
    SourceFileEntry entry_;
};

TEST_F(OutputNaming, SameFolderGivesSwfPageAndNoPlayerAndLeavesNoProbeFile) {
    const std::string source = dir_.File("music/song.mp3");
    Touch(source);
    Name(source, true);
    EXPECT_EQ(entry_.outputSwfPath, dir_.File("music/song.swf"));
    EXPECT_EQ(entry_.htmlPath, dir_.File("music/song.htm"));
    EXPECT_EQ(entry_.playerSwfPath, "");
    EXPECT_FALSE(fs::exists(entry_.outputSwfPath)) << "the probe must not leave a file";
    EXPECT_EQ(Content(source), "x");

    settings_.CreateHtmlFile = 0;
    Name(source, true);
    EXPECT_EQ(entry_.htmlPath, "");
}

TEST_F(OutputNaming, PlayerPathOnlyForTheShellPlayerKind) {
    const std::string source = dir_.File("a.wav");
    Touch(source);
    struct Case {
        int controls, buttonType;
        bool player;
    } cases[] = {{1, kPlayerWithShell, true}, {1, kPlayerSingle, false}, {0, kPlayerWithShell, false}};
    for (const Case& c : cases) {
        settings_.CreateCtrlSWF = c.controls;
        settings_.ButtonSWFType = c.buttonType;
        Name(source, true);
        EXPECT_EQ(entry_.playerSwfPath, c.player ? dir_.File("a.player.swf") : "")
            << c.controls << " " << c.buttonType;
    }
}

TEST_F(OutputNaming, AutoRenameTakesTheFirstFreeNumberForAllThreeNames) {
    const std::string source = dir_.File("song.mp3");
    Touch(source);
    Touch(dir_.File("song.swf"), "old");
    settings_.CreateCtrlSWF = 1;
    settings_.ButtonSWFType = kPlayerWithShell;
    Name(source, true);
    EXPECT_EQ(entry_.outputSwfPath, dir_.File("song_1.swf"));
    EXPECT_EQ(entry_.htmlPath, dir_.File("song_1.htm"));
    EXPECT_EQ(entry_.playerSwfPath, dir_.File("song_1.player.swf"));

    Touch(dir_.File("song_1.swf"));
    Name(source, true);
    EXPECT_EQ(entry_.outputSwfPath, dir_.File("song_2.swf"));
    EXPECT_EQ(Content(dir_.File("song.swf")), "old");
}

// A source whose name takes the folder's whole name limit (255 bytes of
// two-byte characters here): its outputs' name is cut short, never inside a
// character, so that every name the file needs fits - the player's, and with
// a page the scripts that carry its movies for a page opened from disk
// (movies/<name>.swf.js) - and so does every numbered name renaming gives.
TEST_F(OutputNaming, LongNamesAreCutShortSoThatEveryOutputFits) {
    std::string stem;
    for (int i = 0; i < 125; ++i) stem += "\xC3\xA9";  // é
    stem += "x";
    const std::string source = dir_.File(stem + ".wav");
    ASSERT_EQ(FileNameOf(source).size(), 255u);
    Touch(source);

    // Whole characters of the stem that a name keeps before suffix.
    auto keptCharacters = [&](const std::string& path, const std::string& suffix) {
        const std::string name = FileNameOf(path);
        const std::size_t kept = name.size() - suffix.size();
        EXPECT_EQ(name.substr(kept), suffix);
        EXPECT_EQ(name.substr(0, kept), stem.substr(0, kept));
        EXPECT_TRUE(kept % 2 == 0 || kept == stem.size()) << "cut inside a character: " << name;
        return kept == stem.size() ? 0 : kept / 2;  // 0: the whole stem
    };
    // Creates every file the outputs need, as the run would.
    auto createAll = [&]() {
        std::vector<std::string> made;
        for (const std::string* name : {&entry_.outputSwfPath, &entry_.htmlPath, &entry_.playerSwfPath}) {
            if (name->empty()) continue;
            made.push_back(*name);
            if (name != &entry_.htmlPath && !entry_.htmlPath.empty())
                made.push_back(dir_.File("tembrel-ruffle/movies/" + FileNameOf(*name) + ".js"));
        }
        for (const std::string& name : made) {
            Touch(name);
            EXPECT_TRUE(fs::exists(name)) << name;
        }
        return made;
    };
    struct Case {
        bool page, player;
        std::size_t own, numbered, tenth;  // characters kept by the own name, by _1 and by _10
    } cases[] = {
        {false, false, 0, 124, 124},  // .swf: the whole stem fits; _1 would split an é at 249 bytes
        {true, false, 124, 123, 122},  // .swf.js
        {false, true, 122, 121, 120},  // .player.swf
        {true, true, 120, 119, 119},   // .player.swf.js
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.page ? "page " : "") + (c.player ? "player" : ""));
        settings_.CreateHtmlFile = c.page ? 1 : 0;
        settings_.CreateCtrlSWF = c.player ? 1 : 0;
        settings_.ButtonSWFType = kPlayerWithShell;
        Name(source, true);
        EXPECT_EQ(keptCharacters(entry_.outputSwfPath, ".swf"), c.own);
        if (c.page) {
            EXPECT_EQ(keptCharacters(entry_.htmlPath, ".htm"), c.own);
        }
        if (c.player) {
            EXPECT_EQ(keptCharacters(entry_.playerSwfPath, ".player.swf"), c.own);
        }
        std::vector<std::string> made = createAll();
        for (int n = 1; n <= 10; ++n) {
            Name(source, true);
            const std::string suffix = "_" + std::to_string(n);
            EXPECT_EQ(keptCharacters(entry_.outputSwfPath, suffix + ".swf"), n < 10 ? c.numbered : c.tenth);
            const std::vector<std::string> more = createAll();
            made.insert(made.end(), more.begin(), more.end());
        }
        for (const std::string& name : made) fs::remove(name);
    }
}

TEST_F(OutputNaming, AutoRenameAvoidsADanglingLink) {
    const std::string source = dir_.File("song.mp3");
    Touch(source);
    ASSERT_EQ(::symlink(dir_.File("nowhere/x").c_str(), dir_.File("song.swf").c_str()), 0);
    Name(source, true);
    EXPECT_EQ(entry_.outputSwfPath, dir_.File("song_1.swf"));
}

TEST_F(OutputNaming, SkipLeavesTheExistingTargetAndDoesNotFallBack) {
    const std::string source = dir_.File("song.mp3");
    Touch(source);
    Touch(dir_.File("song.swf"), "old");
    settings_.TargetExistsOpt = kTargetSkip;
    EXPECT_EQ(Name(source, false), "Target exists and skipped");
    EXPECT_EQ(Content(dir_.File("song.swf")), "old");
    EXPECT_FALSE(fs::exists(Documents()));
}

TEST_F(OutputNaming, OverwriteKeepsTheOldTargetUntilTheNewOneIsPlaced) {
    const std::string source = dir_.File("in/song.mp3");
    Touch(source);
    Touch(dir_.File("out/song.swf"), "old");
    settings_.TargetExistsOpt = kTargetOverwrite;
    settings_.SWFOutputFolderOpt = kOutputCustomFolder;
    settings_.SWFSpecifiedFolder = dir_.File("out");
    Name(source, true);
    EXPECT_EQ(entry_.outputSwfPath, dir_.File("out/song.swf"));
    EXPECT_EQ(Content(entry_.outputSwfPath), "old");
}

TEST_F(OutputNaming, OverwriteNeverReachesTheSourceWhateverTheName) {
    const std::string kRefused =
        "Target file name is same as original file that can't be overwritten. Please output files to a custom folder.";
    settings_.TargetExistsOpt = kTargetOverwrite;

    // The source is itself a SWF in the same folder.
    const std::string swfSource = dir_.File("movie.swf");
    Touch(swfSource, "source");
    EXPECT_EQ(Name(swfSource, false), kRefused);
    EXPECT_EQ(Content(swfSource), "source");

    // The target in the custom folder is a symbolic link to the source, or
    // a hard link of it: different names, same file.
    settings_.SWFOutputFolderOpt = kOutputCustomFolder;
    settings_.SWFSpecifiedFolder = dir_.File("out");
    fs::create_directories(dir_.File("out"));
    ASSERT_EQ(::symlink(swfSource.c_str(), dir_.File("out/movie.swf").c_str()), 0);
    EXPECT_EQ(Name(swfSource, false), kRefused);
    EXPECT_EQ(Content(swfSource), "source");
    fs::remove(dir_.File("out/movie.swf"));
    ASSERT_EQ(::link(swfSource.c_str(), dir_.File("out/movie.swf").c_str()), 0);
    EXPECT_EQ(Name(swfSource, false), kRefused);
    EXPECT_EQ(Content(swfSource), "source");

    // The source reached through a linked folder.
    fs::create_directories(dir_.File("real"));
    Touch(dir_.File("real/tune.swf"), "tune");
    ASSERT_EQ(::symlink(dir_.File("real").c_str(), dir_.File("alias").c_str()), 0);
    settings_.SWFSpecifiedFolder = dir_.File("real");
    EXPECT_EQ(Name(dir_.File("alias/tune.swf"), false), kRefused);
    EXPECT_EQ(Content(dir_.File("real/tune.swf")), "tune");
}

TEST_F(OutputNaming, OverwriteOfANameDifferingOnlyInCaseIsAnotherFile) {
    // On a case-sensitive file system Song.SWF and Song.swf are two files:
    // the old SWF may be replaced, the source stays.
    const std::string source = dir_.File("Song.SWF");
    Touch(source, "source");
    Touch(dir_.File("Song.swf"), "old");
    settings_.TargetExistsOpt = kTargetOverwrite;
    Name(source, true);
    EXPECT_EQ(entry_.outputSwfPath, dir_.File("Song.swf"));
    EXPECT_EQ(Content(dir_.File("Song.swf")), "old");
    EXPECT_EQ(Content(source), "source");
}

TEST_F(OutputNaming, OverwriteLeavesALinkAndWhatItPointsAtAlone) {
    const std::string source = dir_.File("song.mp3");
    Touch(source);
    Touch(dir_.File("precious.txt"), "keep me");
    ASSERT_EQ(::symlink(dir_.File("precious.txt").c_str(), dir_.File("song.swf").c_str()), 0);
    settings_.TargetExistsOpt = kTargetOverwrite;
    Name(source, true);
    EXPECT_EQ(Content(dir_.File("precious.txt")), "keep me");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir_.File("song.swf"))));
}

TEST_F(OutputNaming, FolderPerFile) {
    const std::string source = dir_.File("Music/a.mp3");
    Touch(source);
    settings_.SWFOutputFolderOpt = kOutputFolderPerFile;
    Name(source, true);
    EXPECT_TRUE(fs::is_directory(dir_.File("Music/a")));
    EXPECT_EQ(entry_.outputSwfPath, dir_.File("Music/a/a.swf"));
    EXPECT_EQ(entry_.htmlPath, dir_.File("Music/a/a.htm"));
}

TEST_F(OutputNaming, FolderPerFileWithoutExtensionFallsBackToDocuments) {
    const std::string source = dir_.File("Music/noext");
    Touch(source);
    settings_.SWFOutputFolderOpt = kOutputFolderPerFile;

    settings_.OutputFiles2MyDocuments = 0;
    EXPECT_EQ(Name(source, false), "Failed to create folder \"" + source + "\"");

    settings_.OutputFiles2MyDocuments = 1;
    settings_.CreateDirs = 1;  // mirroring belongs to the custom folder only
    Name(source, true);
    EXPECT_EQ(entry_.outputSwfPath, Documents() + "/noext.swf");
    EXPECT_EQ(entry_.htmlPath, Documents() + "/noext.htm");
    EXPECT_TRUE(fs::is_directory(Documents()));
}

TEST_F(OutputNaming, DocumentsFolderFromTheUserDirsFile) {
    fs::create_directories(home_ + "/.config");
    std::ofstream(home_ + "/.config/user-dirs.dirs") << "# comment\nXDG_MUSIC_DIR=\"$HOME/Music\"\n"
                                                      << "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
    EXPECT_EQ(UserDocumentsFolder(), home_ + "/Papers");
    env_.Set("XDG_DOCUMENTS_DIR", dir_.File("elsewhere/"));
    EXPECT_EQ(UserDocumentsFolder(), dir_.File("elsewhere"));
    env_.Unset("XDG_DOCUMENTS_DIR");

    const std::string source = dir_.File("Music/noext");
    Touch(source);
    settings_.SWFOutputFolderOpt = kOutputFolderPerFile;
    Name(source, true);
    EXPECT_EQ(entry_.outputSwfPath, home_ + "/Papers/noext.swf");
}

TEST_F(OutputNaming, CustomFolderWithAndWithoutMirror) {
    const std::string out = dir_.File("out");
    settings_.SWFOutputFolderOpt = kOutputCustomFolder;
    struct Case {
        std::string source;
        std::string folder;  // as configured
        int mirror;
        std::string swf;
    } cases[] = {
        {dir_.File("src/pop/1.mp3"), out, 0, out + "/1.swf"},
        {dir_.File("src/pop/1.mp3"), out + "/", 0, out + "/1.swf"},
        {dir_.File("src/pop/1.mp3"), out, 1, out + dir_.File("src/pop/1.swf")},
        {dir_.File("src//pop/./x/../2.wav"), out + "/", 1, out + dir_.File("src/pop/2.swf")},
    };
    for (const Case& c : cases) {
        Touch(c.source);
        settings_.SWFSpecifiedFolder = c.folder;
        settings_.CreateDirs = c.mirror;
        Name(c.source, true);
        EXPECT_EQ(entry_.outputSwfPath, c.swf) << c.source;
        EXPECT_TRUE(fs::is_directory(fs::path(c.swf).parent_path()));
    }
}

TEST_F(OutputNaming, MirrorRuleOnAnAbsoluteHomePath) {
    // /home/u/Music/pop/1.mp3 under /out gives /out/home/u/Music/pop/1.swf:
    // the same rule with the scratch folder standing in for /.
    const std::string source = dir_.File("home/u/Music/pop/1.mp3");
    Touch(source);
    settings_.SWFOutputFolderOpt = kOutputCustomFolder;
    settings_.SWFSpecifiedFolder = dir_.File("out");
    settings_.CreateDirs = 1;
    Name(source, true);
    const std::string expected = dir_.File("out") + source.substr(0, source.size() - 4) + ".swf";
    EXPECT_EQ(entry_.outputSwfPath, expected);
    EXPECT_EQ(expected.substr(expected.size() - 23), "/home/u/Music/pop/1.swf");
}

TEST_F(OutputNaming, CustomFolderFailuresAndTheirFallback) {
    const std::string source = dir_.File("in/song.mp3");
    Touch(source);
    settings_.SWFOutputFolderOpt = kOutputCustomFolder;
    settings_.OutputFiles2MyDocuments = 0;

    settings_.SWFSpecifiedFolder = "";
    EXPECT_EQ(Name(source, false), "Failed to create folder \"\"");

    Touch(dir_.File("blocker"));
    settings_.SWFSpecifiedFolder = dir_.File("blocker/out");
    EXPECT_EQ(Name(source, false), "Failed to create folder \"" + dir_.File("blocker/out") + "\"");

    // With the fallback, the mirror choice of the custom folder carries over.
    settings_.OutputFiles2MyDocuments = 1;
    settings_.CreateDirs = 1;
    Name(source, true);
    EXPECT_EQ(entry_.outputSwfPath, Documents() + dir_.File("in/song.swf"));

    // When the documents folder cannot be made either, the fallback's own
    // status is reported.
    fs::remove_all(Documents());
    Touch(Documents());
    settings_.CreateDirs = 0;
    EXPECT_EQ(Name(source, false), "Failed to create folder \"" + Documents() + "\"");
}

TEST_F(OutputNaming, TargetThatCannotBeCreated) {
    const std::string source = dir_.File("song.mp3");
    Touch(source);
    fs::create_directories(dir_.File("song.swf"));  // a folder in the way
    settings_.TargetExistsOpt = kTargetOverwrite;
    settings_.OutputFiles2MyDocuments = 0;
    EXPECT_EQ(Name(source, false), "Failed to create file \"" + dir_.File("song.swf") + "\"");
    EXPECT_TRUE(fs::is_directory(dir_.File("song.swf")));

    settings_.OutputFiles2MyDocuments = 1;
    Name(source, true);
    EXPECT_EQ(entry_.outputSwfPath, Documents() + "/song.swf");

    // A name that no cutting makes fit: the output folder's own path is so
    // long that the SWF's name takes it past the system's path limit.
    std::string deep = dir_.File("");
    while (deep.size() + 201 < PATH_MAX - 8) deep += std::string(200, 'd') + "/";
    deep += std::string(PATH_MAX - 8 - deep.size(), 'e');
    ASSERT_TRUE(fs::create_directories(deep));
    settings_.SWFOutputFolderOpt = kOutputCustomFolder;
    settings_.SWFSpecifiedFolder = deep;
    for (int exists : {kTargetOverwrite, kTargetSkip, kTargetAutoRename}) {
        settings_.TargetExistsOpt = exists;
        settings_.OutputFiles2MyDocuments = 0;
        EXPECT_EQ(Name(source, false), "Failed to create file \"" + deep + "/song.swf\"");
        // The documents folder takes the file instead.
        settings_.OutputFiles2MyDocuments = 1;
        Name(source, true);
        EXPECT_EQ(entry_.outputSwfPath, Documents() + "/song.swf");
    }
}

TEST(EnsureFolder, CreatesMissingLevelsAndRefusesFilesInTheWay) {
    ScratchDir dir;
    EXPECT_TRUE(EnsureFolder(dir.File("a/b/c")));
    EXPECT_TRUE(fs::is_directory(dir.File("a/b/c")));
    EXPECT_TRUE(EnsureFolder(dir.File("a/b/c")));
    EXPECT_TRUE(EnsureFolder(dir.File("a//d/")));
    EXPECT_TRUE(fs::is_directory(dir.File("a/d")));
    Touch(dir.File("file"));
    EXPECT_FALSE(EnsureFolder(dir.File("file")));
    EXPECT_FALSE(EnsureFolder(dir.File("file/sub")));
    EXPECT_FALSE(EnsureFolder(""));
    ASSERT_EQ(::symlink(dir.File("a").c_str(), dir.File("link").c_str()), 0);
    EXPECT_TRUE(EnsureFolder(dir.File("link/e")));
    EXPECT_TRUE(fs::is_directory(dir.File("a/e")));
}

}  // namespace
}  // namespace tembrel
