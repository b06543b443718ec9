#pragma once
// Every option that shapes a conversion, named as its stored value. What a
// run comes to is kept apart (engine/run_results.h).
#include <cstdint>
#include <string>

#include "swf/colour_ref.h"

namespace tembrel {

// Template and data files relative to the program folder.
inline constexpr char kDefaultControlSwf[] = "ControlSWF/square_gradient_3.swf";
inline constexpr char kDefaultShellPlayerSwf[] = "ControlSWF/ShellPlayer/square_gradient_3.swf";
inline constexpr char kEmptySwfName[] = "empty.swf";
inline constexpr char kPageTemplateName[] = "Template.htm";
inline constexpr char kSamplePictureName[] = "sample.jpg";
// The Ruffle a page plays its movie with, and the folder beside the pages
// that gets a copy of it.
inline constexpr char kPageRuffleFolderName[] = "tembrel-ruffle";

// Stored codes of the list choices.
enum : std::int32_t {
    kOutputSameFolder = 199,
    kOutputFolderPerFile = 299,
    kOutputCustomFolder = 399,
    kTargetAutoRename = 11,
    kTargetOverwrite = 22,
    kTargetSkip = 33,
    kSoundStreaming = 10,
    kSoundEvent = 20,
    kPlayerSingle = 11,
    kPlayerWithShell = 22,
    kPageRuffleBeside = 11,   // a copy beside the pages: plays offline and from disk
    kPageRuffleFromWeb = 22,  // the same version from the web: smaller output folders
};

// What the options sheet lets an option be. Loading takes nothing else, so
// a hand-edited or stale value cannot reach a conversion.
inline constexpr std::int32_t kMp3BitRates[] = {16, 24, 32, 40, 48, 56, 64, 80, 96,
                                                112, 128, 144, 160, 192, 224, 256, 320};
inline constexpr std::int32_t kMp3SampleRates[] = {11025, 22050, 44100};
inline constexpr std::int32_t kMinFrameRate = 1;
inline constexpr std::int32_t kMaxFrameRate = 120;
inline constexpr std::int32_t kMaxBlankFrames = 32767;
inline constexpr std::int32_t kMinVolumeCoef = 10;
inline constexpr std::int32_t kMaxVolumeCoef = 3000;
inline constexpr ColourRef kMaxColour = 0xFFFFFF;  // 0x00BBGGRR: the top byte is unused

struct ConversionSettings {
    // Defaults; paths start at programFolder (with its trailing "/").
    explicit ConversionSettings(const std::string& programFolder);
    // Defaults relative to the running executable's folder.
    ConversionSettings();

    std::string Folder;
    std::int32_t AutoDestMP3EncodingParam = 1;
    std::int32_t MP3BitRate = 24;
    std::int32_t MP3SampleRate = 22050;
    std::int32_t MP3ChannelNum = 1;
    std::int32_t ChangeVolume = 0;
    std::int32_t VolumeCoef = 100;
    std::int32_t SkipFirstMs = 0;
    std::int32_t SkipLastMs = 0;
    std::int32_t ConvertDuration = 0;
    std::int32_t TrimLastType = 0;
    std::int32_t SWFOutputFolderOpt = kOutputSameFolder;
    std::string SWFSpecifiedFolder;
    std::int32_t TargetExistsOpt = kTargetAutoRename;
    std::int32_t CreateDirs = 0;
    std::int32_t OutputFiles2MyDocuments = 1;
    std::int32_t BrowseOutFolder = 1;
    std::int32_t SWFFrameRate = 12;
    std::int32_t CreateCtrlSWF = 1;
    std::int32_t CreateHtmlFile = 1;
    std::int32_t SWFInitPlay = 1;
    std::int32_t SWFLoopPlay = 0;
    std::string ControlSWF;
    std::string EmptySwfPath;      // not stored
    std::string PageTemplatePath;  // not stored
    std::string PageRufflePath;    // not stored: the program's copy, a folder
    ColourRef SWFBkgColor = 0xFFFFFF;
    ColourRef SWFBtnColor = 0x00AA00;
    ColourRef TrackSWFBkgTopColor = 0xE8FFE8;
    ColourRef TrackSWFBkgBottomColor = 0x9DFF9D;
    ColourRef TrackSWFBorderColor = 0x008000;
    std::int32_t SWFSoundType = kSoundStreaming;
    std::int32_t ButtonSWFType = kPlayerSingle;
    std::string ShellPlayerSWF;
    std::int32_t BlankFrames = 0;
    std::int32_t AddFileNameOnHtml = 1;
    std::int32_t PageRuffleOpt = kPageRuffleBeside;
    std::int32_t JPEGHeight = 75;
    std::int32_t JPEGWidth = 100;
    std::string JPEGFile;
};

}  // namespace tembrel
