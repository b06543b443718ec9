#include "engine/parallel_conversion.h"

#include <thread>

#include "engine/job_ui_bridge.h"

namespace tembrel {

int DefaultJobCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

int ConvertFilesInParallel(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                           const std::vector<int>& rows, ConversionUi* ui, int jobs, const ConversionSteps& steps) {
    return RunConversionJob(settings, entries, rows, ui, jobs, steps);
}

}  // namespace tembrel
