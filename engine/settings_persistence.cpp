#include "engine/settings_persistence.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "platform/os_file.h"
#include "platform/program_folder.h"
#include "swf/picture_embed.h"

namespace tembrel {

namespace {

// Longest text each kind of value may hold: plain strings had a 260-byte
// buffer with its terminator; paths get the platform's path limit.
constexpr std::size_t kMaxStringChars = 259;
constexpr std::size_t kMaxPathChars = PATH_MAX - 1;

enum class Kind { Int, Colour, String, Path };

// The numbers a stored value may hold: one of `choices`, or when there are
// none, anything in lo..hi. Out of it, the value is not taken.
struct Allowed {
    std::span<const std::int32_t> choices;
    std::int64_t lo = INT32_MIN;
    std::int64_t hi = INT32_MAX;

    bool Has(std::int64_t v) const {
        if (choices.empty()) return v >= lo && v <= hi;
        return std::find(choices.begin(), choices.end(), v) != choices.end();
    }
};

constexpr Allowed Between(std::int64_t lo, std::int64_t hi) { return {{}, lo, hi}; }
constexpr Allowed OneOf(std::span<const std::int32_t> choices) { return {choices}; }
// Flags: any nonzero value means set, so every value is one.
constexpr Allowed kAnyFlag{};
// The channel count has its own rule (other values become stereo).
constexpr Allowed kAnyChannelCount{};

constexpr std::int32_t kOutputFolderCodes[] = {kOutputSameFolder, kOutputFolderPerFile, kOutputCustomFolder};
constexpr std::int32_t kTargetExistsCodes[] = {kTargetAutoRename, kTargetOverwrite, kTargetSkip};
constexpr std::int32_t kSoundTypeCodes[] = {kSoundStreaming, kSoundEvent};
constexpr std::int32_t kPlayerTypeCodes[] = {kPlayerSingle, kPlayerWithShell};
constexpr std::int32_t kTrimTypeCodes[] = {0, 1};
constexpr std::int32_t kPageRuffleCodes[] = {kPageRuffleBeside, kPageRuffleFromWeb};
// The sheet's millisecond spins run from 0 to the largest 32-bit value.
constexpr Allowed kMilliseconds = Between(0, INT32_MAX);
// A side outside this cannot be put into the picture template.
constexpr Allowed kPictureSide = Between(1, kMaxPicturePixels);
constexpr Allowed kColour = Between(0, kMaxColour);

struct Field {
    const char* name;
    Kind kind;
    std::int32_t ConversionSettings::*intField = nullptr;
    ColourRef ConversionSettings::*colourField = nullptr;
    std::string ConversionSettings::*textField = nullptr;
    Allowed allowed = {};
};

constexpr Field Int(const char* name, std::int32_t ConversionSettings::*f, Allowed allowed) {
    return {name, Kind::Int, f, nullptr, nullptr, allowed};
}
constexpr Field Colour(const char* name, ColourRef ConversionSettings::*f) {
    return {name, Kind::Colour, nullptr, f, nullptr, kColour};
}
constexpr Field Path(const char* name, std::string ConversionSettings::*f) {
    return {name, Kind::Path, nullptr, nullptr, f};
}

using S = ConversionSettings;

const Field kFolder{"Folder", Kind::String, nullptr, nullptr, &S::Folder};

// The stored options in load order. Saving uses the same list with
// CreateHtmlFile, the last, moved before BlankFrames.
const Field kOptions[] = {
    Int("CreateCtrlSWF", &S::CreateCtrlSWF, kAnyFlag),
    Int("SWFSoundType", &S::SWFSoundType, OneOf(kSoundTypeCodes)),
    Int("ButtonSWFType", &S::ButtonSWFType, OneOf(kPlayerTypeCodes)),
    Path("ShellPlayerSWF", &S::ShellPlayerSWF),
    Int("SWFInitPlay", &S::SWFInitPlay, kAnyFlag),
    Int("SWFLoopPlay", &S::SWFLoopPlay, kAnyFlag),
    Path("ControlSWF", &S::ControlSWF),
    Int("SWFOutputFolderOpt", &S::SWFOutputFolderOpt, OneOf(kOutputFolderCodes)),
    Path("SWFSpecifiedFolder", &S::SWFSpecifiedFolder),
    Path("JPEGFile", &S::JPEGFile),
    Int("JPEGWidth", &S::JPEGWidth, kPictureSide),
    Int("JPEGHeight", &S::JPEGHeight, kPictureSide),
    Int("TargetExistsOpt", &S::TargetExistsOpt, OneOf(kTargetExistsCodes)),
    Int("CreateDirs", &S::CreateDirs, kAnyFlag),
    Int("OutputFiles2MyDocuments", &S::OutputFiles2MyDocuments, kAnyFlag),
    Int("BrowseOutFolder", &S::BrowseOutFolder, kAnyFlag),
    Int("AutoDestMP3EncodingParam", &S::AutoDestMP3EncodingParam, kAnyFlag),
    Int("MP3BitRate", &S::MP3BitRate, OneOf(kMp3BitRates)),
    Int("MP3SampleRate", &S::MP3SampleRate, OneOf(kMp3SampleRates)),
    Int("MP3ChannelNum", &S::MP3ChannelNum, kAnyChannelCount),
    Int("ChangeVolume", &S::ChangeVolume, kAnyFlag),
    Int("VolumeCoef", &S::VolumeCoef, Between(kMinVolumeCoef, kMaxVolumeCoef)),
    Int("SkipFirstMs", &S::SkipFirstMs, kMilliseconds),
    Int("SkipLastMs", &S::SkipLastMs, kMilliseconds),
    Int("ConvertDuration", &S::ConvertDuration, kMilliseconds),
    Int("TrimLastType", &S::TrimLastType, OneOf(kTrimTypeCodes)),
    Int("SWFFrameRate", &S::SWFFrameRate, Between(kMinFrameRate, kMaxFrameRate)),
    Colour("SWFBkgColor", &S::SWFBkgColor),
    Colour("SWFBtnColor", &S::SWFBtnColor),
    Colour("TrackSWFBkgTopColor", &S::TrackSWFBkgTopColor),
    Colour("TrackSWFBkgBottomColor", &S::TrackSWFBkgBottomColor),
    Colour("TrackSWFBorderColor", &S::TrackSWFBorderColor),
    Int("BlankFrames", &S::BlankFrames, Between(0, kMaxBlankFrames)),
    Int("AddFileNameOnHtml", &S::AddFileNameOnHtml, kAnyFlag),
    Int("PageRuffleOpt", &S::PageRuffleOpt, OneOf(kPageRuffleCodes)),
    Int("CreateHtmlFile", &S::CreateHtmlFile, kAnyFlag),
};
constexpr std::size_t kOptionCount = sizeof kOptions / sizeof kOptions[0];

constexpr char kGradientName[] = "GC";
constexpr char kTrackName[] = "TBC";

// A number written by hand: decimal, with a minus sign where the field is
// signed, or 0x and up to eight hex digits giving the 32-bit pattern, as a
// stored dword would. Nothing else (no spaces, no sign on hex, nothing
// beyond 32 bits) is a number.
std::optional<std::int64_t> PlainNumber(std::string_view text, bool isSigned) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        if (text.size() > 8) return std::nullopt;
        std::uint32_t bits = 0;
        for (char c : text) {
            int d = c >= '0' && c <= '9' ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0) return std::nullopt;
            bits = (bits << 4) | static_cast<std::uint32_t>(d);
        }
        return isSigned ? std::int64_t{static_cast<std::int32_t>(bits)} : std::int64_t{bits};
    }
    const bool negative = isSigned && !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    const std::uint64_t limit = isSigned ? (negative ? std::uint64_t{1} << 31 : INT32_MAX) : UINT32_MAX;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > limit) return std::nullopt;
    }
    return negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
}

