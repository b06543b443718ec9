#pragma once
// Loading and saving the options under the "Options" key.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/colour_factors.h"
#include "engine/conversion_settings.h"
#include "platform/settings_store.h"

namespace tembrel {

// The number a stored value holds: a dword as the registry keeps it, or
// untagged text written by hand; nothing for other types or text that is
// no number of that signedness.
std::optional<std::int64_t> StoredNumber(const StoredValue& value, bool isSigned);

// Bits of SaveSettings' parts argument.
enum : unsigned {
    kSaveFolder = 4,   // the Add Folder command's folder
    kSaveOptions = 8,  // every other stored value, GC and TBC included
};

// Reads every stored value over the defaults already in settings and
// factors, then applies the load checks. A missing key leaves everything as
// it is; a missing, mistyped or over-long value, or a number the options
// sheet does not offer (a sample rate of 48000, a frame rate of 0), leaves
// its field as it is, and a field that holds such a number already gets its
// default. Flags take any value (nonzero means set). Stale template paths
// are replaced by the ones under programFolder.
void LoadSettings(SettingsStore& store, ConversionSettings& settings, ColourFactors& factors,
                  const std::string& programFolder);
void LoadSettings(SettingsStore& store, ConversionSettings& settings,
                  ColourFactors& factors = ProcessColourFactors());

// Writes the parts selected by kSaveFolder and kSaveOptions; nothing when the
// key cannot be created.
void SaveSettings(SettingsStore& store, const ConversionSettings& settings, unsigned parts,
                  const ColourFactors& factors = ProcessColourFactors());

}  // namespace tembrel
