// The program's own per-file steps: output naming, the decode-and-encode
// stage, the page writer and the "TBR" temporary files.
#include "engine/conversion_driver.h"
#include "engine/decode_and_encode.h"
#include "engine/output_naming.h"
#include "engine/page_writer.h"
#include "platform/temp_files.h"

namespace tembrel {

ConversionSteps StandardConversionSteps() {
    ConversionSteps steps;
    steps.nameOutputs = [](const ConversionSettings& settings, SourceFileEntry& entry, std::string* status,
                           std::string* reason) { return NameOutputs(settings, entry, status, reason); };
    steps.decodeAndEncode = [](const ConversionSettings& settings, int typeCode, const std::string& source,
                               const std::string& mp3, ConversionUi* ui, EncodedSound* sound, std::string* reason) {
        return DecodeAndEncode(settings, typeCode, source, mp3, ui, sound, reason);
    };
    steps.writePage = [](const ConversionSettings& settings, const SourceFileEntry& entry, const PageMovie& movie) {
        return WritePageInto(settings, entry, movie);
    };
    steps.createTempFile = [] { return CreateUniqueTempFile("TBR"); };
    return steps;
}

}  // namespace tembrel
