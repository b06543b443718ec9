#pragma once
// A conversion run that decodes and encodes several files at once: the same
// job as ConvertFiles, with more workers. Files are named, built and placed
// in list order, so the run names and writes the same files with the same
// bytes and statuses as a one-at-a-time run.
#include <vector>

#include "audio/source_file_entry.h"
#include "engine/conversion_driver.h"

namespace tembrel {

// Number of files a run works on at once when none is asked for: the
// processor count (at least 1).
int DefaultJobCount();

// ConvertFiles with up to `jobs` files encoded at once. Every call into ui
// comes from the calling thread; per-file progress shows the file the run
// waits for. Cancel stops every file in work; files after the one in work
// are left as they are.
int ConvertFilesInParallel(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                           const std::vector<int>& rows, ConversionUi* ui, int jobs,
                           const ConversionSteps& steps = StandardConversionSteps());

}  // namespace tembrel
