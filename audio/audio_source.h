#pragma once
// The decoder interface every sound is read through: open a file, then take
// blocks of at most 1152 samples per channel as 8-bit unsigned or 16-bit
// signed little-endian PCM, split into a left and a right buffer.
#include <algorithm>
#include <cstdint>
#include <string>

namespace tembrel {

// Sound moves between stages in blocks of this many samples per channel.
constexpr int kSamplesPerBlock = 1152;
// Bytes a Read buffer must hold: one block of 16-bit samples.
constexpr int kBlockBufferBytes = kSamplesPerBlock * 2;

class AudioSource {
public:
    virtual ~AudioSource() = default;

    virtual void Close() = 0;
    // Nonzero on success. wantedRate is the rate tracker music is rendered
    // at (0: the library's default); streams and file readers ignore it.
    virtual int Open(const std::string& path, int wantedRate) = 0;
    int IsReady() const { return 1; }
    // Samples written per channel (at most 1152); 0 at end of data or on an
    // error. `right` is written only when GetChannels() is 2 and may be null
    // otherwise. Each buffer holds kBlockBufferBytes.
    virtual int Read(void* left, void* right) = 0;

    virtual std::uint64_t GetLength() const { return length_; }
    virtual std::uint64_t GetPosition() const { return position_; }
    virtual int GetDuration() const { return duration_; }
    virtual int GetSourceChannels() const { return sourceChannels_; }
    virtual int GetChannels() const { return channels_; }
    virtual int GetSampleRate() const { return sampleRate_; }
    virtual int GetBitsPerSample() const { return bitsPerSample_; }
    virtual int GetBitrate() const { return bitrate_; }
    // Samples per channel the file says it holds (0 when it does not say),
    // so that a file that ends sooner can be told from one that is short.
    std::uint64_t DeclaredSamples() const { return declaredSamples_; }
    // At most this many samples per channel fit in the file's bytes after
    // its header (0 when the reader cannot tell). A header's length may be
    // a stand-in or a lie; the file's size is neither.
    std::uint64_t HoldableSamples() const { return holdableSamples_; }
    // Takes both lengths from another, closer reading of the file's header
    // at the same rate, and no longer a duration than the file can hold.
    void TakeLengthsFrom(const AudioSource& header) {
        declaredSamples_ = header.declaredSamples_;
        holdableSamples_ = header.holdableSamples_;
        if (holdableSamples_ == 0 || sampleRate_ < 1) return;
        const std::uint64_t seconds = holdableSamples_ / static_cast<std::uint64_t>(sampleRate_);
        if (static_cast<std::uint64_t>(std::max(duration_, 0)) > seconds) {
            duration_ = static_cast<int>(seconds);
            bitrate_ = header.bitrate_;
        }
    }
    // After a failed Open: why, short and lower-case; may be empty when the
    // reader has nothing better to say than that it does not take the file.
    const std::string& FailureReason() const { return failureReason_; }

protected:
    // Every Open starts from zero.
    void ResetFields() {
        length_ = position_ = declaredSamples_ = holdableSamples_ = 0;
        duration_ = sampleRate_ = sourceChannels_ = channels_ = 0;
        bitsPerSample_ = bytesPerSample_ = bitrate_ = 0;
        failureReason_.clear();
    }

    std::uint64_t length_ = 0;    // bytes of sound data, all channels
    std::uint64_t position_ = 0;  // bytes of sound data consumed
    std::uint64_t declaredSamples_ = 0;  // per channel, as the header states
    std::uint64_t holdableSamples_ = 0;  // per channel, as the file's size allows
    int duration_ = 0;            // whole seconds, truncated
    int sampleRate_ = 0;
    int sourceChannels_ = 0;      // as the file declares
    int channels_ = 0;            // delivered: 1 or 2
    int bitsPerSample_ = 0;       // delivered: 8 or 16
    int bytesPerSample_ = 0;
    int bitrate_ = 0;             // kbit/s of the source file
    std::string failureReason_;
};

}  // namespace tembrel
