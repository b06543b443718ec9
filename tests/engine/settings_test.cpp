// Options record: defaults, load checks, the stored names and types, and the
// QSettings-backed store on a private XDG_CONFIG_HOME.
#include <gtest/gtest.h>

#include <QSettings>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sstream>
#include <unistd.h>

#include "engine/settings_persistence.h"
#include "platform/memory_settings_store.h"
#include "platform/program_folder.h"
#include "platform/qt_settings_store.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

// Every test in this program sees a private configuration folder, set before
// any QSettings exists, so the user's own options are never read or written.
class PrivateConfigEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        folder_ = std::string(TEMBREL_TEST_TMP) + "/xdg-config-" + std::to_string(::getpid());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder_));
    }
    void TearDown() override { fs::remove_all(folder_); }
    static const std::string& Folder() { return folder_; }

private:
    static inline std::string folder_;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new PrivateConfigEnvironment);

// All persisted and default-bearing fields as name=value lines, so that a
// mismatch names the field.
std::vector<std::string> Describe(const ConversionSettings& s, const ColourFactors& f = {}) {
    auto line = [](const char* name, const auto& v) {
        std::ostringstream out;
        out << name << "=" << v;
        return out.str();
    };
    return {
        line("Folder", s.Folder), line("AutoDestMP3EncodingParam", s.AutoDestMP3EncodingParam),
        line("MP3BitRate", s.MP3BitRate), line("MP3SampleRate", s.MP3SampleRate),
        line("MP3ChannelNum", s.MP3ChannelNum), line("ChangeVolume", s.ChangeVolume),
        line("VolumeCoef", s.VolumeCoef), line("SkipFirstMs", s.SkipFirstMs),
        line("SkipLastMs", s.SkipLastMs), line("ConvertDuration", s.ConvertDuration),
        line("TrimLastType", s.TrimLastType), line("SWFOutputFolderOpt", s.SWFOutputFolderOpt),
        line("SWFSpecifiedFolder", s.SWFSpecifiedFolder), line("TargetExistsOpt", s.TargetExistsOpt),
        line("CreateDirs", s.CreateDirs), line("OutputFiles2MyDocuments", s.OutputFiles2MyDocuments),
        line("BrowseOutFolder", s.BrowseOutFolder), line("SWFFrameRate", s.SWFFrameRate),
        line("CreateCtrlSWF", s.CreateCtrlSWF), line("CreateHtmlFile", s.CreateHtmlFile),
        line("SWFInitPlay", s.SWFInitPlay), line("SWFLoopPlay", s.SWFLoopPlay),
        line("ControlSWF", s.ControlSWF), line("EmptySwfPath", s.EmptySwfPath),
        line("PageTemplatePath", s.PageTemplatePath), line("SWFBkgColor", s.SWFBkgColor),
        line("SWFBtnColor", s.SWFBtnColor), line("TrackSWFBkgTopColor", s.TrackSWFBkgTopColor),
        line("TrackSWFBkgBottomColor", s.TrackSWFBkgBottomColor),
        line("TrackSWFBorderColor", s.TrackSWFBorderColor), line("SWFSoundType", s.SWFSoundType),
        line("ButtonSWFType", s.ButtonSWFType), line("ShellPlayerSWF", s.ShellPlayerSWF),
        line("BlankFrames", s.BlankFrames), line("AddFileNameOnHtml", s.AddFileNameOnHtml),
        line("PageRuffleOpt", s.PageRuffleOpt), line("PageRufflePath", s.PageRufflePath),
        line("JPEGHeight", s.JPEGHeight), line("JPEGWidth", s.JPEGWidth), line("JPEGFile", s.JPEGFile),
        line("GC0", f.GC[0]), line("GC1", f.GC[1]),
        line("GC2", f.GC[2]), line("GC3", f.GC[3]), line("TBC", f.TBC),
    };
}

const std::vector<std::string> kLoadOrder = {
    "Folder", "CreateCtrlSWF", "SWFSoundType", "ButtonSWFType", "ShellPlayerSWF", "SWFInitPlay",
    "SWFLoopPlay", "ControlSWF", "SWFOutputFolderOpt", "SWFSpecifiedFolder", "JPEGFile", "JPEGWidth",
    "JPEGHeight", "TargetExistsOpt", "CreateDirs", "OutputFiles2MyDocuments", "BrowseOutFolder",
    "AutoDestMP3EncodingParam", "MP3BitRate", "MP3SampleRate", "MP3ChannelNum", "ChangeVolume",
    "VolumeCoef", "SkipFirstMs", "SkipLastMs", "ConvertDuration", "TrimLastType", "SWFFrameRate",
    "SWFBkgColor", "SWFBtnColor", "TrackSWFBkgTopColor", "TrackSWFBkgBottomColor",
    "TrackSWFBorderColor", "BlankFrames", "AddFileNameOnHtml", "PageRuffleOpt", "CreateHtmlFile", "GC", "TBC"};

