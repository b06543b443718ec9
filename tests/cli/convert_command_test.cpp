// tembrel-convert run as a program: converting a generated sound with the
// defaults and with options, the stored settings as the starting point,
// probing, JSON, folders, and the exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/conversion_settings.h"
#include "engine/settings_persistence.h"
#include "platform/os_file.h"
#include "platform/qt_settings_store.h"
#include "swf/picture_embed.h"
#include "support/decoding_fixtures.h"
#include "engine/scoped_env.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::RunCommand;
using test::ScratchDir;
using test::ShellQuote;

std::string Converter() { return std::string(TEMBREL_PROGRAM_DIR) + "/tembrel-convert"; }

// Stream lines "codec,rate,channels" of every audio stream FFmpeg finds.
std::string AudioStreams(const std::string& path) {
    std::string out;
    RunCommand("ffprobe -v error -select_streams a -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 " +
                   ShellQuote(path),
               &out);
    return out;
}

class ConvertCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "needs ffmpeg and ffprobe";
        ASSERT_TRUE(FileExists(Converter()));
        ::mkdir(config.c_str(), 0755);
        ASSERT_TRUE(test::EncodeTone(wav, 44100, 2, 2.0, "-c:a pcm_s16le"));
    }

    // Runs the converter with its own settings store and the standard
    // streams captured; returns the exit status.
    int Convert(const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr) {
        const std::string errFile = scratch.File("stderr.txt");
        std::string stdoutText;
        const int status = RunCommand("cd " + ShellQuote(scratch.Path()) + " && " + shellPrefix +
                                          "XDG_CONFIG_HOME=" + ShellQuote(config) +
                                          " " + environment + ShellQuote(Converter()) + " " + arguments + " 2>" +
                                          ShellQuote(errFile) + " </dev/null",
                                      &stdoutText);
        if (out) *out = stdoutText;
        if (err) {
            const auto bytes = test::ReadAll(errFile);
            err->assign(bytes.begin(), bytes.end());
        }
        return status;
    }

    ScratchDir scratch;
    std::string config = scratch.File("config");
    std::string wav = scratch.File("tone.wav");
    std::string environment;  // "NAME=value " assignments for the converter
    std::string shellPrefix;  // shell commands before it ("ulimit -v N && ")
};

// The JSON line of source in a converter's output ("" when there is none).
std::string JsonLineOf(const std::string& out, const std::string& source) {
    const std::size_t at = out.find("{\"source\":\"" + source + "\"");
    return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
}

// The stored settings with a change, as the desktop program would save them.
template <typename Change>
void StoreSettings(const std::string& config, Change change) {
    test::ScopedEnv env;
    env.Set("XDG_CONFIG_HOME", config);
    ConversionSettings stored(std::string(TEMBREL_PROGRAM_DIR) + "/");
    change(stored);
    QtSettingsStore store;
    SaveSettings(store, stored, kSaveOptions);
}

TEST_F(ConvertCommandTest, DefaultsMakeAPlayerSwfAndAPage) {
    std::string out;
    ASSERT_EQ(Convert("tone.wav", &out), 0);
    EXPECT_NE(out.find(scratch.File("tone.swf")), std::string::npos) << out;
    EXPECT_NE(out.find(scratch.File("tone.htm")), std::string::npos) << out;
    // Automatic parameters for a 44.1 kHz stereo source.
    EXPECT_NE(AudioStreams(scratch.File("tone.swf")).find("mp3,44100,2"), std::string::npos);
    EXPECT_TRUE(FileExists(scratch.File("tone.htm")));
    // The store is read, never written.
    EXPECT_FALSE(FileExists(config + "/Tembrel/Options.conf"));
}

