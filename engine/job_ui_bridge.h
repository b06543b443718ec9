#pragma once
// A conversion job driven from the calling thread for a front end that has
// a ConversionUi: each event is handed to the calling thread, which shows it
// and pumps the front end's messages, as a window's own loop would. The
// engine waits until an event has been shown, except for per-file progress:
// that it hands over and goes on, and the next event waits for it instead,
// so that Cancel pressed while progress is shown reaches the file by the
// next step. The calling thread keeps pumping while it waits.
#include <string>
#include <vector>

#include "audio/source_file_entry.h"
#include "engine/conversion_driver.h"
#include "engine/conversion_events.h"
#include "engine/conversion_settings.h"
#include "engine/conversion_ui.h"

namespace tembrel {

// Runs the entries through a ConversionJob with up to `jobs` files encoded
// at once. rows[i] is the list row of entries[i]; a null ui makes the run
// silent and uncancellable. Each entry's output paths stay set when it
// converted and are emptied when it did not; *outcomes (when given)
// receives each file's outcome. namingList, when not empty, is the whole
// list the entries were taken from (ConversionJob::NameWithinList).
// Returns the number of files converted.
int RunConversionJob(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                     const std::vector<int>& rows, ConversionUi* ui, int jobs, const ConversionSteps& steps,
                     std::vector<FileOutcome>* outcomes = nullptr, std::vector<std::string> namingList = {});

}  // namespace tembrel