const std::vector<std::string> kSaveOrder = {
    "CreateCtrlSWF", "SWFSoundType", "ButtonSWFType", "ShellPlayerSWF", "SWFInitPlay", "SWFLoopPlay",
    "ControlSWF", "SWFOutputFolderOpt", "SWFSpecifiedFolder", "JPEGFile", "JPEGWidth", "JPEGHeight",
    "TargetExistsOpt", "CreateDirs", "OutputFiles2MyDocuments", "BrowseOutFolder",
    "AutoDestMP3EncodingParam", "MP3BitRate", "MP3SampleRate", "MP3ChannelNum", "ChangeVolume",
    "VolumeCoef", "SkipFirstMs", "SkipLastMs", "ConvertDuration", "TrimLastType", "SWFFrameRate",
    "SWFBkgColor", "SWFBtnColor", "TrackSWFBkgTopColor", "TrackSWFBkgBottomColor",
    "TrackSWFBorderColor", "CreateHtmlFile", "BlankFrames", "AddFileNameOnHtml", "PageRuffleOpt", "GC", "TBC"};

StoredValue Floats(std::initializer_list<float> values) {
    std::vector<std::uint8_t> bytes;
    for (float f : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    return StoredValue::Binary(bytes);
}

// A program folder with the default templates and picture in place, so the
// load checks keep what they find.
struct ProgramFolderFixture {
    ScratchDir dir;
    std::string folder = dir.Path() + "/";
    ProgramFolderFixture() {
        fs::create_directories(folder + "ControlSWF/ShellPlayer");
        for (const char* name : {kDefaultControlSwf, kDefaultShellPlayerSwf, kSamplePictureName})
            test::WriteAll(folder + name, {'x'});
    }
};

TEST(ConversionSettingsTest, DefaultsFollowTheTable) {
    ConversionSettings s("/opt/tembrel/");
    ColourFactors f;
    std::vector<std::string> expected = {
        "Folder=", "AutoDestMP3EncodingParam=1", "MP3BitRate=24", "MP3SampleRate=22050",
        "MP3ChannelNum=1", "ChangeVolume=0", "VolumeCoef=100", "SkipFirstMs=0", "SkipLastMs=0", "ConvertDuration=0", "TrimLastType=0",
        "SWFOutputFolderOpt=199", "SWFSpecifiedFolder=", "TargetExistsOpt=11", "CreateDirs=0",
        "OutputFiles2MyDocuments=1", "BrowseOutFolder=1", "SWFFrameRate=12", "CreateCtrlSWF=1",
        "CreateHtmlFile=1", "SWFInitPlay=1", "SWFLoopPlay=0",
        "ControlSWF=/opt/tembrel/ControlSWF/square_gradient_3.swf",
        "EmptySwfPath=/opt/tembrel/empty.swf", "PageTemplatePath=/opt/tembrel/Template.htm",
        "SWFBkgColor=16777215", "SWFBtnColor=43520", "TrackSWFBkgTopColor=15269864",
        "TrackSWFBkgBottomColor=10354589", "TrackSWFBorderColor=32768", "SWFSoundType=10",
        "ButtonSWFType=11", "ShellPlayerSWF=/opt/tembrel/ControlSWF/ShellPlayer/square_gradient_3.swf",
        "BlankFrames=0", "AddFileNameOnHtml=1", "PageRuffleOpt=11", "PageRufflePath=/opt/tembrel/tembrel-ruffle",
        "JPEGHeight=75", "JPEGWidth=100", "JPEGFile=/opt/tembrel/sample.jpg", "GC0=0.4", "GC1=1", "GC2=0.3", "GC3=0.8", "TBC=1"};
    EXPECT_EQ(Describe(s, f), expected);
    EXPECT_EQ(ColourToHex(s.SWFBtnColor), "#00AA00");
    EXPECT_EQ(ColourToHex(s.TrackSWFBkgTopColor), "#E8FFE8");
}

TEST(ConversionSettingsTest, ProgramFolderIsTheExecutablesFolder) {
    std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::equivalent(folder, fs::path(TEMBREL_TEST_TMP).parent_path() / "tests"));
    EXPECT_EQ(ConversionSettings().EmptySwfPath, folder + "empty.swf");
}

