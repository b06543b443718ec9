#pragma once
// A conversion run in the window: the owner disabled, the conversion's
// progress window on top, the job on the engine's threads and its events
// shown on the GUI thread as they come; returns once the run has ended.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QString>

#include "audio/source_file_entry.h"
#include "engine/conversion_events.h"
#include "engine/conversion_settings.h"

class QWidget;

namespace tembrel::app {

struct ConversionRunResult {
    std::vector<FileOutcome> outcomes;        // per entry, in list order
    std::vector<SourceFileEntry> entries;     // output paths set or emptied
    RunSummary summary;
    std::uint32_t lastDurationSeconds = 0;    // of the last converted file
};

// A row's "SWF" column and, when there is one, why the file failed.
using RowStatusFn = std::function<void(int row, const QString& status, const QString& reason)>;

// Converts entries (rows[i] shows entries[i]) with up to `jobs` files at
// once (0: one per core). onRowStatus gets "Converting..." when a file
// starts and its outcome's status when it ends; a run refused for its
// template is told before the owner is disabled or the progress window
// shows, and changes no row (the reasons are in the outcomes). Messages go
// through ShowMessage, the SWF to reveal through Desktop(). listSources,
// when given, are the sources of the whole list the entries were picked from,
// in its order: overwritten names are then those of a run over all of it.
ConversionRunResult RunConversionWindow(QWidget* owner, const ConversionSettings& settings,
                                        const std::vector<SourceFileEntry>& entries, const std::vector<int>& rows,
                                        const RowStatusFn& onRowStatus, int jobs = 0,
                                        std::vector<std::string> listSources = {});

}  // namespace tembrel::app