// The number a stored value holds for a field of the given signedness: a
// dword as the registry keeps it, or untagged text written by hand.
std::optional<std::int64_t> NumberOf(const StoredValue& value, bool isSigned) {
    if (value.type == StoredType::Dword)
        return isSigned ? std::int64_t{static_cast<std::int32_t>(value.dword)} : std::int64_t{value.dword};
    if (value.type == StoredType::Untagged) return PlainNumber(value.text, isSigned);
    return std::nullopt;
}

// Reads one value into its field when it has the field's type, fits, and is
// one the options sheet allows.
void ReadField(const SettingsStore& store, const Field& field, ConversionSettings& s) {
    auto value = store.Get(field.name);
    if (!value) return;
    switch (field.kind) {
    case Kind::Int:
    case Kind::Colour: {
        const bool isSigned = field.kind == Kind::Int;
        auto number = NumberOf(*value, isSigned);
        if (!number || !field.allowed.Has(*number)) return;
        if (isSigned) s.*field.intField = static_cast<std::int32_t>(*number);
        else s.*field.colourField = static_cast<ColourRef>(*number);
        break;
    }
    case Kind::String:
    case Kind::Path: {
        if (value->type != StoredType::String && value->type != StoredType::Untagged) return;
        // A string value ends at its first terminator, as a C string would.
        std::string text = value->text.substr(0, value->text.find('\0'));
        std::size_t limit = field.kind == Kind::String ? kMaxStringChars : kMaxPathChars;
        if (text.size() <= limit) s.*field.textField = std::move(text);
        break;
    }
    }
}

// A value the sheet does not allow, already in the record before loading,
// gives way to the default as well.
void CheckAllowed(const Field& field, ConversionSettings& s, const ConversionSettings& defaults) {
    if (field.kind == Kind::Int && !field.allowed.Has(s.*field.intField))
        s.*field.intField = defaults.*field.intField;
    if (field.kind == Kind::Colour && !field.allowed.Has(s.*field.colourField))
        s.*field.colourField = defaults.*field.colourField;
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

std::optional<std::int64_t> StoredNumber(const StoredValue& value, bool isSigned) { return NumberOf(value, isSigned); }

void LoadSettings(SettingsStore& store, ConversionSettings& settings, ColourFactors& factors,
                  const std::string& programFolder) {
    if (!store.OpenForReading()) return;
    const ConversionSettings defaults(programFolder);
    ReadField(store, kFolder, settings);
    for (const Field& field : kOptions) {
        ReadField(store, field, settings);
        CheckAllowed(field, settings, defaults);
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
