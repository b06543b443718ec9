#include "engine/mp3_encoder.h"

#include <lame/lame.h>

#include <mutex>

namespace tembrel {
namespace {

// LAME fills process-wide lookup tables while it sets an encoder up; files
// encoded at once must not set theirs up at the same moment.
std::mutex& LameSetupLock() {
    static std::mutex lock;
    return lock;
}

constexpr std::size_t kStreamBufferBytes = 64 * 1024;

}  // namespace

Mp3Encoder::Mp3Encoder() : buffer_(kMp3OutputBufferBytes), streamBuffer_(kStreamBufferBytes) {}

Mp3Encoder::~Mp3Encoder() { Finish(); }

bool Mp3Encoder::Open(const std::string& path) {
    Finish();
    stream_ = std::fopen(path.c_str(), "wbe");
    if (!stream_) return false;
    std::setvbuf(stream_, streamBuffer_.data(), _IOFBF, streamBuffer_.size());
    path_ = path;
    std::lock_guard<std::mutex> guard(LameSetupLock());
    lame_ = lame_init();
    return lame_ != nullptr;
}

void Mp3Encoder::SetChannels(int channels) {
    if (channels < 1) channels = 1;
    if (channels > 2) channels = 2;
    if (lame_) lame_set_num_channels(lame_, channels);
}

void Mp3Encoder::SetInSampleRate(int hz) {
    if (lame_) lame_set_in_samplerate(lame_, hz);
}

void Mp3Encoder::SetMode(int mode) {
    if (mode != STEREO && mode != JOINT_STEREO && mode != MONO) mode = STEREO;
    if (lame_) lame_set_mode(lame_, static_cast<MPEG_mode>(mode));
}

void Mp3Encoder::SetOutSampleRate(int hz) {
    if (lame_) lame_set_out_samplerate(lame_, hz);
}

void Mp3Encoder::SetBitrate(int kbps) {
    if (kbps < 8) kbps = 8;
    if (kbps > 320) kbps = 320;
    if (lame_) lame_set_brate(lame_, kbps);
}

bool Mp3Encoder::InitParams() {
    if (!lame_) return false;
    lame_set_bWriteVbrTag(lame_, 0);
    lame_set_VBR(lame_, vbr_off);
    std::lock_guard<std::mutex> guard(LameSetupLock());
    return lame_init_params(lame_) != -1;
}

bool Mp3Encoder::EncodeBlock(const std::int16_t* left, const std::int16_t* right, int n) {
    if (!lame_ || !stream_) return false;
    const int bytes = lame_encode_buffer(lame_, left, right, n, buffer_.data(), kMp3OutputBufferBytes);
    if (bytes < 0) return false;
    if (bytes == 0) return true;
    return std::fwrite(buffer_.data(), 1, static_cast<std::size_t>(bytes), stream_) == static_cast<std::size_t>(bytes);
}

bool Mp3Encoder::Finish() {
    bool written = true;
    if (stream_) {
        if (lame_) {
            const int bytes = lame_encode_flush(lame_, buffer_.data(), kMp3OutputBufferBytes);
            if (bytes > 0)
                written = std::fwrite(buffer_.data(), 1, static_cast<std::size_t>(bytes), stream_) ==
                          static_cast<std::size_t>(bytes);
        }
        if (std::fclose(stream_) != 0) written = false;
        stream_ = nullptr;
    }
    if (lame_) {
        lame_close(lame_);
        lame_ = nullptr;
    }
    return written;
}

}  // namespace tembrel
