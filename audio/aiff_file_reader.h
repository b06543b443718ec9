#pragma once
// The program's own reader of AIFF and AIFC files: big- and little-endian
// integer PCM of 1 to 32 bits, 32/64-bit float, µ-law, A-law, Apple IMA4,
// GSM 6.10, unsigned 8-bit ("raw ") and DWVW, from 1, 2, 3, 4 or 6 channels.
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio_source.h"
#include "platform/os_file.h"

namespace tembrel {

class DwvwDecoder;
class Gsm610Decoder;

enum class AiffDecoderKind {
    None = 0,
    MuLaw = 1,
    ALaw = 2,
    Float32 = 3,
    Float64 = 4,
    IntegerPcm = 5,
    Ima4 = 6,
    Raw8 = 7,
    Gsm = 8,
    Dwvw = 9,
};

class AiffFileReader : public AudioSource {
public:
    AiffFileReader();
    ~AiffFileReader() override;
    AiffFileReader(const AiffFileReader&) = delete;
    AiffFileReader& operator=(const AiffFileReader&) = delete;

    void Close() override;
    // wantedRate is ignored. 1 on success, 0 when the file is refused.
    int Open(const std::string& path, int wantedRate) override;
    int Read(void* left, void* right) override;

    AiffDecoderKind GetDecoderKind() const { return kind_; }
    bool IsLittleEndian() const { return littleEndian_; }
    std::uint32_t GetSampleFrames() const { return sampleFrames_; }
    int GetFileBits() const { return fileBits_; }

private:
    using ReadRoutine = int (AiffFileReader::*)(std::uint8_t* left, std::uint8_t* right);

    bool WalkChunks();
    bool ParseComm(std::uint32_t size, bool compressed);
    bool ChooseRoutine();
    std::size_t TakeFrameBytes(std::size_t request);
    std::size_t RefillDwvw(std::uint8_t* buffer, std::size_t capacity);
    std::int16_t Convert(const std::uint8_t* p) const;
    int ReadFrames(std::uint8_t* left, std::uint8_t* right);
    int ReadIma4(std::uint8_t* left, std::uint8_t* right);
    int ReadGsm(std::uint8_t* left, std::uint8_t* right);
    int ReadDwvw(std::uint8_t* left, std::uint8_t* right);
    std::uint64_t FramesIn(std::uint64_t bytes) const;

    std::int16_t (*sampleExpander_)(std::uint8_t) = nullptr;
    ReadRoutine readRoutine_ = nullptr;
    std::uint32_t sampleFrames_ = 0;
    int fileBits_ = 0;
    int fileSampleBytes_ = 0;  // file bits / 8, rounded up
    int rightOffset_ = 0;      // bytes from a frame's start to its right sample
    AiffDecoderKind kind_ = AiffDecoderKind::None;
    bool littleEndian_ = false;
    int blockAlign_ = 0;       // IMA4: 34 bytes per channel
    std::unique_ptr<Gsm610Decoder> gsm_;
    std::vector<std::int16_t> gsmOutput_;
    std::unique_ptr<DwvwDecoder> dwvw_;
    std::vector<std::int32_t> dwvwOutput_;
    OsFile file_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t dataStart_ = 0;
    std::uint32_t dataBytes_ = 0;
    std::uint32_t remaining_ = 0;
    bool lengthStandIn_ = false;  // the sound's length was left open: it runs to the end of the file
};

}  // namespace tembrel
