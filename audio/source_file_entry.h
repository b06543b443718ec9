#pragma once
// One row of the file list: the source as probed when it was added, and the
// output paths that naming fills in for a conversion.
#include <cstdint>
#include <string>

#include "audio/source_type.h"

namespace tembrel {

struct SourceFileEntry {
    std::string sourcePath;
    std::int32_t channels = 0;
    std::int32_t sampleRate = 0;       // Hz
    std::int32_t durationSeconds = 0;
    std::int32_t bitrateKbps = 0;
    std::int32_t typeCode = kSourceTypeOther;
    std::string outputSwfPath;  // empty until naming sets it
    std::string htmlPath;
    std::string playerSwfPath;
    // Overwriting: the "_n" that sets the outputs' name apart from those of
    // an earlier file of the list (0: the file's own name).
    int listNameNumber = 0;
};

}  // namespace tembrel