TEST(LoadSettingsTest, FirstStartWithoutKeyKeepsEveryDefault) {
    MemorySettingsStore store;  // no key yet
    ConversionSettings s("/nowhere/");
    ColourFactors f;
    LoadSettings(store, s, f, "/nowhere/");
    // No checks either: the missing template and picture paths stay.
    EXPECT_EQ(Describe(s, f), Describe(ConversionSettings("/nowhere/")));
    EXPECT_TRUE(store.readOrder.empty());
}

TEST(LoadSettingsTest, ReadsEveryValueInOrder) {
    MemorySettingsStore store;
    store.exists = true;
    ConversionSettings s("/nowhere/");
    ColourFactors f;
    LoadSettings(store, s, f, "/nowhere/");
    EXPECT_EQ(store.readOrder, kLoadOrder);
}

TEST(LoadSettingsTest, ChannelCountOtherThanOneOrTwoBecomesStereo) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {{0, 2}, {3, 2}, {-1, 2}, {1, 1}, {2, 2}};
    for (auto [stored, loaded] : cases) {
        MemorySettingsStore store;
        store.exists = true;
        store.values["MP3ChannelNum"] = StoredValue::Dword(static_cast<std::uint32_t>(stored));
        ConversionSettings s("/nowhere/");
        ColourFactors f;
        LoadSettings(store, s, f, "/nowhere/");
        EXPECT_EQ(s.MP3ChannelNum, loaded) << "stored " << stored;
    }
}

TEST(LoadSettingsTest, FactorsAreClampedIntoTheirRanges) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::initializer_list<float> gc;
        float tbc;
        std::array<float, 4> gcLoaded;
        float tbcLoaded;
    } cases[] = {
        {{-1.0f, 2.0f, 0.5f, nan}, 7.5f, {0.0f, 1.0f, 0.5f, 0.0f}, 5.0f},
        {{0.0f, 1.0f, 0.25f, 0.75f}, 2.5f, {0.0f, 1.0f, 0.25f, 0.75f}, 2.5f},
        {{inf, -inf, -0.0f, 1.0001f}, nan, {1.0f, 0.0f, 0.0f, 1.0f}, 0.0f},
        {{0.1f, 0.2f, 0.3f, 0.4f}, -3.0f, {0.1f, 0.2f, 0.3f, 0.4f}, 0.0f},
    };
    for (const Case& c : cases) {
        MemorySettingsStore store;
        store.exists = true;
        store.values["GC"] = Floats(c.gc);
        store.values["TBC"] = Floats({c.tbc});
        ConversionSettings s("/nowhere/");
        ColourFactors f;
        LoadSettings(store, s, f, "/nowhere/");
        EXPECT_EQ(f.GC, c.gcLoaded);
        EXPECT_EQ(f.TBC, c.tbcLoaded);
    }
}

TEST(LoadSettingsTest, StalePathsAreReplacedAndExistingOnesKept) {
    ProgramFolderFixture program;
    ScratchDir other;
    std::string ownTemplate = other.File("my_time_player.swf");
    test::WriteAll(ownTemplate, {'x'});
    std::string gone = other.File("deleted.swf");

    struct Case {
        const char* name;
        std::string stored;
        std::string ConversionSettings::*field;
        std::string loaded;
    } cases[] = {
        {"ControlSWF", gone, &ConversionSettings::ControlSWF, program.folder + kDefaultControlSwf},
        {"ControlSWF", ownTemplate, &ConversionSettings::ControlSWF, ownTemplate},
        {"ShellPlayerSWF", gone, &ConversionSettings::ShellPlayerSWF, program.folder + kDefaultShellPlayerSwf},
        // A folder counts as something that exists.
        {"ShellPlayerSWF", other.Path(), &ConversionSettings::ShellPlayerSWF, other.Path()},
        {"JPEGFile", other.File("deleted.jpg"), &ConversionSettings::JPEGFile, ""},
        {"JPEGFile", ownTemplate, &ConversionSettings::JPEGFile, ownTemplate},
    };
    for (const Case& c : cases) {
        MemorySettingsStore store;
        store.exists = true;
        store.values[c.name] = StoredValue::String(c.stored);
        ConversionSettings s(program.folder);
        ColourFactors f;
        LoadSettings(store, s, f, program.folder);
        EXPECT_EQ(s.*c.field, c.loaded) << c.name << " stored as " << c.stored;
    }
}

