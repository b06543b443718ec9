#include "audio/bass_audio_source.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "platform/executable_path.h"

namespace tembrel {
namespace {

// Truncates toward zero, kept within int so that absurd header values cannot
// overflow.
int TruncatedToInt(double value) {
    if (!(value > 0)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(value);
}

// Splits interleaved frames of chans channels into the first two channels.
// The sample width is fixed at compile time so that each copy is a plain
// move: a library call per sample cost more than the rest of the read.
template <std::size_t Width>
void SplitFrames(const std::uint8_t* frame, std::size_t frames, std::size_t chans, std::uint8_t* left,
                 std::uint8_t* right) {
    for (std::size_t i = 0; i < frames; ++i, frame += chans * Width) {
        std::memcpy(left + i * Width, frame, Width);
        if (right) std::memcpy(right + i * Width, frame + Width, Width);
    }
}

}  // namespace

BassAudioSource::~BassAudioSource() { BassAudioSource::Close(); }

void BassAudioSource::Close() {
    if (handle_) {
        if (isMusic_) decoding::MusicFree(handle_);
        else decoding::StreamFree(handle_);
        handle_ = 0;
    }
    blockBuffer_.clear();
    blockBuffer_.shrink_to_fit();
    blockSize_ = 0;
    isMusic_ = 0;
}

int BassAudioSource::Open(const std::string& path, int wantedRate) {
    if (handle_) Close();
    ResetFields();

    std::string streamReason;
    handle_ = decoding::StreamCreateFile(path, &streamReason);
    if (!handle_) {
        std::string musicReason;
        handle_ = decoding::MusicLoad(path, wantedRate > 0 ? static_cast<std::uint32_t>(wantedRate) : 0,
                                      &musicReason);
        if (!handle_) {
            // The music loader only has something to say when the file is a
            // module or cannot be read at all; otherwise the stream's reason.
            failureReason_ = musicReason.empty() ? streamReason : musicReason;
            return 0;
        }
        isMusic_ = 1;
    }

    length_ = decoding::ChannelGetLength(handle_);
    if (length_ != 0) duration_ = TruncatedToInt(decoding::ChannelBytes2Seconds(handle_, length_));

    decoding::ChannelInfo info;
    decoding::ChannelGetInfo(handle_, &info);
    sampleRate_ = static_cast<int>(info.freq);
    sourceChannels_ = static_cast<int>(info.chans);
    channels_ = info.chans < 2 ? 1 : 2;
    bitsPerSample_ = (info.flags & decoding::kSample8Bits) ? 8 : 16;
    bytesPerSample_ = bitsPerSample_ / 8;
    // The library counts 16-bit samples of every channel it decodes.
    if (info.chans > 0) declaredSamples_ = length_ / (2u * info.chans);

    const double seconds = decoding::ChannelBytes2Seconds(handle_, length_);
    const std::uint64_t fileBytes = decoding::StreamGetFileSize(handle_);
    if (seconds > 0 && fileBytes != decoding::kNoFileSize) {
        bitrate_ = TruncatedToInt(static_cast<double>(fileBytes) / (seconds * 125.0) + 0.5);
    } else {
        bitrate_ = static_cast<int>(static_cast<unsigned>(bitsPerSample_) * info.freq * info.chans / 1000u);
    }

    blockSize_ = static_cast<std::uint32_t>(bytesPerSample_ * channels_ * kSamplesPerBlock);
    blockBuffer_.assign(blockSize_, 0);
    path_ = path;
    return 1;
}

int BassAudioSource::Read(void* left, void* right) {
    if (!handle_ || !left) return 0;
    const bool mono = sourceChannels_ < 2;
    void* target = mono ? left : blockBuffer_.data();
    const std::uint32_t n = decoding::ChannelGetData(handle_, target, blockSize_);
    if (n == decoding::kDataEnd) return 0;
    if (mono) return static_cast<int>(n / static_cast<std::uint32_t>(bytesPerSample_));

    // Of each frame the first two channels are kept, the rest dropped.
    const std::size_t chans = static_cast<std::size_t>(sourceChannels_);
    const std::size_t width = static_cast<std::size_t>(bytesPerSample_);
    const std::size_t frames = n / width / chans;
    auto* leftBytes = static_cast<std::uint8_t*>(left);
    auto* rightBytes = static_cast<std::uint8_t*>(right);
    if (width == 2)
        SplitFrames<2>(blockBuffer_.data(), frames, chans, leftBytes, rightBytes);
    else
        SplitFrames<1>(blockBuffer_.data(), frames, chans, leftBytes, rightBytes);
    return static_cast<int>(frames);
}

std::uint64_t BassAudioSource::GetPosition() const { return decoding::ChannelGetPosition(handle_); }

AudioDecodingStart InitAudioDecoding() {
    if ((decoding::GetVersion() >> 16) != decoding::kInterfaceVersion) return AudioDecodingStart::WrongVersion;
    if (!decoding::Init()) return AudioDecodingStart::InitFailed;
    LoadDecoderPlugins();
    return AudioDecodingStart::Ready;
}

bool LoadDecoderPlugins(std::string* folder) {
    const std::string executable = ExecutablePath();
    const std::size_t slash = executable.rfind('/');
    if (slash == std::string::npos) return false;
    // Every decoder is built into the decoding library: the folder is formed
    // where plug-ins would lie, and nothing is loaded from it.
    const std::string addons = executable.substr(0, slash + 1) + "addons/";
    if (addons.size() >= PATH_MAX) return false;
    if (folder) *folder = addons;
    return true;
}

void ShutdownAudioDecoding() { decoding::Free(); }

}  // namespace tembrel
