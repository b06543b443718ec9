#pragma once
// The program's own reader of RIFF WAVE files: integer PCM of 8/16/24/32
// bits and IEEE float of 32/64 bits (each plain or extensible), A-law, µ-law,
// Microsoft ADPCM, IMA ADPCM and GSM 6.10.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "audio/audio_source.h"

namespace tembrel {

class Gsm610Decoder;
class ImaAdpcmDecoder;
class MsAdpcmDecoder;

constexpr int kWaveFormatPcm = 1;
constexpr int kWaveFormatMsAdpcm = 2;
constexpr int kWaveFormatFloat = 3;
constexpr int kWaveFormatALaw = 6;
constexpr int kWaveFormatMuLaw = 7;
constexpr int kWaveFormatImaAdpcm = 0x11;
constexpr int kWaveFormatGsm610 = 0x31;
constexpr int kWaveFormatExtensible = 0xFFFE;

class WavFileReader : public AudioSource {
public:
    WavFileReader();
    ~WavFileReader() override;
    WavFileReader(const WavFileReader&) = delete;
    WavFileReader& operator=(const WavFileReader&) = delete;

    void Close() override;
    // wantedRate is ignored. 1 on success, 0 when the file is not a WAV
    // file this reader takes.
    int Open(const std::string& path, int wantedRate) override;
    int Read(void* left, void* right) override;

    // Up to byteCount bytes of the sound data as stored; 0 once all of it
    // has been taken. Advances the position like Read.
    std::size_t ReadRaw(void* buffer, std::size_t byteCount);

    int GetFormatTag() const { return formatTag_; }
    int GetFileBits() const { return fileBits_; }

private:
    using ReadRoutine = int (WavFileReader::*)(void* left, void* right);

    bool WalkHeader();
    bool ReadFormatChunk(std::uint32_t chunkSize);
    bool ReadAdpcmExtension(std::uint32_t chunkSize);
    bool SkipBytes(std::int64_t count);
    bool ReadExact(void* buffer, std::size_t count);
    bool Resynchronise(std::uint8_t header[8]);
    void ComputeDataFields(std::uint32_t dataSize);
    bool ChooseRoutine();

    // A request for k bytes of sound data; bytes actually read.
    std::size_t TakeBytes(std::uint8_t* buffer, std::size_t k);
    int ReadPcm8(void* left, void* right);
    int ReadPcm16(void* left, void* right);
    int ReadPcm24(void* left, void* right);
    int ReadPcm32(void* left, void* right);
    int ReadFloat32(void* left, void* right);
    int ReadFloat64(void* left, void* right);
    template <typename Decode>
    int ReadWideSamples(void* left, void* right, std::size_t width, Decode decode);
    int ReadExpanded(void* left, void* right);
    int ReadBlocks(void* left, void* right);
    bool DecodeNextBlock();
    int DeliverBlockValues(std::int16_t* left, std::int16_t* right, int delivered);

    ReadRoutine readRoutine_ = nullptr;
    std::int16_t (*sampleExpander_)(std::uint8_t) = nullptr;
    std::FILE* file_ = nullptr;
    int formatTag_ = 0;
    // How the samples are coded: the format tag, or for an extensible file
    // the one its sub-format names (PCM or float).
    int codingTag_ = 0;
    int fileBits_ = 0;
    int blockAlign_ = 0;
    int samplesPerBlock_ = 0;
    bool formatSeen_ = false;
    std::unique_ptr<MsAdpcmDecoder> msAdpcm_;
    std::unique_ptr<ImaAdpcmDecoder> imaAdpcm_;
    std::unique_ptr<Gsm610Decoder> gsm_;
    std::vector<std::uint8_t> input_;
    std::vector<std::int16_t> output_;
    int inputBlockBytes_ = 0;
    int blockValues_ = 0;
    int blockCursor_ = 0;
    bool blocksEnded_ = false;
};

}  // namespace tembrel