TEST(LoadSettingsTest, ChecksAlsoApplyToDefaultsWhenTheKeyExists) {
    ScratchDir emptyProgram;  // no templates, no picture
    std::string folder = emptyProgram.Path() + "/";
    MemorySettingsStore store;
    store.exists = true;
    ConversionSettings s(folder);
    ColourFactors f;
    LoadSettings(store, s, f, folder);
    EXPECT_EQ(s.JPEGFile, "");
    EXPECT_EQ(s.ControlSWF, folder + kDefaultControlSwf);
}

TEST(LoadSettingsTest, MistypedOrOverlongValuesAreNotTaken) {
    ProgramFolderFixture program;
    struct Case {
        const char* name;
        StoredValue stored;
        const char* field;  // Describe() line prefix
        std::string loaded;
    } cases[] = {
        {"SWFFrameRate", StoredValue::Dword(30), "SWFFrameRate=", "30"},
        {"SWFFrameRate", StoredValue::String("30"), "SWFFrameRate=", "12"},
        {"SWFFrameRate", StoredValue::Binary({30, 0, 0, 0}), "SWFFrameRate=", "12"},
        {"ChangeVolume", StoredValue::Dword(0xFFFFFFFF), "ChangeVolume=", "-1"},
        {"SWFBtnColor", StoredValue::Dword(0x123456), "SWFBtnColor=", std::to_string(0x123456)},
        {"Folder", StoredValue::String(std::string(259, 'f')), "Folder=", std::string(259, 'f')},
        {"Folder", StoredValue::String(std::string(260, 'f')), "Folder=", ""},
        {"Folder", StoredValue::Dword(7), "Folder=", ""},
        {"Folder", StoredValue::String(std::string("/music\0junk", 11)), "Folder=", "/music"},
        {"SWFSpecifiedFolder", StoredValue::String("/out/" + std::string(400, 'p')), "SWFSpecifiedFolder=",
         "/out/" + std::string(400, 'p')},
        {"SWFSpecifiedFolder", StoredValue::String(std::string(PATH_MAX, 'p')), "SWFSpecifiedFolder=", ""},
        {"GC", Floats({0.5f, 0.5f, 0.5f}), "GC0=", "0.4"},
        {"GC", StoredValue::Dword(0), "GC0=", "0.4"},
        {"TBC", Floats({2.0f, 3.0f}), "TBC=", "1"},
        {"TBC", Floats({2.0f}), "TBC=", "2"},
    };
    for (const Case& c : cases) {
        MemorySettingsStore store;
        store.exists = true;
        store.values[c.name] = c.stored;
        ConversionSettings s(program.folder);
        ColourFactors f;
        LoadSettings(store, s, f, program.folder);
        std::string want = std::string(c.field) + c.loaded;
        bool found = false;
        for (const auto& line : Describe(s, f))
            if (line.rfind(c.field, 0) == 0) {
                found = true;
                EXPECT_EQ(line, want) << c.name;
            }
        EXPECT_TRUE(found) << c.field;
    }
}

