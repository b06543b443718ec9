#pragma once
// One file's outputs, from the finished MP3 to their names: the builder
// writes the SWF (and the shell player) under temporary names beside their
// targets, the page is written the same way, and all are moved into place
// only when complete. A failure or Cancel before that leaves every file that
// stood at those names as it was; no temporary file stays behind.
#include <string>

#include "audio/source_file_entry.h"
#include "engine/conversion_driver.h"
#include "engine/conversion_settings.h"
#include "engine/page_ruffle.h"
#include "engine/run_results.h"
#include "swf/swf_template.h"

namespace tembrel {

// How one file ended: the row's status text on failure, and why.
struct FileResult {
    bool succeeded = false;
    std::string status;
    std::string reason;  // on success: what went wrong beside it (the page)
};

// Builds the named entry's outputs from mp3Path and moves them to the
// entry's names. With auto rename or skip chosen a name is never taken from
// a file that appeared meanwhile: the file is named again (renamed or
// skipped, as chosen) and the entry's paths follow. A page that cannot be
// written leaves the file converted, with the reason. A page that plays with
// the Ruffle beside it gets it (through ruffle, the run's) and its movies'
// carrying scripts before the page itself is placed.
FileResult BuildAndPlaceOutputs(const ConversionSettings& settings, const BuilderChoice& choice,
                                const ConversionSteps& steps, SourceFileEntry& entry, const std::string& mp3Path,
                                SwfTemplate& tmpl, const PreparedMovie& movie, const EncodedSound& sound,
                                PageRuffle& ruffle);

}  // namespace tembrel