TEST_F(ConvertCommandTest, OptionsOverrideTheSettingsForTheRun) {
    const std::string out = scratch.File("out");
    const struct {
        std::string options;
        std::string stream;
        bool page;
    } cases[] = {
        {"--no-controls --event --rate 22050 --channels 1 --bitrate 32 --no-html", "mp3,22050,1", false},
        {"--no-controls --stream --rate 11025 --channels 1 --bitrate 16 --html", "mp3,11025,1", true},
        {"--shell-player " + ShellQuote(std::string(TEMBREL_PROGRAM_DIR) + "/" + kDefaultShellPlayerSwf) +
             " --rate 22050 --channels 2 --bitrate 64 --no-html --fps 20 --button-color FF8800 --background 102030",
         "mp3,22050,2", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        std::string text, err;
        ASSERT_EQ(Convert("--out " + ShellQuote(out) + " --exists overwrite " + c.options + " --json tone.wav", &text,
                          &err),
                  0)
            << err;
        EXPECT_NE(AudioStreams(out + "/tone.swf").find(c.stream), std::string::npos) << AudioStreams(out + "/tone.swf");
        EXPECT_EQ(FileExists(out + "/tone.htm"), c.page);
        const std::string expected = "{\"source\":\"" + wav + "\",\"status\":\"tone.swf\",\"swf\":\"" + out +
                                     "/tone.swf\",\"page\":\"" + (c.page ? out + "/tone.htm" : "") + "\"";
        EXPECT_EQ(text.rfind(expected, 0), 0u) << text;
        ::unlink((out + "/tone.htm").c_str());
    }
    EXPECT_TRUE(FileExists(out + "/tone.player.swf"));
}

TEST_F(ConvertCommandTest, StoredSettingsAreTheStartingPoint) {
    {
        test::ScopedEnv env;
        env.Set("XDG_CONFIG_HOME", config);
        ConversionSettings stored(std::string(TEMBREL_PROGRAM_DIR) + "/");
        stored.AutoDestMP3EncodingParam = 0;
        stored.MP3SampleRate = 11025;
        stored.MP3ChannelNum = 1;
        stored.MP3BitRate = 16;
        stored.CreateHtmlFile = 0;
        QtSettingsStore store;
        SaveSettings(store, stored, kSaveOptions);
    }
    ASSERT_EQ(Convert("tone.wav"), 0);
    EXPECT_NE(AudioStreams(scratch.File("tone.swf")).find("mp3,11025,1"), std::string::npos);
    EXPECT_FALSE(FileExists(scratch.File("tone.htm")));
}

TEST_F(ConvertCommandTest, ProbeListsRowsAndConvertsNothing) {
    ::mkdir(scratch.File("folder").c_str(), 0755);
    ::mkdir(scratch.File("folder/sub").c_str(), 0755);
    ASSERT_TRUE(test::EncodeTone(scratch.File("folder/sub/mono.wav"), 22050, 1, 3.0, "-c:a pcm_s16le"));
    test::WriteAll(scratch.File("folder/notes.txt"), {'x'});
    std::string out;
    ASSERT_EQ(Convert("--probe tone.wav folder", &out), 0);
    // Name, length, bit rate (from the file size, so near the PCM rate),
    // frequency and channels, as the file list shows them.
    const struct {
        const char *name, *length;
        int kbps;
        const char *freq, *channels;
    } rows[] = {{"tone.wav", "00:02", 1411, "44100 Hz", "Stereo"}, {"mono.wav", "00:03", 353, "22050 Hz", "Mono"}};
    std::size_t at = 0;
    for (const auto& row : rows) {
        const std::size_t end = out.find('\n', at);
        ASSERT_NE(end, std::string::npos) << out;
        std::vector<std::string> cells;
        for (std::size_t from = at; from <= end;) {
            const std::size_t tab = std::min(out.find('\t', from), end);
            cells.push_back(out.substr(from, tab - from));
            from = tab + 1;
        }
        ASSERT_EQ(cells.size(), 5u) << out;
        EXPECT_EQ(cells[0], row.name);
        EXPECT_EQ(cells[1], row.length);
        EXPECT_NEAR(std::atoi(cells[2].c_str()), row.kbps, 2);
        EXPECT_EQ(cells[2].substr(cells[2].find(' ')), " kbps");
        EXPECT_EQ(cells[3], row.freq);
        EXPECT_EQ(cells[4], row.channels);
        at = end + 1;
    }
    EXPECT_EQ(at, out.size());
    EXPECT_FALSE(FileExists(scratch.File("tone.swf")));
}

TEST_F(ConvertCommandTest, FailuresAndBadUsageHaveTheirExitStatus) {
    test::WriteAll(scratch.File("junk.mp3"), {'n', 'o', 'p', 'e'});
    std::string out, err;
    EXPECT_EQ(Convert("--no-html tone.wav junk.mp3", &out, &err), 1);
    EXPECT_NE(err.find("Failed to load the following files.\n\n" + scratch.File("junk.mp3") + "\n"),
              std::string::npos)
        << err;
    EXPECT_TRUE(FileExists(scratch.File("tone.swf")));

    EXPECT_EQ(Convert("--exists skip tone.wav", &out), 1);
    EXPECT_NE(out.find("Target exists and skipped"), std::string::npos) << out;

    const struct {
        const char* arguments;
        const char* message;
    } usage[] = {
        {"--bogus tone.wav", "unknown option --bogus"},
        {"", "no file or folder given"},
        {"tone.wav --out", "option --out needs a value"},
        {"--exists maybe tone.wav", "rename, overwrite or skip"},
        {"--page-ruffle cdn tone.wav", "beside or web"},
        {"--rate 12345 tone.wav", "11025, 22050 or 44100"},
        {"--channels 3 tone.wav", "1 or 2"},
        {"--bitrate x tone.wav", "8 to 320"},
        {"--button-color 12345 tone.wav", "RRGGBB"},
        {"--volume 5 tone.wav", "10 to 3000"},
        {"--jobs 0 tone.wav", "bad value \"0\" for --jobs (expected 1 to 256)"},
        {"tone.wav --jobs", "option --jobs needs a value"},
        // An empty name (an unset variable) must not mean the current folder.
        {"--out out \"\"", "empty file or folder name"},
        {"-- \"\" tone.wav", "empty file or folder name"},
        {"--controls \"\" tone.wav", "empty file or folder name for --controls"},
        {"--shell-player \"\" tone.wav", "empty file or folder name for --shell-player"},
        {"--out \"\" tone.wav", "empty file or folder name for --out"},
    };
    for (const auto& u : usage) {
        EXPECT_EQ(Convert(u.arguments, nullptr, &err), 2) << u.arguments;
        EXPECT_NE(err.find(u.message), std::string::npos) << u.arguments << ": " << err;
    }
    EXPECT_EQ(Convert("--help", &out), 0);
    EXPECT_NE(out.find("Usage: tembrel-convert"), std::string::npos);
    EXPECT_FALSE(FileExists(scratch.File("out"))) << "an empty name converted the current folder";
}

TEST_F(ConvertCommandTest, BadListsAndShardsAreBadUsage) {
    const auto write = [&](const std::string& name, const std::string& text) {
        test::WriteAll(scratch.File(name), std::vector<std::uint8_t>(text.begin(), text.end()));
    };
    write("lines.txt", "tone.wav\ntone.wav\n");
    write("gap.txt", "tone.wav\n\ntone.wav\n");
    write("nul-gap.txt", std::string("tone.wav\0\0tone.wav\0", 20));
    write("crlf.txt", "tone.wav\r\ntone.wav\r\n");
    const struct {
        const char* arguments;
        const char* message;
    } usage[] = {
        {"--files-from missing.txt", "cannot read the list missing.txt: No such file or directory"},
        {"--files-from", "option --files-from needs a value"},
        {"--files-from \"\"", "empty file name for --files-from"},
        {"--files-from lines.txt --files-from lines.txt", "--files-from given twice"},
        {"--null --files-from lines.txt", "the list lines.txt holds no NUL character"},
        {"--null tone.wav", "option --null needs --files-from"},
        {"--files-from gap.txt", "empty file name in the list gap.txt (name 2)"},
        {"--null --files-from nul-gap.txt", "empty file name in the list nul-gap.txt (name 2)"},
        {"--files-from crlf.txt", "line 1 of the list crlf.txt ends in a carriage return"},
        {"--shard 1/2 --shard 2/2 tone.wav", "option --shard given twice"},
        {"--shard 0/3 tone.wav", "bad value \"0/3\" for --shard"},
        {"--shard 4/3 tone.wav", "bad value \"4/3\" for --shard"},
        {"--shard 1/0 tone.wav", "bad value \"1/0\" for --shard"},
        {"--shard 2 tone.wav", "bad value \"2\" for --shard"},
        {"--shard 1/2x tone.wav", "bad value \"1/2x\" for --shard"},
        {"--shard -1/2 tone.wav", "bad value \"-1/2\" for --shard"},
        {"tone.wav --shard", "option --shard needs a value"},
    };
    std::string out, err;
    for (const auto& u : usage) {
        EXPECT_EQ(Convert(u.arguments, &out, &err), 2) << u.arguments;
        EXPECT_NE(err.find(u.message), std::string::npos) << u.arguments << ": " << err;
    }
    EXPECT_FALSE(FileExists(scratch.File("tone.swf"))) << "a bad list still converted";
}

TEST_F(ConvertCommandTest, ShardsOfAListNeverOverlapAndTogetherCoverItInOrder) {
    // Seven files named in a NUL list from standard input (one name holds a
    // newline, as names may), one of them a folder whose files are shared out
    // too; an empty list is an empty run.
    const std::string folder = scratch.File("folder");
    ::mkdir(folder.c_str(), 0755);
    std::string list;
    for (const char* name : {"a.wav", "b\nb.wav", "c.wav", "folder", "g.wav"}) {
        list += std::string(name) + '\0';
        if (std::string(name) != "folder") std::filesystem::copy_file(wav, scratch.File(name));
    }
    for (const char* name : {"d.wav", "e.wav", "f.wav"}) std::filesystem::copy_file(wav, folder + "/" + name);
    test::WriteAll(scratch.File("list"), std::vector<std::uint8_t>(list.begin(), list.end()));
    const auto probe = [&](const std::string& arguments, std::string* out) {
        return RunCommand("cd " + ShellQuote(scratch.Path()) + " && XDG_CONFIG_HOME=" + ShellQuote(config) + " " +
                              ShellQuote(Converter()) + " --probe --null --files-from - " + arguments +
                              " <list 2>/dev/null",
                          out);
    };
    std::string whole;
    ASSERT_EQ(probe("", &whole), 0);
    ASSERT_EQ(std::count(whole.begin(), whole.end(), '\t'), 7 * 4) << whole;
    for (int count : {1, 2, 3, 4, 7, 11}) {
        std::string joined;
        for (int index = 1; index <= count; ++index) {
            std::string part;
            EXPECT_EQ(probe("--shard " + std::to_string(index) + "/" + std::to_string(count), &part), 0)
                << index << "/" << count;
            // Equal parts: 7 rows of 4 tab-separated columns shared out.
            const auto rows = std::count(part.begin(), part.end(), '\t') / 4;
            EXPECT_TRUE(rows == 7 / count || rows == (7 + count - 1) / count) << index << "/" << count << ": " << part;
            joined += part;
        }
        EXPECT_EQ(joined, whole) << count << " shards";
    }
    // A worker whose share is empty (more workers than files) converts
    // nothing and has done its part; the next one has a file.
    std::string out;
    EXPECT_EQ(Convert("--null --files-from list --shard 1/11 --out out --json", &out), 0) << out;
    EXPECT_EQ(out, "");
    EXPECT_EQ(Convert("--null --files-from list --shard 2/11 --out out --json", &out), 0) << out;
    EXPECT_NE(out.find("\"status\":\"a.swf\""), std::string::npos) << out;
    test::WriteAll(scratch.File("list"), {});
    EXPECT_EQ(probe("--shard 1/2", &whole), 0);
    EXPECT_EQ(whole, "");
}

TEST_F(ConvertCommandTest, NamedOutFolderThatCannotBeWrittenFailsTheFile) {
    const std::string home = scratch.File("home"), documents = home + "/Documents";
    ::mkdir(home.c_str(), 0755);
    ::mkdir(documents.c_str(), 0755);
    environment = "HOME=" + ShellQuote(home) + " XDG_DOCUMENTS_DIR=" + ShellQuote(documents) + " ";
    test::WriteAll(scratch.File("not-a-folder"), {'x'});

    std::string out, err;
    EXPECT_EQ(Convert("--out not-a-folder --no-html --json tone.wav", &out, &err), 1) << err;
    EXPECT_TRUE(std::filesystem::is_empty(documents)) << out;
    EXPECT_EQ(out.find("\"swf\":\"\""), out.find("\"swf\":")) << out;

    // Asked for, Documents takes the file instead.
    EXPECT_EQ(Convert("--out not-a-folder --documents-fallback --no-html tone.wav", &out, &err), 0) << err;
    EXPECT_TRUE(FileExists(documents + "/tone.swf")) << out;
}

TEST_F(ConvertCommandTest, JsonLinesStayValidAndNameFilesThatFailedToLoad) {
    // Bytes that hold no frame sync (no 0xFF), so nothing takes them for sound.
    std::mt19937 random(7);
    std::vector<std::uint8_t> junk(4096);
    for (auto& byte : junk) byte = static_cast<std::uint8_t>(random() % 0xFF);
    test::WriteAll(scratch.File("junk.mp3"), junk);
    const std::string oddName = "tone\xFF.wav";  // not UTF-8, as file names may be
    std::filesystem::copy_file(wav, scratch.File(oddName));
    // A link to a listed file is skipped, and its line says so.
    std::filesystem::create_symlink(wav, scratch.File("again.wav"));

    std::string out, err;
    EXPECT_EQ(Convert("--json --html --out out tone.wav junk.mp3 " + ShellQuote(oddName) + " again.wav", &out, &err),
              1)
        << err;
    if (test::HaveTool("python3")) {  // strict UTF-8, then JSON; each name's exact bytes are there
        const std::string file = scratch.File("lines.json");
        test::WriteAll(file, std::vector<std::uint8_t>(out.begin(), out.end()));
        const std::string check =
            "import base64,json,os,sys\n"
            "lines = [json.loads(l.decode()) for l in open(sys.argv[1], 'rb')]\n"
            "names = [base64.b64decode(l['sourceBytes']) if 'sourceBytes' in l else l['source'].encode()\n"
            "         for l in lines]\n"
            "assert names == [os.fsencode(a) for a in sys.argv[2:]], names\n";
        EXPECT_EQ(RunCommand("python3 -c " + ShellQuote(check) + " " + ShellQuote(file) + " " + ShellQuote(wav) + " " +
                             ShellQuote(scratch.File(oddName)) + " " + ShellQuote(scratch.File("junk.mp3")) + " " +
                             ShellQuote(scratch.File("again.wav"))),
                  0)
            << out;
    }
    const std::string r = "\xEF\xBF\xBD";  // U+FFFD
    const std::string converted = "{\"source\":\"" + scratch.File("tone") + r + ".wav\",\"sourceBytes\":\"";
    const std::string convertedRest = "\",\"status\":\"tone" + r +
                                  ".swf\",\"swf\":\"" + scratch.File("out/tone") + r +
                                  ".swf\",\"page\":\"" + scratch.File("out/tone") + r +
                                  ".htm\",\"player\":\"\",\"reason\":\"the page cannot play from disk: the name "
                                  "\\\"tone" + r + ".swf\\\" is not UTF-8, and a page can only address UTF-8 names\","
                                  "\"samples\":88200,\"seconds\":2,\"bytes\":";
    const std::string failedStart = "{\"source\":\"" + scratch.File("junk.mp3") +
                                    "\",\"status\":\"Failed to load\",\"swf\":\"\",\"page\":\"\",\"player\":\"\","
                                    "\"reason\":\"";
    std::istringstream lines(out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) rows.push_back(line + "\n");
    ASSERT_EQ(rows.size(), 4u) << out;
    EXPECT_EQ(rows[0].rfind("{\"source\":\"" + wav + "\",\"status\":\"tone.swf\"", 0), 0u) << rows[0];
    EXPECT_EQ(rows[1].rfind(converted, 0), 0u) << rows[1];
    EXPECT_NE(rows[1].find(convertedRest, converted.size()), std::string::npos) << rows[1];
    EXPECT_EQ(rows[2].rfind(failedStart, 0), 0u) << rows[2];
    EXPECT_EQ(rows[3], "{\"source\":\"" + scratch.File("again.wav") +
                           "\",\"status\":\"Skipped: listed already\",\"swf\":\"\",\"page\":\"\",\"player\":\"\","
                           "\"reason\":\"the same file as \\\"" + wav + "\\\", listed before it\"}\n");
    EXPECT_GT(rows[2].size(), failedStart.size() + 3) << "no reason given";  // more than "\"}\n"
    EXPECT_NE(err.find(scratch.File("junk.mp3") + ": "), std::string::npos) << err;
}

// Every regular file below folder, by its path relative to folder.
std::map<std::string, std::vector<std::uint8_t>> Tree(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& item : fs::recursive_directory_iterator(folder))
        if (item.is_regular_file())
            files[fs::relative(item.path(), folder).string()] = test::ReadAll(item.path().string());
    return files;
}