// Stored values the options sheet could not have produced are not taken;
// flags are kept whatever their value, since any nonzero value means set.
TEST(LoadSettingsTest, ValuesOutsideTheSheetsRangesAreNotTaken) {
    ProgramFolderFixture program;
    const struct {
        const char* name;
        std::uint32_t stored;
        const char* loaded;  // Describe() line
    } cases[] = {
        {"MP3SampleRate", 11025, "MP3SampleRate=11025"},
        {"MP3SampleRate", 44100, "MP3SampleRate=44100"},
        {"MP3SampleRate", 48000, "MP3SampleRate=22050"},
        {"MP3SampleRate", 0, "MP3SampleRate=22050"},
        {"MP3BitRate", 16, "MP3BitRate=16"},
        {"MP3BitRate", 144, "MP3BitRate=144"},
        {"MP3BitRate", 320, "MP3BitRate=320"},
        {"MP3BitRate", 8, "MP3BitRate=24"},
        {"MP3BitRate", 150, "MP3BitRate=24"},
        {"MP3BitRate", 384, "MP3BitRate=24"},
        {"SWFFrameRate", 1, "SWFFrameRate=1"},
        {"SWFFrameRate", 120, "SWFFrameRate=120"},
        {"SWFFrameRate", 0, "SWFFrameRate=12"},
        {"SWFFrameRate", 121, "SWFFrameRate=12"},
        {"BlankFrames", 32767, "BlankFrames=32767"},
        {"BlankFrames", 32768, "BlankFrames=0"},
        {"BlankFrames", 0x7FFFFFFF, "BlankFrames=0"},
        {"BlankFrames", 0xFFFFFFFF, "BlankFrames=0"},
        {"VolumeCoef", 10, "VolumeCoef=10"},
        {"VolumeCoef", 3000, "VolumeCoef=3000"},
        {"VolumeCoef", 9, "VolumeCoef=100"},
        {"VolumeCoef", 3001, "VolumeCoef=100"},
        {"SWFOutputFolderOpt", 399, "SWFOutputFolderOpt=399"},
        {"SWFOutputFolderOpt", 400, "SWFOutputFolderOpt=199"},
        {"TargetExistsOpt", 33, "TargetExistsOpt=33"},
        {"TargetExistsOpt", 0, "TargetExistsOpt=11"},
        {"PageRuffleOpt", 22, "PageRuffleOpt=22"},
        {"PageRuffleOpt", 1, "PageRuffleOpt=11"},
        {"SWFSoundType", 20, "SWFSoundType=20"},
        {"SWFSoundType", 30, "SWFSoundType=10"},
        {"ButtonSWFType", 22, "ButtonSWFType=22"},
        {"ButtonSWFType", 12, "ButtonSWFType=11"},
        {"TrimLastType", 1, "TrimLastType=1"},
        {"TrimLastType", 2, "TrimLastType=0"},
        {"JPEGWidth", 1, "JPEGWidth=1"},
        {"JPEGWidth", 3276, "JPEGWidth=3276"},
        {"JPEGWidth", 3277, "JPEGWidth=100"},
        {"JPEGWidth", 0, "JPEGWidth=100"},
        {"JPEGHeight", 0xFFFFFD80, "JPEGHeight=75"},  // -640
        {"SkipFirstMs", 0x7FFFFFFF, "SkipFirstMs=2147483647"},
        {"SkipFirstMs", 0xFFFFFFFF, "SkipFirstMs=0"},
        {"SkipLastMs", 0xFFFFFFEC, "SkipLastMs=0"},
        {"ConvertDuration", 0x80000000, "ConvertDuration=0"},
        {"ConvertDuration", 60000, "ConvertDuration=60000"},
        {"SWFBkgColor", 0x00FFFFFF, "SWFBkgColor=16777215"},
        {"SWFBtnColor", 0x01000000, "SWFBtnColor=43520"},
        {"TrackSWFBorderColor", 0xFFFFFFFF, "TrackSWFBorderColor=32768"},
        {"MP3ChannelNum", 3, "MP3ChannelNum=2"},
        {"CreateHtmlFile", 2, "CreateHtmlFile=2"},
        {"ChangeVolume", 0xFFFFFFFF, "ChangeVolume=-1"},
        {"AutoDestMP3EncodingParam", 0x80000000, "AutoDestMP3EncodingParam=-2147483648"},
        {"SWFLoopPlay", 0x100, "SWFLoopPlay=256"},
    };
    for (const auto& c : cases) {
        MemorySettingsStore store;
        store.exists = true;
        store.values[c.name] = StoredValue::Dword(c.stored);
        ConversionSettings s(program.folder);
        ColourFactors f;
        LoadSettings(store, s, f, program.folder);
        std::string field = std::string(c.name) + "=";
        for (const auto& line : Describe(s, f))
            if (line.rfind(field, 0) == 0) {
                EXPECT_EQ(line, c.loaded) << "stored " << c.stored;
            }
    }

    // The same checks hold for what was in the record before loading.
    MemorySettingsStore store;
    store.exists = true;
    ConversionSettings s(program.folder);
    s.MP3SampleRate = 48000;
    s.BlankFrames = 0x7FFFFFFF;
    s.SWFFrameRate = 0;
    s.SWFBtnColor = 0xFF000000;
    s.SWFInitPlay = 5;
    ColourFactors f;
    LoadSettings(store, s, f, program.folder);
    EXPECT_EQ(s.MP3SampleRate, 22050);
    EXPECT_EQ(s.BlankFrames, 0);
    EXPECT_EQ(s.SWFFrameRate, 12);
    EXPECT_EQ(s.SWFBtnColor, 0x00AA00u);
    EXPECT_EQ(s.SWFInitPlay, 5);
}

