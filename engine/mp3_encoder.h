#pragma once
// Constant-bit-rate MP3 encoding into a file with LAME: no VBR header and no
// ID3 tags, so the file is nothing but MPEG audio frames.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct lame_global_struct;

namespace tembrel {

// Bytes of the buffer each LAME call encodes into.
constexpr int kMp3OutputBufferBytes = 147456;

class Mp3Encoder {
public:
    Mp3Encoder();
    ~Mp3Encoder();
    Mp3Encoder(const Mp3Encoder&) = delete;
    Mp3Encoder& operator=(const Mp3Encoder&) = delete;

    // Finishes a previous file, then opens path for writing ("wb") and makes
    // a LAME handle.
    bool Open(const std::string& path);
    void SetChannels(int channels);       // clamped to 1..2
    void SetInSampleRate(int hz);
    void SetMode(int mode);               // 0 stereo, 1 joint stereo, 3 mono; others give 0
    void SetOutSampleRate(int hz);
    void SetBitrate(int kbps);            // clamped to 8..320
    bool InitParams();
    // n samples per channel; right is null for a mono input.
    bool EncodeBlock(const std::int16_t* left, const std::int16_t* right, int n);
    // Flushes the encoder, closes the file and the handle. Harmless when
    // nothing is open. False when the last bytes could not be written.
    bool Finish();

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::FILE* stream_ = nullptr;
    lame_global_struct* lame_ = nullptr;
    std::vector<unsigned char> buffer_;
    // The stream's own buffer: a block encodes to a few hundred bytes, and
    // the library's default of one page would write them out every few
    // blocks.
    std::vector<char> streamBuffer_;
};

}  // namespace tembrel
