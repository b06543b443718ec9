#include "audio/source_selection.h"

#include "audio/aiff_file_reader.h"
#include "audio/au_file_reader.h"
#include "audio/bass_audio_source.h"
#include "audio/source_type.h"
#include "audio/wav_file_reader.h"

namespace tembrel {

namespace {

std::unique_ptr<AudioSource> Refused(std::string* reason, const std::string& why) {
    if (reason) *reason = why.empty() ? std::string(decoding::kNotRecognisedReason) : why;
    return nullptr;
}

}  // namespace

std::unique_ptr<AudioSource> OpenAudioSource(const std::string& path, int typeCode, int rate, std::string* reason) {
    if (typeCode == kSourceTypeAu) {
        auto reader = std::make_unique<AuFileReader>();
        if (!reader->Open(path, rate)) return Refused(reason, reader->FailureReason());
        return reader;
    }
    auto library = std::make_unique<BassAudioSource>();
    if (library->Open(path, rate)) {
        // The library takes the length of a WAV or AIFF whose data runs past
        // the end of the file from what is there, and a stand-in length as
        // real; the header read here says how much there should be (so that
        // a cut file can be told) and whether it says anything at all.
        if (typeCode == kSourceTypeWav || typeCode == kSourceTypeAiff) {
            std::unique_ptr<AudioSource> header;
            if (typeCode == kSourceTypeWav) header = std::make_unique<WavFileReader>();
            else header = std::make_unique<AiffFileReader>();
            if (header->Open(path, 0) && header->GetSampleRate() == library->GetSampleRate())
                library->TakeLengthsFrom(*header);
            header->Close();
        }
        return library;
    }
    const std::string libraryReason = library->FailureReason();
    library.reset();

    std::unique_ptr<AudioSource> fallback;
    if (typeCode == kSourceTypeWav) {
        fallback = std::make_unique<WavFileReader>();
    } else if (typeCode == kSourceTypeAiff) {
        fallback = std::make_unique<AiffFileReader>();
    } else {
        return Refused(reason, libraryReason);
    }
    // The library's reason names the field it found wrong; the fallback
    // reader's only says when the file could not be read at all.
    if (!fallback->Open(path, 0))
        return Refused(reason, fallback->FailureReason().empty() ? libraryReason : fallback->FailureReason());
    return fallback;
}

}  // namespace tembrel