// Non-default values for every stored option.
void FillEveryOption(ConversionSettings& s, ColourFactors& f, const std::string& existing) {
    s.Folder = "/home/u/Music/";
    s.AutoDestMP3EncodingParam = 0;
    s.MP3BitRate = 128;
    s.MP3SampleRate = 44100;
    s.MP3ChannelNum = 2;
    s.ChangeVolume = 1;
    s.VolumeCoef = 250;
    s.SkipFirstMs = 1500;
    s.SkipLastMs = 20;
    s.ConvertDuration = 60000;
    s.TrimLastType = 1;
    s.SWFOutputFolderOpt = 399;
    s.SWFSpecifiedFolder = "/tmp/out, \"quoted\"; =x [y] \\z ü";
    s.TargetExistsOpt = 33;
    s.CreateDirs = 1;
    s.OutputFiles2MyDocuments = 0;
    s.BrowseOutFolder = 0;
    s.SWFFrameRate = 24;
    s.CreateCtrlSWF = 0;
    s.CreateHtmlFile = 0;
    s.SWFInitPlay = 0;
    s.SWFLoopPlay = 1;
    s.ControlSWF = existing;
    s.SWFBkgColor = 0x010203;
    s.SWFBtnColor = 0xFEDCBA;
    s.TrackSWFBkgTopColor = 0;
    s.TrackSWFBkgBottomColor = 0xFFFFFF;
    s.TrackSWFBorderColor = 0x00800080;
    s.SWFSoundType = 20;
    s.ButtonSWFType = 22;
    s.ShellPlayerSWF = existing;
    s.BlankFrames = 3;
    s.AddFileNameOnHtml = 0;
    s.JPEGHeight = 480;
    s.JPEGWidth = 640;
    s.JPEGFile = existing;
    f.GC = {0.7f, 0.1f, 0.1f, 0.0f};
    f.TBC = 4.25f;
}

TEST(SaveSettingsTest, PartsSelectWhatIsWritten) {
    ConversionSettings s("/nowhere/");
    ColourFactors f;
    s.Folder = "/new/folder/";

    MemorySettingsStore options;
    options.values["Folder"] = StoredValue::String("/kept/");
    SaveSettings(options, s, kSaveOptions, f);
    EXPECT_EQ(options.writeOrder, kSaveOrder);
    EXPECT_EQ(options.values["Folder"], StoredValue::String("/kept/"));
    EXPECT_EQ(options.values["SWFFrameRate"], StoredValue::Dword(12));
    EXPECT_EQ(options.values["ControlSWF"], StoredValue::String("/nowhere/ControlSWF/square_gradient_3.swf"));
    EXPECT_EQ(options.values["GC"], Floats({0.4f, 1.0f, 0.3f, 0.8f}));
    EXPECT_EQ(options.values["TBC"], Floats({1.0f}));
    EXPECT_EQ(options.values["SWFBtnColor"], StoredValue::Dword(0x00AA00));
    // Unsaved paths never reach the store.
    for (const char* name : {"EmptySwfPath", "PageTemplatePath"})
        EXPECT_EQ(options.values.count(name), 0u) << name;

    MemorySettingsStore folder;
    folder.values["SWFFrameRate"] = StoredValue::Dword(99);
    SaveSettings(folder, s, kSaveFolder, f);
    EXPECT_EQ(folder.writeOrder, std::vector<std::string>{"Folder"});
    EXPECT_EQ(folder.values["Folder"], StoredValue::String("/new/folder/"));
    EXPECT_EQ(folder.values["SWFFrameRate"], StoredValue::Dword(99));

    MemorySettingsStore both;
    SaveSettings(both, s, kSaveFolder | kSaveOptions, f);
    EXPECT_EQ(both.writeOrder.front(), "Folder");
    EXPECT_EQ(both.writeOrder.size(), kSaveOrder.size() + 1);

    MemorySettingsStore none;
    SaveSettings(none, s, 0, f);
    SaveSettings(none, s, 0x13, f);  // bits without meaning
    EXPECT_EQ(none.writeSessions, 0);
    EXPECT_FALSE(none.exists);

    MemorySettingsStore locked;
    locked.writable = false;
    SaveSettings(locked, s, kSaveFolder | kSaveOptions, f);
    EXPECT_TRUE(locked.values.empty());
}

TEST(SaveSettingsTest, SavedOptionsLoadBackUnchanged) {
    ProgramFolderFixture program;
    std::string existing = program.folder + kSamplePictureName;
    ConversionSettings saved(program.folder);
    ColourFactors savedFactors;
    FillEveryOption(saved, savedFactors, existing);

    MemorySettingsStore store;
    SaveSettings(store, saved, kSaveFolder | kSaveOptions, savedFactors);
    ConversionSettings loaded(program.folder);
    ColourFactors loadedFactors;
    LoadSettings(store, loaded, loadedFactors, program.folder);
    EXPECT_EQ(Describe(loaded, loadedFactors), Describe(saved, savedFactors));
}

