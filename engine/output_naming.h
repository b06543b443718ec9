#pragma once
// Where a source's SWF, page and shell player go, decided before it is
// converted.
#include <string>

#include "audio/source_file_entry.h"
#include "engine/conversion_settings.h"

namespace tembrel {

inline constexpr char kStatusFailedFolder[] = "Failed to create folder \"%s\"";
inline constexpr char kStatusFailedFile[] = "Failed to create file \"%s\"";
inline constexpr char kStatusTargetIsSource[] =
    "Target file name is same as original file that can't be overwritten. Please output files to a custom folder.";
inline constexpr char kStatusTargetSkipped[] = "Target exists and skipped";

// Sets entry.outputSwfPath (and htmlPath / playerSwfPath, or empties them)
// and returns true when the SWF can be created there; otherwise returns
// false with the reason in *status and the entry's output paths empty.
// Reads SWFOutputFolderOpt, SWFSpecifiedFolder, CreateDirs, TargetExistsOpt,
// OutputFiles2MyDocuments, CreateHtmlFile, CreateCtrlSWF and ButtonSWFType.
bool NameOutputs(const ConversionSettings& settings, SourceFileEntry& entry, std::string* status);

// Makes sure a folder exists at path, creating every missing level. False
// when a level is taken by something that is not a folder or cannot be made.
bool EnsureFolder(const std::string& path);

}  // namespace tembrel
