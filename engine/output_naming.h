#pragma once
// Where a source's SWF, page and shell player go, decided before it is
// converted.
#include <string>
#include <vector>

#include "audio/source_file_entry.h"
#include "engine/conversion_settings.h"

namespace tembrel {

inline constexpr char kStatusFailedFolder[] = "Failed to create folder \"%s\"";
inline constexpr char kStatusFailedFile[] = "Failed to create file \"%s\"";
inline constexpr char kStatusTargetIsSource[] =
    "Target file name is same as original file that can't be overwritten. Please output files to a custom folder.";
inline constexpr char kStatusTargetSkipped[] = "Target exists and skipped";

// Sets entry.outputSwfPath (and htmlPath / playerSwfPath, or empties them)
// and returns true when files can be created in that folder; otherwise
// returns false with the status text in *status, what lies behind it in
// *reason (when given) and the entry's output paths empty.
// A name is free only when none of the file's outputs (SWF, page, player)
// exists under it. A name too long for the folder once its longest ending is
// added (the player's, or the script that carries a movie for the page) is
// cut short to fit. Overwriting, the name gets the entry's listNameNumber
// (see ListNameNumbers) and replaces whatever stands there. Nothing is created or removed at the names themselves:
// the outputs are written beside them and moved there when complete.
// Reads SWFOutputFolderOpt, SWFSpecifiedFolder, CreateDirs, TargetExistsOpt,
// OutputFiles2MyDocuments, CreateHtmlFile, CreateCtrlSWF and ButtonSWFType.
bool NameOutputs(const ConversionSettings& settings, SourceFileEntry& entry, std::string* status,
                 std::string* reason = nullptr);

// For overwriting: the number ("_n") each source of a list adds to its
// outputs' name, 0 for none. A source whose name an earlier source of the
// list takes gets the number renaming would give it in a folder holding only
// the outputs of the sources before it, so the names are a function of the
// list alone: a run again, or any share of the list named from the whole
// list, gives every file the same name. Needs the names only: a source that
// turns out not to load still holds its name; one listed twice is one file.
std::vector<int> ListNameNumbers(const ConversionSettings& settings, const std::vector<std::string>& sources);

// Makes sure a folder exists at path, creating every missing level. False
// when a level is taken by something that is not a folder or cannot be made.
bool EnsureFolder(const std::string& path);

// While one lives, every folder EnsureFolder makes on this thread is noted
// in it, parents before their children, so that a run that ends early can
// take back the folders it made for files it never wrote.
class MadeFoldersLog {
public:
    MadeFoldersLog();
    ~MadeFoldersLog();
    MadeFoldersLog(const MadeFoldersLog&) = delete;
    MadeFoldersLog& operator=(const MadeFoldersLog&) = delete;

    std::vector<std::string> folders;

private:
    MadeFoldersLog* outer_;
};

}  // namespace tembrel