// --- the QSettings store -------------------------------------------------

class QtSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = PrivateConfigEnvironment::Folder() + "/Tembrel/Options.conf";
        fs::remove_all(PrivateConfigEnvironment::Folder() + "/Tembrel");
    }
    void TearDown() override { fs::remove_all(PrivateConfigEnvironment::Folder() + "/Tembrel"); }
    std::string file_;
};

TEST_F(QtSettingsStoreTest, LivesInTheXdgConfigFolder) {
    QtSettingsStore store;
    EXPECT_EQ(fs::weakly_canonical(store.Location()), fs::weakly_canonical(file_));
    EXPECT_FALSE(store.OpenForReading());  // nothing saved yet
    ConversionSettings s("/nowhere/");
    SaveSettings(store, s, kSaveFolder);
    EXPECT_TRUE(fs::exists(file_));
    EXPECT_TRUE(store.OpenForReading());
    store.Close();
}

TEST_F(QtSettingsStoreTest, RoundTripKeepsEveryValueAndType) {
    ProgramFolderFixture program;
    std::string existing = program.folder + kDefaultControlSwf;
    ConversionSettings saved(program.folder);
    ColourFactors savedFactors;
    FillEveryOption(saved, savedFactors, existing);
    {
        QtSettingsStore store;
        SaveSettings(store, saved, kSaveFolder | kSaveOptions, savedFactors);
    }
    ConversionSettings loaded(program.folder);
    ColourFactors loadedFactors;
    QtSettingsStore store;
    LoadSettings(store, loaded, loadedFactors, program.folder);
    EXPECT_EQ(Describe(loaded, loadedFactors), Describe(saved, savedFactors));

    ASSERT_TRUE(store.OpenForReading());
    for (const auto& name : kSaveOrder) {
        auto value = store.Get(name);
        ASSERT_TRUE(value) << name;
        StoredType want = StoredType::Dword;
        if (name == "GC" || name == "TBC") want = StoredType::Binary;
        if (name == "ShellPlayerSWF" || name == "ControlSWF" || name == "SWFSpecifiedFolder" || name == "JPEGFile")
            want = StoredType::String;
        EXPECT_EQ(value->type, want) << name;
    }
    EXPECT_EQ(store.Get("Folder")->type, StoredType::String);
    EXPECT_EQ(store.Get("GC")->bytes.size(), 16u);
    EXPECT_EQ(store.Get("TBC")->bytes.size(), 4u);
    EXPECT_EQ(*store.Get("TrackSWFBkgBottomColor"), StoredValue::Dword(0xFFFFFF));
    store.Close();
}

