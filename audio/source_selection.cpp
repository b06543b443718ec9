#include "audio/source_selection.h"

#include "audio/au_file_reader.h"
#include "audio/bass_audio_source.h"
#include "audio/source_type.h"
#include "audio/wav_file_reader.h"
#if __has_include("audio/aiff_file_reader.h")
#include "audio/aiff_file_reader.h"
#define TEMBREL_HAVE_AIFF_READER 1
#endif

namespace tembrel {
namespace {

std::unique_ptr<AudioSource> TryOpen(std::unique_ptr<AudioSource> source, const std::string& path, int rate) {
    if (source->Open(path, rate)) return source;
    return nullptr;
}

}  // namespace

std::unique_ptr<AudioSource> OpenSourceForType(int typeCode, const std::string& path, int rate) {
    if (typeCode == kSourceTypeAu) return TryOpen(std::make_unique<AuFileReader>(), path, rate);

    if (auto source = TryOpen(std::make_unique<BassAudioSource>(), path, rate)) return source;
    if (typeCode == kSourceTypeWav) return TryOpen(std::make_unique<WavFileReader>(), path, 0);
#ifdef TEMBREL_HAVE_AIFF_READER
    if (typeCode == kSourceTypeAiff) return TryOpen(std::make_unique<AiffFileReader>(), path, 0);
#endif
    return nullptr;
}

}  // namespace tembrel
