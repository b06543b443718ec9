#pragma once
// One row of the file list: the source as probed when it was added, and the
// output paths that naming fills in for a conversion.
#include <cstdint>
#include <string>

namespace tembrel {

// File-type codes by extension; they choose the reader for a source.
enum SourceTypeCode : std::int32_t {
    kSourceTypeWav = 2000,
    kSourceTypeAiff = 2100,
    kSourceTypeAu = 3000,
    kSourceTypeOther = 6000,
};

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
};

}  // namespace tembrel