TEST_F(QtSettingsStoreTest, TextsThatLookLikeOtherTypesStayTexts) {
    const std::string texts[] = {"dword:0000000c", "hex:0a0b", "12", "", "a,b,c", "@ByteArray(x)",
                                 "  padded  ", "line\nbreak", "semi;colon #hash", "back\\slash"};
    {
        QtSettingsStore store;
        ASSERT_TRUE(store.OpenForWriting());
        for (std::size_t i = 0; i < std::size(texts); ++i)
            store.Set("T" + std::to_string(i), StoredValue::String(texts[i]));
        store.Set("Empty", StoredValue::Binary({}));
        store.Close();
    }
    QtSettingsStore store;
    ASSERT_TRUE(store.OpenForReading());
    for (std::size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(store.Get("T" + std::to_string(i)), StoredValue::String(texts[i])) << texts[i];
    EXPECT_EQ(store.Get("Empty"), StoredValue::Binary({}));
    EXPECT_EQ(store.Get("Missing"), std::nullopt);
    store.Close();
}

// Options.conf edited by hand: untagged numbers and texts count where the
// name calls for a number or a text; anything else is still refused.
TEST_F(QtSettingsStoreTest, HandWrittenPlainValuesAreTaken) {
    ProgramFolderFixture program;
    const std::string picture = program.folder + kSamplePictureName;
    const std::string text = "[General]\n"
                             "SWFFrameRate=24\n"
                             "SWFBkgColor=255\n"
                             "CreateHtmlFile=0\n"
                             "SWFSpecifiedFolder=/tmp/out\n"
                             "JPEGFile=" + picture + "\n"
                             "BlankFrames=0x10\n"
                             "ChangeVolume=-1\n"
                             "SWFBtnColor=0XFF\n"
                             "MP3BitRate=dword:00000080\n"
                             "VolumeCoef=250%\n"
                             "SkipFirstMs=\n"
                             "AddFileNameOnHtml=4294967296\n"
                             "BrowseOutFolder=-2147483649\n"
                             "SWFLoopPlay=sz:1\n"
                             "TrackSWFBorderColor=-1\n"
                             "JPEGWidth=0x\n"
                             "Folder=" + std::string(260, 'f') + "\n";
    fs::create_directories(fs::path(file_).parent_path());
    test::WriteAll(file_, std::vector<std::uint8_t>(text.begin(), text.end()));

    ConversionSettings s(program.folder);
    ColourFactors f;
    QtSettingsStore store;
    LoadSettings(store, s, f, program.folder);
    ConversionSettings want(program.folder);
    want.SWFFrameRate = 24;
    want.SWFBkgColor = 255;
    want.CreateHtmlFile = 0;
    want.SWFSpecifiedFolder = "/tmp/out";
    want.JPEGFile = picture;
    want.BlankFrames = 16;
    want.ChangeVolume = -1;
    want.SWFBtnColor = 255;
    want.MP3BitRate = 128;
    EXPECT_EQ(Describe(s, f), Describe(want));

    // Saving writes the tagged form, as before.
    SaveSettings(store, s, kSaveOptions, f);
    QSettings raw(QString::fromStdString(file_), QSettings::IniFormat);
    EXPECT_EQ(raw.value("SWFFrameRate").toString().toStdString(), "dword:00000018");
    EXPECT_EQ(raw.value("SWFSpecifiedFolder").toString().toStdString(), "sz:/tmp/out");
    EXPECT_EQ(raw.value("ChangeVolume").toString().toStdString(), "dword:ffffffff");
}

TEST_F(QtSettingsStoreTest, SavingKeepsValuesOwnedByOthers) {
    {
        QtSettingsStore store;
        ASSERT_TRUE(store.OpenForWriting());
        store.Set("FirstRun", StoredValue::Dword(0));
        store.Close();
    }
    QtSettingsStore store;
    ConversionSettings s("/nowhere/");
    SaveSettings(store, s, kSaveOptions);
    ASSERT_TRUE(store.OpenForReading());
    EXPECT_EQ(store.Get("FirstRun"), StoredValue::Dword(0));
    store.Close();
}

TEST_F(QtSettingsStoreTest, GarbledFileGivesDefaults) {
    ProgramFolderFixture program;
    std::vector<std::vector<std::uint8_t>> garbage;
    std::vector<std::uint8_t> noise;
    std::uint32_t x = 12345;
    for (int i = 0; i < 4096; ++i) {
        x = x * 1103515245u + 12345u;
        noise.push_back(static_cast<std::uint8_t>(x >> 16));
    }
    garbage.push_back(noise);
    std::string untyped =
        "[General]\nSWFFrameRate=30fps\nGC=hex:zz\nTBC=hex:0000\nMP3BitRate=dword:12\nFolder=@ByteArray(abc)\n"
        "ControlSWF=a, b\nJPEGWidth=dword:0000000G\n[General\n=\n\x01\x02";
    garbage.emplace_back(untyped.begin(), untyped.end());
    garbage.push_back({});

    for (const auto& bytes : garbage) {
        fs::create_directories(fs::path(file_).parent_path());
        test::WriteAll(file_, bytes);
        ConversionSettings s(program.folder);
        ColourFactors f;
        QtSettingsStore store;
        LoadSettings(store, s, f, program.folder);
        EXPECT_EQ(Describe(s, f), Describe(ConversionSettings(program.folder)));

        // Saving over the garbage makes the options loadable again.
        s.SWFFrameRate = 31;
        SaveSettings(store, s, kSaveOptions, f);
        ConversionSettings again(program.folder);
        LoadSettings(store, again, f, program.folder);
        EXPECT_EQ(again.SWFFrameRate, 31);
    }
}

TEST_F(QtSettingsStoreTest, UnreadableFileGivesDefaults) {
    // A folder where the file should be cannot be read by anyone, root included.
    fs::create_directories(file_);
    fs::create_directories(file_ + "/x");
    ConversionSettings s("/nowhere/");
    ColourFactors f;
    QtSettingsStore store;
    LoadSettings(store, s, f, "/nowhere/");
    EXPECT_EQ(Describe(s, f), Describe(ConversionSettings("/nowhere/")));
    // Saving cannot succeed either, and leaves the folder as it was.
    s.SWFFrameRate = 40;
    SaveSettings(store, s, kSaveOptions, f);
    EXPECT_TRUE(fs::is_directory(file_ + "/x"));
}

}  // namespace
}  // namespace tembrel
