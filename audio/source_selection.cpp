#include "audio/source_selection.h"

#include "audio/aiff_file_reader.h"
#include "audio/au_file_reader.h"
#include "audio/bass_audio_source.h"
#include "audio/source_type.h"
#include "audio/wav_file_reader.h"

namespace tembrel {

std::unique_ptr<AudioSource> OpenAudioSource(const std::string& path, int typeCode, int rate) {
    if (typeCode == kSourceTypeAu) {
        auto reader = std::make_unique<AuFileReader>();
        if (!reader->Open(path, rate)) return nullptr;
        return reader;
    }
    auto library = std::make_unique<BassAudioSource>();
    if (library->Open(path, rate)) return library;
    library.reset();

    std::unique_ptr<AudioSource> fallback;
    if (typeCode == kSourceTypeWav) {
        fallback = std::make_unique<WavFileReader>();
    } else if (typeCode == kSourceTypeAiff) {
        fallback = std::make_unique<AiffFileReader>();
    } else {
        return nullptr;
    }
    if (!fallback->Open(path, 0)) return nullptr;
    return fallback;
}

}  // namespace tembrel
