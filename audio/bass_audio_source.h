#pragma once
// The audio source on the decoding library: every format FFmpeg decodes as a
// stream, and tracker modules as music rendered at the wanted rate. Also the
// library's start-up and shut-down.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_source.h"
#include "platform/decoding_library.h"

namespace tembrel {

class BassAudioSource : public AudioSource {
public:
    BassAudioSource() = default;
    ~BassAudioSource() override;
    BassAudioSource(const BassAudioSource&) = delete;
    BassAudioSource& operator=(const BassAudioSource&) = delete;

    void Close() override;
    // wantedRate: rate tracker music is rendered at (0: 44100); streams keep
    // their own rate.
    int Open(const std::string& path, int wantedRate) override;
    int Read(void* left, void* right) override;
    // Bytes the library has decoded so far.
    std::uint64_t GetPosition() const override;

    bool IsMusic() const { return isMusic_ != 0; }
    const std::string& Path() const { return path_; }

private:
    int isMusic_ = 0;
    decoding::Handle handle_ = 0;
    std::vector<std::uint8_t> blockBuffer_;
    std::uint32_t blockSize_ = 0;
    std::string path_;
};

enum class AudioDecodingStart {
    Ready,         // the program may start
    WrongVersion,  // the libraries do not fit: end without a message
    InitFailed,    // end after kAudioDecodingInitFailedMessage (stop icon)
};

// Text shown when the decoding library cannot be initialised.
inline constexpr const char* kAudioDecodingInitFailedMessage = "Failed to initialize the software (0x0002020).";

// Checks the run-time libraries and initialises the decoding library, then
// calls LoadDecoderPlugins. Shows nothing itself.
AudioDecodingStart InitAudioDecoding();
// The decoders are built in, so there is nothing to load: forms the "addons"
// folder path beside the executable (stored in *folder when given, with a
// trailing "/") and returns whether it could be formed.
bool LoadDecoderPlugins(std::string* folder = nullptr);
// Frees every channel still open; at program exit.
void ShutdownAudioDecoding();

}  // namespace tembrel
