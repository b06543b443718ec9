#include "audio/wav_file_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "audio/byte_order.h"
#include "audio/reader_bitrate.h"
#include "audio/g711.h"
#include "audio/gsm610.h"
#include "audio/ima_adpcm.h"
#include "audio/ms_adpcm.h"
#include "audio/placeholder_length.h"
#include "audio/sample_convert.h"
#include "platform/os_file.h"

namespace tembrel {

namespace {

bool IsTag(const std::uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

constexpr int kMaxPcmChannels = 8;

// WAVE_FORMAT_EXTENSIBLE: cbSize, valid bits, channel mask, sub-format GUID.
constexpr int kExtensibleBytes = 24;
// Bytes 4..15 of every sub-format GUID that wraps a plain format tag
// (xxxxxxxx-0000-0010-8000-00aa00389b71).
constexpr std::uint8_t kSubFormatGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

WavFileReader::WavFileReader() = default;

WavFileReader::~WavFileReader() { Close(); }

void WavFileReader::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    input_.clear();
    input_.shrink_to_fit();
    output_.clear();
    output_.shrink_to_fit();
    msAdpcm_.reset();
    imaAdpcm_.reset();
    gsm_.reset();
    readRoutine_ = nullptr;
    sampleExpander_ = nullptr;
    formatTag_ = codingTag_ = fileBits_ = blockAlign_ = samplesPerBlock_ = 0;
    formatSeen_ = false;
    inputBlockBytes_ = blockValues_ = blockCursor_ = 0;
    blocksEnded_ = false;
    ResetFields();
}

int WavFileReader::Open(const std::string& path, int /*wantedRate*/) {
    Close();
    // Opened by descriptor first, so that a FIFO or device is refused
    // instead of waited on.
    const int fd = OpenRegularFileDescriptor(path, &failureReason_);
    if (fd < 0) return 0;
    file_ = ::fdopen(fd, "rb");
    if (!file_) {
        failureReason_ = CannotBeOpenedReason(errno);
        ::close(fd);
        return 0;
    }
    if (!WalkHeader()) {
        Close();
        return 0;
    }
    bytesPerSample_ = bitsPerSample_ / 8;
    if (!ChooseRoutine()) {
        Close();
        return 0;
    }
    return 1;
}

bool WavFileReader::ReadExact(void* buffer, std::size_t count) {
    return std::fread(buffer, 1, count, file_) == count;
}

bool WavFileReader::SkipBytes(std::int64_t count) {
    if (count <= 0) return true;
    return fseeko(file_, static_cast<off_t>(count), SEEK_CUR) == 0;
}

// Steps over whatever lies before the next chunk id (a pad byte after a
// chunk of odd size, or junk) and reads the next chunk header.
bool WavFileReader::Resynchronise(std::uint8_t header[8]) {
    int c;
    while ((c = std::fgetc(file_)) != EOF) {
        if (std::isalpha(c)) break;
    }
    if (c == EOF) return false;
    if (fseeko(file_, -1, SEEK_CUR) != 0) return false;
    return ReadExact(header, 8);
}

bool WavFileReader::WalkHeader() {
    std::rewind(file_);
    std::uint8_t head[12];
    if (!ReadExact(head, 8) || !IsTag(head, "RIFF")) return false;
    if (!ReadExact(head, 4) || !IsTag(head, "WAVE")) return false;
    std::uint8_t chunk[8];
    if (!ReadExact(chunk, 8)) return false;
    for (;;) {
        std::uint32_t size = LoadLe32(chunk + 4);
        if (IsTag(chunk, "fmt ")) {
            if (!ReadFormatChunk(size)) return false;
        } else if (IsTag(chunk, "data")) {
            if (!formatSeen_) return false;
            ComputeDataFields(size);
            return true;
        } else if (!SkipBytes(size)) {
            return false;
        }
        if (!Resynchronise(chunk)) return false;
    }
}

bool WavFileReader::ReadFormatChunk(std::uint32_t chunkSize) {
    // Fewer than 16 bytes cannot hold the fields every format needs.
    if (chunkSize < 16) return false;
    std::uint8_t head[16];
    if (!ReadExact(head, sizeof head)) return false;
    // A later format chunk replaces an earlier one whole, decoder included.
    msAdpcm_.reset();
    imaAdpcm_.reset();
    samplesPerBlock_ = 0;
    formatTag_ = LoadLe16(head);
    codingTag_ = formatTag_;
    int channels = LoadLe16(head + 2);
    std::uint32_t rate = LoadLe32(head + 4);
    blockAlign_ = LoadLe16(head + 12);
    fileBits_ = LoadLe16(head + 14);
    sourceChannels_ = channels;
    channels_ = channels > 2 ? 2 : channels;
    formatSeen_ = true;
    // A rate of 0 would divide the duration by zero; one beyond the signed
    // range is no real file either.
    if (rate == 0 || rate > 0x7FFFFFFF) return false;
    sampleRate_ = static_cast<int>(rate);
    if (channels < 1) return false;

    std::int64_t extensionBytes = 0;
    if (formatTag_ == kWaveFormatExtensible) {
        codingTag_ = kWaveFormatPcm;  // without its extension, as integer PCM
        if (chunkSize >= 16 + kExtensibleBytes) {
            std::uint8_t extension[kExtensibleBytes];
            if (!ReadExact(extension, sizeof extension)) return false;
            extensionBytes = kExtensibleBytes;
            if (LoadLe16(extension) >= kExtensibleBytes - 2) {
                // The sub-format GUID: a plain format tag in the standard frame.
                const std::uint8_t* guid = extension + 8;
                if (std::memcmp(guid + 4, kSubFormatGuidTail, sizeof kSubFormatGuidTail) != 0) return false;
                const std::uint32_t sub = LoadLe32(guid);
                if (sub != std::uint32_t{kWaveFormatPcm} && sub != std::uint32_t{kWaveFormatFloat}) return false;
                codingTag_ = static_cast<int>(sub);
            }
        }
    }

    switch (codingTag_) {
        case kWaveFormatPcm:
            if (fileBits_ != 8 && fileBits_ != 16 && fileBits_ != 24 && fileBits_ != 32) return false;
            if (channels > kMaxPcmChannels) return false;
            bitsPerSample_ = fileBits_ == 8 ? 8 : 16;
            break;
        case kWaveFormatFloat:
            if (fileBits_ != 32 && fileBits_ != 64) return false;
            if (channels > kMaxPcmChannels) return false;
            bitsPerSample_ = 16;
            break;
        case kWaveFormatALaw:
        case kWaveFormatMuLaw:
            // Only mono and stereo byte streams can be split into left/right.
            if (channels > 2) return false;
            bitsPerSample_ = 16;
            break;
        case kWaveFormatMsAdpcm:
        case kWaveFormatImaAdpcm:
        case kWaveFormatGsm610:
            if (channels > 2) return false;
            bitsPerSample_ = 16;
            return ReadAdpcmExtension(chunkSize);
        default:
            return false;
    }
    return SkipBytes(static_cast<std::int64_t>(chunkSize) - 16 - extensionBytes);
}

bool WavFileReader::ReadAdpcmExtension(std::uint32_t chunkSize) {
    const std::int64_t rest = static_cast<std::int64_t>(chunkSize) - 16;
    std::uint8_t field[4];
    if (!ReadExact(field, 4)) return false;
    int extensionSize = LoadLe16(field);
    samplesPerBlock_ = LoadLe16(field + 2);
    // A block align of 0 would divide the sample count by zero.
    if (blockAlign_ == 0) return false;

    if (formatTag_ == kWaveFormatMsAdpcm) {
        if (extensionSize < 4) return false;
        if (!ReadExact(field, 2)) return false;
        int count = LoadLe16(field);
        if (count == 0) return false;
        MsAdpcmFormat format;
        format.channels = sourceChannels_;
        format.blockAlign = blockAlign_;
        format.samplesPerBlock = samplesPerBlock_;
        format.coefficients.resize(static_cast<std::size_t>(count));
        for (auto& pair : format.coefficients) {
            if (!ReadExact(field, 4)) return false;
            pair[0] = static_cast<std::int16_t>(LoadLe16(field));
            pair[1] = static_cast<std::int16_t>(LoadLe16(field + 2));
        }
        if (!MsAdpcmDecoder::IsUsable(format)) return false;
        msAdpcm_ = std::make_unique<MsAdpcmDecoder>(std::move(format));
        return SkipBytes(rest - extensionSize - 2);
    }
    if (formatTag_ == kWaveFormatImaAdpcm) {
        if (extensionSize < 2) return false;
        ImaAdpcmFormat format{sourceChannels_, blockAlign_, samplesPerBlock_};
        if (!ImaAdpcmDecoder::IsUsable(format)) return false;
        imaAdpcm_ = std::make_unique<ImaAdpcmDecoder>(format);
        return SkipBytes(rest - 4);
    }
    // GSM 6.10: two frames of 160 samples in 65 bytes.
    if (blockAlign_ != kGsmWavBlockBytes || chunkSize < 20 || extensionSize < 2 ||
        samplesPerBlock_ != kGsmWavBlockSamples) {
        return false;
    }
    return SkipBytes(rest - 4);
}

void WavFileReader::ComputeDataFields(std::uint32_t dataSize) {
    // The bytes from here to the end of the file: all the sound there can be.
    off_t here = ftello(file_);
    std::int64_t total = -1;
    if (fseeko(file_, 0, SEEK_END) == 0) total = ftello(file_);
    fseeko(file_, here, SEEK_SET);
    const std::uint64_t inFile = (total > here && here >= 0) ? static_cast<std::uint64_t>(total - here) : 0;
    // An unfinished recording, or a file written to a pipe: the sound runs
    // to the end of the file.
    const bool placeholder = IsPlaceholderLength(dataSize);
    length_ = placeholder ? inFile : dataSize;
    position_ = 0;
    auto samplesIn = [&](std::uint64_t bytes) -> std::uint64_t {
        if (formatTag_ == kWaveFormatMsAdpcm || formatTag_ == kWaveFormatImaAdpcm)
            return bytes * static_cast<std::uint64_t>(samplesPerBlock_) / static_cast<std::uint64_t>(blockAlign_);
        if (formatTag_ == kWaveFormatGsm610) return bytes * kGsmWavBlockSamples / kGsmWavBlockBytes;
        if (fileBits_ != 0)
            return bytes * 8 / static_cast<std::uint64_t>(fileBits_) / static_cast<std::uint64_t>(sourceChannels_);
        return 0;
    };
    const std::uint64_t samples = samplesIn(length_);
    holdableSamples_ = samplesIn(inFile);
    // Block codecs: whole blocks only, as a last block may be partly filled.
    if (placeholder)
        declaredSamples_ = 0;
    else if (formatTag_ == kWaveFormatMsAdpcm || formatTag_ == kWaveFormatImaAdpcm)
        declaredSamples_ = length_ / static_cast<std::uint64_t>(blockAlign_) * static_cast<std::uint64_t>(samplesPerBlock_);
    else if (formatTag_ == kWaveFormatGsm610)
        declaredSamples_ = length_ / kGsmWavBlockBytes * kGsmWavBlockSamples;
    else
        declaredSamples_ = samples;
    std::uint64_t seconds = samples / static_cast<std::uint64_t>(sampleRate_);
    duration_ = static_cast<int>(std::min<std::uint64_t>(seconds, 0x7FFFFFFF));
    bitrate_ = StoredDataBitrate(length_, duration_, fileBits_, sourceChannels_, sampleRate_);
}

bool WavFileReader::ChooseRoutine() {
    const int channels = sourceChannels_;
    switch (codingTag_) {
        case kWaveFormatPcm:
            inputBlockBytes_ = (fileBits_ / 8) * channels * kSamplesPerBlock;
            readRoutine_ = fileBits_ == 8    ? &WavFileReader::ReadPcm8
                           : fileBits_ == 16 ? &WavFileReader::ReadPcm16
                           : fileBits_ == 24 ? &WavFileReader::ReadPcm24
                                             : &WavFileReader::ReadPcm32;
            break;
        case kWaveFormatFloat:
            inputBlockBytes_ = (fileBits_ / 8) * channels * kSamplesPerBlock;
            readRoutine_ = fileBits_ == 32 ? &WavFileReader::ReadFloat32 : &WavFileReader::ReadFloat64;
            break;
        case kWaveFormatALaw:
        case kWaveFormatMuLaw:
            inputBlockBytes_ = channels * kSamplesPerBlock;
            sampleExpander_ = formatTag_ == kWaveFormatALaw ? &ALawToLinear : &MuLawToLinear;
            readRoutine_ = &WavFileReader::ReadExpanded;
            break;
        case kWaveFormatMsAdpcm:
        case kWaveFormatImaAdpcm:
            inputBlockBytes_ = blockAlign_;
            blockValues_ = samplesPerBlock_ * channels;
            readRoutine_ = &WavFileReader::ReadBlocks;
            break;
        case kWaveFormatGsm610:
            gsm_ = std::make_unique<Gsm610Decoder>(true);
            if (!gsm_->IsValid()) return false;
            inputBlockBytes_ = kGsmWavBlockBytes;
            blockValues_ = kGsmWavBlockSamples;
            readRoutine_ = &WavFileReader::ReadBlocks;
            break;
        default:
            return false;
    }
    input_.assign(static_cast<std::size_t>(inputBlockBytes_), 0);
    output_.assign(static_cast<std::size_t>(blockValues_), 0);
    return true;
}

std::size_t WavFileReader::TakeBytes(std::uint8_t* buffer, std::size_t k) {
    if (!file_ || position_ >= length_) return 0;
    if (position_ + k > length_) {
        k = static_cast<std::size_t>(length_ - position_);
        position_ = length_;
    } else {
        position_ += k;
    }
    return std::fread(buffer, 1, k, file_);
}

std::size_t WavFileReader::ReadRaw(void* buffer, std::size_t byteCount) {
    return TakeBytes(static_cast<std::uint8_t*>(buffer), byteCount);
}

int WavFileReader::Read(void* left, void* right) {
    if (!file_ || !readRoutine_ || !left) return 0;
    if (channels_ == 2 && !right) return 0;
    return (this->*readRoutine_)(left, right);
}

namespace {

// Frames in n bytes, a partial last frame counted. The bytes missing from
// that frame are cleared so it never carries stale data.
std::size_t WholeFrames(std::uint8_t* data, std::size_t n, std::size_t frameBytes, std::size_t capacity) {
    std::size_t frames = (n + frameBytes - 1) / frameBytes;
    std::size_t end = std::min(frames * frameBytes, capacity);
    if (end > n) std::memset(data + n, 0, end - n);
    return frames;
}

}  // namespace

int WavFileReader::ReadPcm8(void* left, void* right) {
    const int channels = sourceChannels_;
    if (channels == 1) return static_cast<int>(TakeBytes(static_cast<std::uint8_t*>(left), kSamplesPerBlock));
    std::size_t n = TakeBytes(input_.data(), static_cast<std::size_t>(channels) * kSamplesPerBlock);
    if (n == 0) return 0;
    // A missing right sample of a partial frame is silence, 128.
    std::size_t frames = (n + channels - 1) / channels;
    if (frames * channels > n) std::memset(input_.data() + n, 128, frames * channels - n);
    auto* l = static_cast<std::uint8_t*>(left);
    auto* r = static_cast<std::uint8_t*>(right);
    for (std::size_t f = 0; f < frames; ++f) {
        l[f] = input_[f * channels];
        r[f] = input_[f * channels + 1];
    }
    return static_cast<int>(frames);
}

int WavFileReader::ReadPcm16(void* left, void* right) {
    const int channels = sourceChannels_;
    if (channels == 1) {
        std::size_t n = TakeBytes(static_cast<std::uint8_t*>(left), 2 * kSamplesPerBlock);
        return static_cast<int>(n / 2);
    }
    std::size_t n = TakeBytes(input_.data(), static_cast<std::size_t>(channels) * 2 * kSamplesPerBlock);
    if (n == 0) return 0;
    std::size_t frames = WholeFrames(input_.data(), n, 2u * channels, input_.size());
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    for (std::size_t f = 0; f < frames; ++f) {
        const std::uint8_t* p = input_.data() + f * 2 * channels;
        l[f] = static_cast<std::int16_t>(LoadLe16(p));
        r[f] = static_cast<std::int16_t>(LoadLe16(p + 2));
    }
    return static_cast<int>(frames);
}

int WavFileReader::ReadPcm24(void* left, void* right) {
    const int channels = sourceChannels_;
    std::size_t n = TakeBytes(input_.data(), static_cast<std::size_t>(channels) * 3 * kSamplesPerBlock);
    if (n == 0) return 0;
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    // The lowest byte of each 3-byte sample is dropped.
    if (channels == 1) {
        std::size_t samples = WholeFrames(input_.data(), n, 3, input_.size());
        for (std::size_t i = 0; i < samples; ++i) l[i] = static_cast<std::int16_t>(LoadLe16(input_.data() + 3 * i + 1));
        return static_cast<int>(samples);
    }
    std::size_t frames = WholeFrames(input_.data(), n, 3u * channels, input_.size());
    for (std::size_t f = 0; f < frames; ++f) {
        const std::uint8_t* p = input_.data() + f * 3 * channels;
        l[f] = static_cast<std::int16_t>(LoadLe16(p + 1));
        r[f] = static_cast<std::int16_t>(LoadLe16(p + 4));
    }
    return static_cast<int>(frames);
}

// 32-bit integer and 32/64-bit float samples share one shape: whole
// samples of `width` bytes, the first two channels of each frame kept.
template <typename Decode>
int WavFileReader::ReadWideSamples(void* left, void* right, std::size_t width, Decode decode) {
    const int channels = sourceChannels_;
    std::size_t n = TakeBytes(input_.data(), static_cast<std::size_t>(channels) * width * kSamplesPerBlock);
    if (n < width) return 0;
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    if (channels == 1) {
        std::size_t samples = n / width;
        for (std::size_t i = 0; i < samples; ++i) l[i] = decode(input_.data() + width * i);
        return static_cast<int>(samples);
    }
    std::size_t frames = WholeFrames(input_.data(), n, width * channels, input_.size());
    for (std::size_t f = 0; f < frames; ++f) {
        const std::uint8_t* p = input_.data() + f * width * channels;
        l[f] = decode(p);
        r[f] = decode(p + width);
    }
    return static_cast<int>(frames);
}

int WavFileReader::ReadPcm32(void* left, void* right) {
    return ReadWideSamples(left, right, 4, [](const std::uint8_t* p) { return Int32ToSample16(LoadLe32(p)); });
}

int WavFileReader::ReadFloat32(void* left, void* right) {
    return ReadWideSamples(left, right, 4,
                           [](const std::uint8_t* p) { return FloatToSample16(LoadFloat32(p, false)); });
}

int WavFileReader::ReadFloat64(void* left, void* right) {
    return ReadWideSamples(left, right, 8,
                           [](const std::uint8_t* p) { return FloatToSample16(LoadFloat64(p, false)); });
}

int WavFileReader::ReadExpanded(void* left, void* right) {
    const int channels = sourceChannels_;
    std::size_t n = TakeBytes(input_.data(), static_cast<std::size_t>(channels) * kSamplesPerBlock);
    auto* l = static_cast<std::int16_t*>(left);
    if (channels == 2) {
        auto* r = static_cast<std::int16_t*>(right);
        std::size_t frames = n / 2;
        for (std::size_t f = 0; f < frames; ++f) {
            l[f] = sampleExpander_(input_[2 * f]);
            r[f] = sampleExpander_(input_[2 * f + 1]);
        }
        return static_cast<int>(frames);
    }
    for (std::size_t i = 0; i < n; ++i) l[i] = sampleExpander_(input_[i]);
    return static_cast<int>(n);
}

bool WavFileReader::DecodeNextBlock() {
    std::size_t n = TakeBytes(input_.data(), static_cast<std::size_t>(inputBlockBytes_));
    if (n < static_cast<std::size_t>(inputBlockBytes_)) return false;  // a partial last block is dropped
    if (msAdpcm_) return msAdpcm_->DecodeBlock(input_.data(), output_.data());
    if (imaAdpcm_) {
        imaAdpcm_->DecodeBlock(input_.data(), output_.data());
        return true;
    }
    return gsm_ && gsm_->Decode(input_.data(), output_.data());
}

int WavFileReader::DeliverBlockValues(std::int16_t* left, std::int16_t* right, int delivered) {
    const bool stereo = formatTag_ == kWaveFormatGsm610 ? sourceChannels_ != 1 : sourceChannels_ == 2;
    if (stereo) {
        while (delivered < kSamplesPerBlock && blockCursor_ + 1 < blockValues_) {
            left[delivered] = output_[static_cast<std::size_t>(blockCursor_)];
            right[delivered] = output_[static_cast<std::size_t>(blockCursor_) + 1];
            blockCursor_ += 2;
            ++delivered;
        }
        if (blockCursor_ + 1 >= blockValues_) blockCursor_ = 0;
    } else {
        while (delivered < kSamplesPerBlock && blockCursor_ < blockValues_) {
            left[delivered++] = output_[static_cast<std::size_t>(blockCursor_++)];
        }
        if (blockCursor_ >= blockValues_) blockCursor_ = 0;
    }
    return delivered;
}

int WavFileReader::ReadBlocks(void* left, void* right) {
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    int delivered = 0;
    if (blockCursor_ > 0 && blockCursor_ < blockValues_) delivered = DeliverBlockValues(l, r, delivered);
    while (delivered < kSamplesPerBlock && !blocksEnded_) {
        if (!DecodeNextBlock()) {
            blocksEnded_ = true;  // a bad block ends the stream like its end does
            break;
        }
        blockCursor_ = 0;
        delivered = DeliverBlockValues(l, r, delivered);
    }
    return delivered;
}

}  // namespace tembrel
