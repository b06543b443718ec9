// The program's own per-file steps: output naming, the decode-and-encode
// stage, the page writer and the "TBR" temporary files.
#include "engine/conversion_driver.h"

#if __has_include("engine/output_naming.h")
#include "engine/output_naming.h"
#define TEMBREL_HAVE_NAMING 1
#endif
#if __has_include("engine/page_writer.h")
#include "engine/page_writer.h"
#define TEMBREL_HAVE_PAGE 1
#endif
#if __has_include("engine/decode_and_encode.h")
#include "engine/decode_and_encode.h"
#define TEMBREL_HAVE_STAGE 1
#endif
#if __has_include("platform/temp_files.h")
#include "platform/temp_files.h"
#define TEMBREL_HAVE_TEMP_FILES 1
#endif

namespace tembrel {

ConversionSteps StandardConversionSteps() {
    ConversionSteps steps;
#ifdef TEMBREL_HAVE_NAMING
    steps.nameOutputs = [](const ConversionSettings& settings, SourceFileEntry& entry, std::string* status) {
        return NameOutputs(settings, entry, status);
    };
#endif
#ifdef TEMBREL_HAVE_PAGE
    steps.writePage = [](const ConversionSettings& settings, const SourceFileEntry& entry) {
        return WritePage(settings, entry);
    };
#endif
#ifdef TEMBREL_HAVE_STAGE
    steps.decodeAndEncode = [](ConversionSettings& settings, int typeCode, const std::string& source,
                               const std::string& mp3, ConversionUi* ui) {
        return DecodeAndEncode(settings, typeCode, source, mp3, ui) != 0;
    };
#endif
#ifdef TEMBREL_HAVE_TEMP_FILES
    steps.createTempFile = [] { return CreateUniqueTempFile("TBR"); };
#endif
    return steps;
}

}  // namespace tembrel
