#pragma once
// A conversion run that decodes and encodes several files at once. The
// expensive part of a file (decode-and-encode into its temporary MP3) runs
// on worker threads, each file with its own copy of the settings for its
// results; naming, the builder, the page and every status stay on the
// calling thread in list order, exactly as ConvertFiles does them, so the
// run names and writes the same files with the same bytes and statuses.
#include <vector>

#include "audio/source_file_entry.h"
#include "engine/conversion_driver.h"

namespace tembrel {

// Number of files a run works on at once when none is asked for: the
// processor count (at least 1).
int DefaultJobCount();

// ConvertFiles with up to `jobs` files encoded at once (jobs < 2 or a single
// file: ConvertFiles itself). Calls into ui come from several threads, one at
// a time; per-file progress shows the file the run waits for. Cancel stops
// every file in work; files not yet named are left as they are.
int ConvertFilesInParallel(ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                           const std::vector<int>& rows, ConversionUi* ui, int jobs,
                           const ConversionSteps& steps = StandardConversionSteps());

}  // namespace tembrel