TEST_F(ConvertCommandTest, JobsGiveTheOutputsOfAOneJobRun) {
    // Same stems in several folders and formats into one folder with
    // automatic renaming, one of them undecodable, lengths that make files
    // finish out of order (the broken one never makes it into the list).
    const std::string batch = scratch.File("batch");
    for (const char* sub : {"", "/a", "/b", "/b/c"}) ::mkdir((batch + sub).c_str(), 0755);
    ASSERT_TRUE(test::EncodeTone(batch + "/a/take.wav", 44100, 2, 2.0, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(batch + "/b/take.flac", 22050, 1, 0.3, "-c:a flac"));
    ASSERT_TRUE(test::EncodeTone(batch + "/b/c/take.mp3", 44100, 1, 0.5, "-c:a libmp3lame -b:a 64k"));
    ASSERT_TRUE(test::EncodeTone(batch + "/b/take_1.wav", 11025, 1, 0.4, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(batch + "/a/other.ogg", 44100, 2, 0.7, "-c:a libvorbis"));
    test::WriteAll(batch + "/b/c/broken.wav", std::vector<std::uint8_t>(2000, 0x52));

    const std::string out = scratch.File("out");
    std::string oneText, threeText, err;
    const std::string arguments = "--out " + ShellQuote(out) + " --exists rename --html --json ";
    EXPECT_EQ(Convert("--jobs 1 " + arguments + "batch", &oneText, &err), 1) << err;
    const auto one = Tree(out);
    std::filesystem::rename(out, scratch.File("out-one-job"));
    EXPECT_EQ(Convert("--jobs 3 " + arguments + "batch", &threeText, &err), 1) << err;
    const auto three = Tree(out);

    EXPECT_EQ(threeText, oneText);
    EXPECT_NE(oneText.find("\"status\":\"take_1.swf\""), std::string::npos) << oneText;
    ASSERT_EQ(three.size(), one.size());
    std::size_t beside = 0, carried = 0;
    for (const auto& [name, bytes] : one) {
        if (name.rfind("tembrel-ruffle/movies/", 0) == 0) ++carried;
        else if (name.rfind("tembrel-ruffle/", 0) != 0) ++beside;
    }
    EXPECT_EQ(beside, 10u);  // five SWFs and their pages
    EXPECT_EQ(carried, 5u);  // and the movies for pages opened from disk
    for (const auto& [name, bytes] : one) {
        ASSERT_TRUE(three.count(name)) << name;
        EXPECT_TRUE(three.at(name) == bytes) << name << " differs";
    }
}

TEST_F(ConvertCommandTest, OverwriteNamesComeFromTheListInOneRunAndInShards) {
    // One stem in two formats, in several folders, as a file that is no sound
    // (it still holds its name) and as a numbered name's own, all into one
    // folder. The names are the list's: one run, a run again and the shards
    // of any split give the same files, byte for byte, replacing what was
    // there before (the old 01.swf and 01_1.swf), never what the run wrote.
    const std::string album = scratch.File("album");
    for (const char* sub : {"", "/cd1", "/cd2", "/cd3", "/cd4", "/cd5"}) ::mkdir((album + sub).c_str(), 0755);
    ASSERT_TRUE(test::EncodeTone(album + "/cd1/01.wav", 44100, 2, 0.4, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(album + "/cd1/01.flac", 22050, 1, 0.3, "-c:a flac"));
    ASSERT_TRUE(test::EncodeTone(album + "/cd2/01.wav", 44100, 1, 0.2, "-c:a pcm_s16le"));
    test::WriteAll(album + "/cd3/01.wav", std::vector<std::uint8_t>(2000, 0x52));
    ASSERT_TRUE(test::EncodeTone(album + "/cd3/01_1.wav", 11025, 1, 0.3, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(album + "/cd4/01.wav", 22050, 2, 0.2, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(album + "/cd4/song.wav", 44100, 1, 0.3, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(album + "/cd5/song.wav", 44100, 1, 0.2, "-c:a pcm_s16le"));
    const std::vector<std::pair<std::string, std::string>> named = {
        {"cd1/01.wav", "01"},     {"cd1/01.flac", "01_1"}, {"cd2/01.wav", "01_2"},   {"cd3/01.wav", ""},
        {"cd3/01_1.wav", "01_1_1"}, {"cd4/01.wav", "01_4"}, {"cd4/song.wav", "song"}, {"cd5/song.wav", "song_1"}};
    std::string list;
    for (const auto& [source, base] : named) list += "album/" + source + "\n";
    test::WriteAll(scratch.File("list"), std::vector<std::uint8_t>(list.begin(), list.end()));

    const std::string out = scratch.File("out");
    const std::string arguments = "--files-from list --out out --exists overwrite --html --page-ruffle web --json "
                                  "--shell-player " +
                                  ShellQuote(std::string(TEMBREL_PROGRAM_DIR) + "/" + kDefaultShellPlayerSwf) + " ";
    const auto before = [&] {
        std::filesystem::remove_all(out);
        ::mkdir(out.c_str(), 0755);
        test::WriteAll(out + "/01.swf", {'o', 'l', 'd'});
        test::WriteAll(out + "/01_1.swf", {'o', 'l', 'd'});
    };
    const auto sortedLines = [](const std::string& text) {
        std::istringstream stream(text);
        std::vector<std::string> lines;
        for (std::string line; std::getline(stream, line);) lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        return lines;
    };

    before();
    std::string text, err;
    EXPECT_EQ(Convert("--jobs 3 " + arguments, &text, &err), 1) << err;  // one file is no sound
    const auto whole = Tree(out);
    EXPECT_EQ(whole.size(), 7u * 3);
    for (const auto& [source, base] : named) {
        const std::string line = JsonLineOf(text, album + "/" + source);
        if (base.empty()) {
            EXPECT_NE(line.find("\"status\":\"Failed to load\""), std::string::npos) << line;
            continue;
        }
        EXPECT_NE(line.find("\"status\":\"" + base + ".swf\",\"swf\":\"" + out + "/" + base + ".swf\",\"page\":\"" +
                            out + "/" + base + ".htm\",\"player\":\"" + out + "/" + base + ".player.swf\",\"reason\":\"\""),
                  std::string::npos)
            << line;
        // Each file is still the one its line tells of.
        EXPECT_NE(line.find("\"bytes\":" + std::to_string(FileSizeAt(out + "/" + base + ".swf")) + "}"),
                  std::string::npos)
            << line;
    }
    const std::vector<std::string> wholeLines = sortedLines(text);

    for (int count : {1, 2, 3, 5}) {
        SCOPED_TRACE(std::to_string(count) + " shards");
        before();
        std::string joined;
        for (int index = 1; index <= count; ++index) {
            std::string part;
            Convert("--jobs 1 --shard " + std::to_string(index) + "/" + std::to_string(count) + " " + arguments, &part);
            joined += part;
        }
        EXPECT_EQ(sortedLines(joined), wholeLines);
        const auto sharded = Tree(out);
        EXPECT_EQ(sharded.size(), whole.size());
        for (const auto& [name, bytes] : whole) {
            ASSERT_TRUE(sharded.count(name)) << name;
            EXPECT_TRUE(sharded.at(name) == bytes) << name << " differs";
        }
    }
    // A run again over the outputs of the last one changes nothing.
    EXPECT_EQ(Convert(arguments, &text, &err), 1) << err;
    EXPECT_EQ(sortedLines(text), wholeLines);
    EXPECT_TRUE(Tree(out) == whole);

    // One folder reached two ways, a link among them: the second file of one
    // stem still never replaces the first, and says why.
    ::symlink("cd1", (album + "/alias").c_str());
    EXPECT_EQ(Convert("--exists overwrite --no-html --json album/cd1/01.wav album/alias/01.flac", &text, &err), 1);
    EXPECT_NE(err.find(album + "/alias/01.flac: \"" + album + "/alias/01.swf\" was written earlier in this run"),
              std::string::npos)
        << err;
    EXPECT_NE(JsonLineOf(text, album + "/alias/01.flac").find("\"swf\":\"" + album + "/alias/01_1.swf\""),
              std::string::npos)
        << text;
    EXPECT_TRUE(FileExists(album + "/cd1/01.swf") && FileExists(album + "/cd1/01_1.swf"));
}

TEST_F(ConvertCommandTest, SourcesCutShortConvertWithAReason) {
    // Headers (or, for FLAC, the stream info) that declare two seconds in
    // files cut to about half: each converts what is there, and says so.
    const std::string cut = scratch.File("cut");
    ::mkdir(cut.c_str(), 0755);
    const struct {
        const char* name;
        const char* encode;
    } kinds[] = {{"wav.wav", "-c:a pcm_s16le"},
                 {"aiff.aiff", "-c:a pcm_s16be"},
                 {"au.au", "-c:a pcm_s16be"},
                 {"flac.flac", "-c:a flac"}};
    for (const auto& kind : kinds) {
        const std::string whole = scratch.File(kind.name);
        ASSERT_TRUE(test::EncodeTone(whole, 44100, 2, 2.0, kind.encode));
        const auto bytes = test::ReadAll(whole);
        test::WriteAll(cut + "/" + kind.name, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
    }
    // Whole two-second files written to a pipe, their lengths left open in
    // the header (stand-ins near 2 or 4 GB, or 0): they declare nothing, so
    // they convert without a note and, on a temporary folder of 4 MB, are
    // not taken for gigabytes of sound.
    const std::string piped = scratch.File("piped");
    ::mkdir(piped.c_str(), 0755);
    std::vector<std::string> pipedNames;
    for (const char* type : {"wav", "aiff", "au"}) {
        for (const std::string writer : {"sox", "ffmpeg"}) {
            const std::string name = writer + "-" + type + "." + type;
            const std::string write =
                writer == "sox" ? "sox -n -r 44100 -c 2 -b 16 -t " + std::string(type) + " - synth 2 sine 440"
                                : "ffmpeg -v error -f lavfi -i sine=d=2:sample_rate=44100 -ac 2 -f " + std::string(type) + " -";
            if (!test::HaveTool(writer)) continue;
            ASSERT_EQ(RunCommand(write + " 2>/dev/null | cat > " + ShellQuote(piped + "/" + name)), 0) << name;
            pipedNames.push_back(name);
        }
    }
    const std::string tmp = scratch.File("tmp");
    ::mkdir(tmp.c_str(), 0755);
    const std::string smallTmp = "mount -t tmpfs -o size=4m tembrel \"$TMPDIR\"";
    if (RunCommand("TMPDIR=" + ShellQuote(tmp) + " unshare -m sh -c " + ShellQuote(smallTmp) + " 2>/dev/null") == 0)
        environment = "TMPDIR=" + ShellQuote(tmp) + " unshare -m sh -c " + ShellQuote(smallTmp + " && exec \"$@\"") +
                      " sh ";
    else
        std::fprintf(stderr, "no private tmpfs here (it needs root): the temporary folder is the usual one\n");
    std::string out, err;
    EXPECT_EQ(Convert("--out out --no-html --json cut piped tone.wav", &out, &err), 1) << err;
    std::string listed;
    EXPECT_EQ(Convert("--probe piped", &listed), 0);
    for (const std::string& name : pipedNames) {
        EXPECT_NE(listed.find(name + "\t00:02\t"), std::string::npos) << listed;
        const std::string line = JsonLineOf(out, piped + "/" + name);
        EXPECT_NE(line.find("\"status\":\"" + name.substr(0, name.find('.')) + ".swf\""), std::string::npos) << line;
        EXPECT_NE(line.find("\"reason\":\"\""), std::string::npos) << line;
    }
    for (const auto& kind : kinds) {
        const std::string source = cut + "/" + kind.name;
        const std::string line = JsonLineOf(out, source);
        const std::string stem = std::string(kind.name).substr(0, std::string(kind.name).find('.'));
        EXPECT_NE(line.find("\"status\":\"" + stem + ".swf\""), std::string::npos) << line;
        EXPECT_NE(line.find("\"reason\":\"the source ended after "), std::string::npos) << line;
        EXPECT_NE(line.find(" of 2.0 s; the file may be cut short\""), std::string::npos) << line;
        EXPECT_NE(err.find(source + ": the source ended after "), std::string::npos) << err;
        EXPECT_TRUE(FileExists(scratch.File("out/" + stem + ".swf")));
    }
    EXPECT_NE(JsonLineOf(out, wav).find("\"reason\":\"\""), std::string::npos) << out;
}

TEST_F(ConvertCommandTest, UnusablePictureIsNamedOnEveryRowAndTheMovieIsStillBuilt) {
    const std::string pictures = scratch.File("pictures");
    ::mkdir(pictures.c_str(), 0755);
    ASSERT_EQ(::mkfifo((pictures + "/fifo.jpg").c_str(), 0644), 0);
    test::WriteAll(pictures + "/locked.jpg", {0xFF, 0xD8, 0xFF, 0xD9});
    ::chmod((pictures + "/locked.jpg").c_str(), 0);
    // A missing picture is dropped from the settings as they are read (the
    // template's own size and look stay); root reads any file.
    const bool canLock = ::geteuid() != 0;
    const std::vector<std::uint8_t> random = {0x52, 0x17, 0xA4, 0x3C, 0x9E, 0x61, 0x0D, 0xF2, 0x88, 0x45};
    test::WriteAll(pictures + "/random.jpg", random);
    ASSERT_TRUE(test::EncodeTone(scratch.File("second.wav"), 22050, 1, 0.5, "-c:a pcm_s16le"));
    const struct {
        std::string picture, problem;
    } cases[] = {
        {pictures, "it is a folder"},
        {pictures + "/fifo.jpg", "not a regular file"},  // must not wait for a writer
        {pictures + "/locked.jpg", "Permission denied"},
        {pictures + "/random.jpg", "it is not a JPEG file"},
        {std::string(TEMBREL_PROGRAM_DIR) + "/sample.jpg", ""},
    };
    const std::string arguments = "--out out --exists overwrite --no-html --json --controls " +
                                  ShellQuote(std::string(TEMBREL_PROGRAM_DIR) + "/ControlSWF/use_a_jpeg_1.swf") +
                                  " tone.wav second.wav";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture);
        if (c.problem == "Permission denied" && !canLock) continue;
        StoreSettings(config, [&](ConversionSettings& s) {
            s.JPEGFile = c.picture;
            s.JPEGWidth = 40;
            s.JPEGHeight = 30;
        });
        std::string out, err;
        EXPECT_EQ(Convert(arguments, &out, &err), c.problem.empty() ? 0 : 1) << err;
        const std::string reason =
            c.problem.empty() ? "\"reason\":\"\""
                              : "\"reason\":\"the picture \\\"" + c.picture + "\\\" is not in the movie: ";
        for (const char* stem : {"tone", "second"}) {
            const std::string line = JsonLineOf(out, scratch.File(std::string(stem) + ".wav"));
            EXPECT_NE(line.find("\"status\":\"" + std::string(stem) + ".swf\""), std::string::npos) << line;
            EXPECT_NE(line.find(reason + (c.problem.empty() ? "" : c.problem)), std::string::npos) << line;
            const auto movie = test::ReadAll(scratch.File("out/" + std::string(stem) + ".swf"));
            EXPECT_EQ(std::search(movie.begin(), movie.end(), random.begin(), random.end()), movie.end())
                << "a picture that is not a JPEG was embedded";
        }
    }
}

TEST_F(ConvertCommandTest, RunningOutOfMemoryStillGivesJsonAndExitOne) {
#if defined(__SANITIZE_ADDRESS__)
    // Its operator new reports a failed allocation and aborts, never throws.
    GTEST_SKIP() << "the address sanitizer never lets an allocation fail with std::bad_alloc";
#else
    // A picture and a template of 1 GB each (sparse: they take no disk)
    // under an address space of 700 MB. The picture costs only itself: the
    // movies are built without it, each row saying why, exit 1. The template
    // ends the run: every row says "out of memory", exit 1, no abort. The
    // same limit with the sample picture converts, so the limit itself is
    // not the fault.
    const std::string big = scratch.File("big.jpg");
    test::WriteAll(big, {0xFF, 0xD8, 0xFF, 0xE0});
    ASSERT_EQ(::truncate(big.c_str(), off_t{1} << 30), 0);
    const std::string bigTemplate = scratch.File("big.swf");
    test::WriteAll(bigTemplate, {'F', 'W', 'S', 6, 0x00, 0x00, 0x00, 0x40});
    ASSERT_EQ(::truncate(bigTemplate.c_str(), off_t{1} << 30), 0);
    ASSERT_TRUE(test::EncodeTone(scratch.File("second.wav"), 22050, 1, 0.5, "-c:a pcm_s16le"));
    shellPrefix = "ulimit -v 700000 && ";
    const std::string pictureTemplate = std::string(TEMBREL_PROGRAM_DIR) + "/ControlSWF/use_a_jpeg_1.swf";
    const struct {
        std::string picture, controls;
        int exit;
        std::string reason;  // on each row
    } cases[] = {
        {std::string(TEMBREL_PROGRAM_DIR) + "/sample.jpg", pictureTemplate, 0, "\"reason\":\"\""},
        {big, pictureTemplate, 1,
         "\"reason\":\"the picture \\\"" + big + "\\\" is not in the movie: " + kPictureOutOfMemory + "\""},
        {std::string(TEMBREL_PROGRAM_DIR) + "/sample.jpg", bigTemplate, 1, "\"reason\":\"out of memory\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture + " in " + c.controls);
        StoreSettings(config, [&](ConversionSettings& s) {
            s.JPEGFile = c.picture;
            s.JPEGWidth = 40;
            s.JPEGHeight = 30;
        });
        std::filesystem::remove_all(scratch.File("out"));
        std::string out, err;
        EXPECT_EQ(Convert("--jobs 1 --out out --no-html --json --controls " + ShellQuote(c.controls) +
                              " tone.wav second.wav",
                          &out, &err),
                  c.exit)
            << err;
        for (const char* stem : {"tone", "second"}) {
            const std::string line = JsonLineOf(out, scratch.File(std::string(stem) + ".wav"));
            EXPECT_NE(line.find(c.reason), std::string::npos) << line;
            // Only a template memory cannot hold costs the movies.
            EXPECT_EQ(FileExists(scratch.File("out/" + std::string(stem) + ".swf")), c.controls != bigTemplate);
        }
        if (c.controls == bigTemplate) {
            EXPECT_NE(err.find("not enough memory"), std::string::npos) << err;
        }
    }
#endif
}

TEST_F(ConvertCommandTest, AFileSizeLimitFailsWhatItStopsAndTheRunGoesOn) {
    // Under a limit of 2000 KB a file (ulimit -f 2000): the temporary sound
    // of a long source outgrows it, and so does Ruffle's copy beside the
    // first page. Each says why, the short source still converts, and no
    // temporary file is left in the output folder, Ruffle's or the
    // temporary folder.
    ASSERT_TRUE(test::EncodeTone(scratch.File("long.wav"), 44100, 2, 30.0, "-c:a pcm_s16le"));
    const std::string tmp = scratch.File("tmp");
    ::mkdir(tmp.c_str(), 0755);
    environment = "TMPDIR=" + ShellQuote(tmp) + " prlimit --fsize=2048000 ";
    std::string out, err;
    EXPECT_EQ(Convert("--no-controls --out out --json long.wav tone.wav", &out, &err), 1) << err;
    const std::string longLine = JsonLineOf(out, scratch.File("long.wav"));
    EXPECT_NE(longLine.find("\"status\":\"Conversion Failure\""), std::string::npos) << longLine;
    EXPECT_NE(longLine.find("File too large"), std::string::npos) << longLine;
    const std::string toneLine = JsonLineOf(out, wav);
    EXPECT_NE(toneLine.find("\"status\":\"tone.swf\""), std::string::npos) << toneLine;
    EXPECT_NE(toneLine.find("File too large"), std::string::npos) << toneLine;
    EXPECT_NE(AudioStreams(scratch.File("out/tone.swf")).find("mp3,"), std::string::npos);
    for (const auto& item : std::filesystem::recursive_directory_iterator(scratch.Path())) {
        const std::string name = item.path().filename().string();
        EXPECT_FALSE(name.rfind("TBR", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".tmp")
            << item.path();
    }
}

TEST_F(ConvertCommandTest, ThreadsTheSystemWillNotStartMeanFewerJobsNeverAHang) {
    // Threads limited (as another user: root's are not counted) to the
    // converter alone, to one more and to two more; and, as clusters set
    // them, a stack limit of 4 GB within 6 GB of address space. Each run
    // converts with what it can start, down to the calling thread, within a
    // time that only a hang exceeds.
    ASSERT_TRUE(test::EncodeTone(scratch.File("second.wav"), 22050, 1, 0.5, "-c:a pcm_s16le"));
    ::chmod(scratch.Path().c_str(), 0777);
    std::string limited = "timeout -s KILL 300 ";
#if defined(__SANITIZE_ADDRESS__)
    // The leak check at exit needs a thread of its own.
    limited = "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 " + limited;
#endif
    const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups prlimit ";
    std::vector<std::string> limits = {asNobody + "--nproc=1 ", asNobody + "--nproc=2 ", asNobody + "--nproc=3 "};
#if !defined(__SANITIZE_ADDRESS__)
    // The address sanitizer reserves more address space than any such limit.
    limits.push_back("prlimit --stack=4294967296 --as=6442450944 ");
#endif
    for (std::size_t i = 0; i < limits.size(); ++i) {
        SCOPED_TRACE(limits[i]);
        environment = limited + limits[i];
        const std::string out = "out" + std::to_string(i);
        std::string json, err;
        EXPECT_EQ(Convert("--jobs 8 --no-controls --out " + out + " --json tone.wav second.wav", &json, &err), 0)
            << err;
        for (const char* stem : {"tone", "second"}) {
            EXPECT_NE(JsonLineOf(json, scratch.File(std::string(stem) + ".wav"))
                          .find("\"status\":\"" + std::string(stem) + ".swf\""),
                      std::string::npos)
                << json;
            EXPECT_NE(AudioStreams(scratch.File(out + "/" + stem + ".swf")).find("mp3,"), std::string::npos);
        }
    }
}

// Restores SIGHUP to its default for the commands this test runs (a test run
// under nohup would hand the converter an ignored hang-up).
class DefaultHangUp {
public:
    DefaultHangUp() {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(SIGHUP, &action, &saved_);
    }
    ~DefaultHangUp() { sigaction(SIGHUP, &saved_, nullptr); }

private:
    struct sigaction saved_ {};
};

TEST_F(ConvertCommandTest, CancelSignalsStopEveryJobAndLeaveNothingBehind) {
    const std::string batch = scratch.File("long");
    ::mkdir(batch.c_str(), 0755);
    for (int i = 1; i <= 8; ++i)
        ASSERT_TRUE(test::EncodeTone(batch + "/part" + std::to_string(i) + ".wav", 44100, 2, 20.0, "-c:a pcm_s16le"));
    const DefaultHangUp hangUp;
    // Ctrl-C, a terminal closed, a plain kill and a reader gone away all
    // cancel the run alike, and its status says which cut it short.
    const std::pair<std::string, int> signals[] = {
        {"INT", SIGINT}, {"TERM", SIGTERM}, {"HUP", SIGHUP}, {"PIPE", SIGPIPE}};
    for (const auto& [signal, number] : signals) {
        SCOPED_TRACE(signal);
        const std::string tmp = scratch.File("tmp-" + signal), out = scratch.File("out-" + signal);
        ::mkdir(tmp.c_str(), 0755);
        // The signal as soon as the first SWF is there and another file's
        // temporary file exists; the rest are still to come.
        const std::string script =
            "cd " + ShellQuote(scratch.Path()) + " && XDG_CONFIG_HOME=" + ShellQuote(config) + " TMPDIR=" +
            ShellQuote(tmp) + " " + ShellQuote(Converter()) + " --jobs 2 --json --no-controls --out " +
            ShellQuote(out) + " long >json.txt 2>/dev/null </dev/null & pid=$!; "
            "for i in $(seq 1 12000); do [ -e " + ShellQuote(out + "/part1.htm") + " ] && break; sleep 0.01; done; "
            "for i in $(seq 1 12000); do ls " + ShellQuote(tmp) +
            " | grep -q '^TBR.*\\.tmp$' && break; sleep 0.01; done; "
            "kill -" + signal + " $pid; wait $pid; echo $?";
        std::string status;
        RunCommand(script, &status);
        EXPECT_EQ(std::atoi(status.c_str()), 128 + number) << status;

        // Statuses: converted files first, then at most one "Cancelled",
        // then files never reached, saying why.
        const auto json = test::ReadAll(scratch.File("json.txt"));
        std::istringstream lines(std::string(json.begin(), json.end()));
        int converted = 0, cancelled = 0, untouched = 0, lineCount = 0;
        for (std::string line; std::getline(lines, line); ++lineCount) {
            const std::string name = "part" + std::to_string(lineCount + 1);
            if (line.find("\"status\":\"" + name + ".swf\"") != std::string::npos) {
                EXPECT_EQ(cancelled + untouched, 0) << line;
                ++converted;
                EXPECT_NE(AudioStreams(out + "/" + name + ".swf").find("mp3,"), std::string::npos) << name;
                EXPECT_TRUE(FileExists(out + "/" + name + ".htm")) << name;
                continue;
            }
            if (line.find("\"status\":\"Cancelled\"") != std::string::npos) {
                EXPECT_EQ(cancelled + untouched, 0) << line;
                ++cancelled;
            } else {
                EXPECT_NE(line.find("\"status\":\"Not converted: the run was cancelled\""), std::string::npos) << line;
                ++untouched;
            }
            EXPECT_FALSE(FileExists(out + "/" + name + ".swf")) << name;
            EXPECT_FALSE(FileExists(out + "/" + name + ".htm")) << name;
        }
        EXPECT_EQ(lineCount, 8);
        EXPECT_GE(converted, 1);
        EXPECT_GE(cancelled + untouched, 1);
        EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "temporary files left behind";
    }
}

}  // namespace
}  // namespace tembrel
