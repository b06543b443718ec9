#include "engine/settings_persistence.h"

#include <climits>
#include <cstring>
#include <string_view>

#include "platform/os_file.h"
#include "platform/program_folder.h"

namespace tembrel {

namespace {

// Longest text each kind of value may hold: plain strings had a 260-byte
// buffer with its terminator; paths get the platform's path limit.
constexpr std::size_t kMaxStringChars = 259;
constexpr std::size_t kMaxPathChars = PATH_MAX - 1;

enum class Kind { Int, Colour, String, Path };

struct Field {
    const char* name;
    Kind kind;
    std::int32_t ConversionSettings::*intField = nullptr;
    ColourRef ConversionSettings::*colourField = nullptr;
    std::string ConversionSettings::*textField = nullptr;
};

constexpr Field Int(const char* name, std::int32_t ConversionSettings::*f) { return {name, Kind::Int, f, nullptr, nullptr}; }
constexpr Field Colour(const char* name, ColourRef ConversionSettings::*f) { return {name, Kind::Colour, nullptr, f, nullptr}; }
constexpr Field Path(const char* name, std::string ConversionSettings::*f) { return {name, Kind::Path, nullptr, nullptr, f}; }

using S = ConversionSettings;

const Field kFolder{"Folder", Kind::String, nullptr, nullptr, &S::Folder};

// The stored options in load order. Saving uses the same list with
// CreateHtmlFile moved before BlankFrames (see kSaveOrder).
const Field kOptions[] = {
    Int("CreateCtrlSWF", &S::CreateCtrlSWF),
    Int("SWFSoundType", &S::SWFSoundType),
    Int("ButtonSWFType", &S::ButtonSWFType),
    Path("ShellPlayerSWF", &S::ShellPlayerSWF),
    Int("SWFInitPlay", &S::SWFInitPlay),
    Int("SWFLoopPlay", &S::SWFLoopPlay),
    Path("ControlSWF", &S::ControlSWF),
    Int("SWFOutputFolderOpt", &S::SWFOutputFolderOpt),
    Path("SWFSpecifiedFolder", &S::SWFSpecifiedFolder),
    Path("JPEGFile", &S::JPEGFile),
    Int("JPEGWidth", &S::JPEGWidth),
    Int("JPEGHeight", &S::JPEGHeight),
    Int("TargetExistsOpt", &S::TargetExistsOpt),
    Int("CreateDirs", &S::CreateDirs),
    Int("OutputFiles2MyDocuments", &S::OutputFiles2MyDocuments),
    Int("BrowseOutFolder", &S::BrowseOutFolder),
    Int("AutoDestMP3EncodingParam", &S::AutoDestMP3EncodingParam),
    Int("MP3BitRate", &S::MP3BitRate),
    Int("MP3SampleRate", &S::MP3SampleRate),
    Int("MP3ChannelNum", &S::MP3ChannelNum),
    Int("ChangeVolume", &S::ChangeVolume),
    Int("VolumeCoef", &S::VolumeCoef),
    Int("SkipFirstMs", &S::SkipFirstMs),
    Int("SkipLastMs", &S::SkipLastMs),
    Int("ConvertDuration", &S::ConvertDuration),
    Int("TrimLastType", &S::TrimLastType),
    Int("SWFFrameRate", &S::SWFFrameRate),
    Colour("SWFBkgColor", &S::SWFBkgColor),
    Colour("SWFBtnColor", &S::SWFBtnColor),
    Colour("TrackSWFBkgTopColor", &S::TrackSWFBkgTopColor),
    Colour("TrackSWFBkgBottomColor", &S::TrackSWFBkgBottomColor),
    Colour("TrackSWFBorderColor", &S::TrackSWFBorderColor),
    Int("BlankFrames", &S::BlankFrames),
    Int("AddFileNameOnHtml", &S::AddFileNameOnHtml),
    Int("CreateHtmlFile", &S::CreateHtmlFile),
};
constexpr std::size_t kOptionCount = sizeof kOptions / sizeof kOptions[0];

constexpr char kGradientName[] = "GC";
constexpr char kTrackName[] = "TBC";

// Reads one value into its field when it has the field's type and fits.
void ReadField(const SettingsStore& store, const Field& field, ConversionSettings& s) {
    auto value = store.Get(field.name);
    if (!value) return;
    switch (field.kind) {
    case Kind::Int:
        if (value->type == StoredType::Dword) s.*field.intField = static_cast<std::int32_t>(value->dword);
        break;
    case Kind::Colour:
        if (value->type == StoredType::Dword) s.*field.colourField = value->dword;
        break;
    case Kind::String:
    case Kind::Path: {
        if (value->type != StoredType::String) return;
        // A string value ends at its first terminator, as a C string would.
        std::string text = value->text.substr(0, value->text.find('\0'));
        std::size_t limit = field.kind == Kind::String ? kMaxStringChars : kMaxPathChars;
        if (text.size() <= limit) s.*field.textField = std::move(text);
        break;
    }
    }
}

void WriteField(SettingsStore& store, const Field& field, const ConversionSettings& s) {
    switch (field.kind) {
    case Kind::Int:
        store.Set(field.name, StoredValue::Dword(static_cast<std::uint32_t>(s.*field.intField)));
        break;
    case Kind::Colour:
        store.Set(field.name, StoredValue::Dword(s.*field.colourField));
        break;
    case Kind::String:
    case Kind::Path:
        store.Set(field.name, StoredValue::String(s.*field.textField));
        break;
    }
}

float FloatFromLittleEndian(const std::uint8_t* p) {
    std::uint32_t bits = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void PutFloat(std::vector<std::uint8_t>& out, float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

// Binary values are taken only whole: a shorter one would leave a float
// half-written.
bool ReadFloats(const SettingsStore& store, const char* name, float* out, std::size_t count) {
    auto value = store.Get(name);
    if (!value || value->type != StoredType::Binary || value->bytes.size() != count * 4) return false;
    for (std::size_t i = 0; i < count; ++i) out[i] = FloatFromLittleEndian(&value->bytes[i * 4]);
    return true;
}

// NaN fails the first comparison and becomes the lower bound.
float ClampFactor(float f, float upper) {
    if (!(f >= 0.0f)) return 0.0f;
    return f > upper ? upper : f;
}

void CheckAfterRead(std::string_view name, ConversionSettings& s, const std::string& programFolder) {
    if (name == "ShellPlayerSWF") {
        if (!FileExists(s.ShellPlayerSWF)) s.ShellPlayerSWF = programFolder + kDefaultShellPlayerSwf;
    } else if (name == "ControlSWF") {
        if (!FileExists(s.ControlSWF)) s.ControlSWF = programFolder + kDefaultControlSwf;
    } else if (name == "JPEGFile") {
        if (!FileExists(s.JPEGFile)) s.JPEGFile.clear();
    } else if (name == "MP3ChannelNum") {
        if (s.MP3ChannelNum != 1 && s.MP3ChannelNum != 2) s.MP3ChannelNum = 2;
    }
}

}  // namespace

void LoadSettings(SettingsStore& store, ConversionSettings& settings, ColourFactors& factors,
                  const std::string& programFolder) {
    if (!store.OpenForReading()) return;
    ReadField(store, kFolder, settings);
    for (const Field& field : kOptions) {
        ReadField(store, field, settings);
        CheckAfterRead(field.name, settings, programFolder);
    }
    ReadFloats(store, kGradientName, factors.GC.data(), factors.GC.size());
    for (float& f : factors.GC) f = ClampFactor(f, 1.0f);
    ReadFloats(store, kTrackName, &factors.TBC, 1);
    factors.TBC = ClampFactor(factors.TBC, 5.0f);
    store.Close();
}

void LoadSettings(SettingsStore& store, ConversionSettings& settings, ColourFactors& factors) {
    LoadSettings(store, settings, factors, ProgramFolder());
}

void SaveSettings(SettingsStore& store, const ConversionSettings& settings, unsigned parts,
                  const ColourFactors& factors) {
    if ((parts & (kSaveFolder | kSaveOptions)) == 0) return;
    if (!store.OpenForWriting()) return;
    if (parts & kSaveFolder) WriteField(store, kFolder, settings);
    if (parts & kSaveOptions) {
        // Same names as loading; CreateHtmlFile is written before BlankFrames.
        const Field* createHtml = &kOptions[kOptionCount - 1];
        for (std::size_t i = 0; i + 1 < kOptionCount; ++i) {
            if (std::string_view(kOptions[i].name) == "BlankFrames") WriteField(store, *createHtml, settings);
            WriteField(store, kOptions[i], settings);
        }
        std::vector<std::uint8_t> gc;
        for (float f : factors.GC) PutFloat(gc, f);
        store.Set(kGradientName, StoredValue::Binary(std::move(gc)));
        std::vector<std::uint8_t> tbc;
        PutFloat(tbc, factors.TBC);
        store.Set(kTrackName, StoredValue::Binary(std::move(tbc)));
    }
    store.Close();
}

}  // namespace tembrel
