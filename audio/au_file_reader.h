#pragma once
// The program's own reader of Sun/NeXT audio files (".au", ".snd") in either
// byte order: linear PCM of 8/16/24/32 bits, float of 32/64 bits, µ-law,
// A-law and G.721 / G.723 ADPCM.
#include <cstdint>
#include <vector>

#include "audio/audio_source.h"
#include "audio/g72x.h"
#include "platform/os_file.h"

namespace tembrel {

constexpr int kAuEncodingMuLaw = 1;
constexpr int kAuEncodingLinear8 = 2;
constexpr int kAuEncodingLinear16 = 3;
constexpr int kAuEncodingLinear24 = 4;
constexpr int kAuEncodingLinear32 = 5;
constexpr int kAuEncodingFloat = 6;
constexpr int kAuEncodingDouble = 7;
constexpr int kAuEncodingG721 = 23;
constexpr int kAuEncodingG723_24 = 25;
constexpr int kAuEncodingG723_40 = 26;
constexpr int kAuEncodingALaw = 27;

class AuFileReader : public AudioSource {
public:
    AuFileReader();
    ~AuFileReader() override;
    AuFileReader(const AuFileReader&) = delete;
    AuFileReader& operator=(const AuFileReader&) = delete;

    void Close() override;
    // wantedRate is ignored. 1 on success, 0 when the file is refused.
    int Open(const std::string& path, int wantedRate) override;
    int Read(void* left, void* right) override;

    int GetEncoding() const { return encoding_; }
    bool IsBigEndian() const { return bigEndian_; }
    std::uint32_t GetDataOffset() const { return dataOffset_; }

private:
    using ReadRoutine = int (AuFileReader::*)(std::int16_t* left, std::int16_t* right);

    bool ParseHeader(const std::uint8_t* header, std::size_t size);
    std::size_t TakeBytes(std::size_t k);
    int ReadLinear(std::int16_t* left, std::int16_t* right);
    int ReadExpanded(std::int16_t* left, std::int16_t* right);
    int ReadAdpcm(std::int16_t* left, std::int16_t* right);
    std::int16_t ConvertSample(const std::uint8_t* p) const;

    ReadRoutine readRoutine_ = nullptr;
    std::int16_t (*sampleExpander_)(std::uint8_t) = nullptr;
    OsFile file_;
    std::vector<std::uint8_t> buffer_;
    std::uint32_t dataOffset_ = 0;
    std::uint64_t bytesInFile_ = 0;  // from the data's start to the end of the file
    bool sizeLeftOpen_ = false;      // the header's size is a stand-in: the data runs to the end
    int fileBits_ = 0;
    int encoding_ = 0;
    bool bigEndian_ = false;
    // One decoder state per channel: the codes of a stereo file are two
    // independent streams.
    G72xState adpcmState_[2];
    G72xRate adpcmRate_ = G72xRate::G721_32;
    int codeBits_ = 0;
    std::uint32_t bitBuffer_ = 0;
    int bitCount_ = 0;
};

}  // namespace tembrel
