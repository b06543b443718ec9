#include "audio/au_file_reader.h"

#include <algorithm>
#include <cstring>

#include "audio/byte_order.h"
#include "audio/g711.h"
#include "audio/placeholder_length.h"
#include "audio/sample_convert.h"
#include "platform/decoding_library.h"

namespace tembrel {

namespace {

constexpr std::size_t kHeaderProbeBytes = 120;
constexpr std::uint32_t kMinimumDataOffset = 24;

struct EncodingInfo {
    int code;
    int fileBits;
};

const EncodingInfo kEncodings[] = {
    {kAuEncodingMuLaw, 8},    {kAuEncodingLinear8, 8},   {kAuEncodingLinear16, 16}, {kAuEncodingLinear24, 24},
    {kAuEncodingLinear32, 32}, {kAuEncodingFloat, 32},   {kAuEncodingDouble, 64},   {kAuEncodingG721, 4},
    {kAuEncodingG723_24, 3},  {kAuEncodingG723_40, 5},   {kAuEncodingALaw, 8},
};

}  // namespace

AuFileReader::AuFileReader() = default;

AuFileReader::~AuFileReader() { Close(); }

void AuFileReader::Close() {
    file_.Close();
    readRoutine_ = nullptr;
    sampleExpander_ = nullptr;
    dataOffset_ = 0;
    bytesInFile_ = 0;
    sizeLeftOpen_ = false;
    fileBits_ = encoding_ = 0;
    bigEndian_ = false;
    adpcmState_[0] = adpcmState_[1] = G72xState{};
    codeBits_ = 0;
    bitBuffer_ = 0;
    bitCount_ = 0;
    ResetFields();
}

bool AuFileReader::ParseHeader(const std::uint8_t* h, std::size_t size) {
    static const std::uint8_t kBig1[4] = {0x2E, 0x73, 0x6E, 0x64}, kBig2[4] = {0x2E, 0x73, 0x64, 0x00};
    static const std::uint8_t kLittle1[4] = {0x64, 0x6E, 0x73, 0x2E}, kLittle2[4] = {0x00, 0x64, 0x73, 0x2E};
    if (std::memcmp(h, kBig1, 4) == 0 || std::memcmp(h, kBig2, 4) == 0) {
        bigEndian_ = true;
    } else if (std::memcmp(h, kLittle1, 4) == 0 || std::memcmp(h, kLittle2, 4) == 0) {
        bigEndian_ = false;
    } else {
        return false;
    }
    dataOffset_ = Load32(h + 4, bigEndian_);
    if (dataOffset_ < kMinimumDataOffset) return false;
    std::uint32_t dataSize = Load32(h + 8, bigEndian_);
    std::uint32_t encoding = Load32(h + 12, bigEndian_);
    std::size_t rateAt = 16;
    if (encoding >= 28) {
        // Some writers shift the fields; look for the first plausible
        // encoding word and take rate and channels after it. Only words that
        // lie wholly in the bytes read count.
        bool found = false;
        for (std::size_t at = 13; at <= 32 && at + 12 <= size; ++at) {
            encoding = Load32(h + at, bigEndian_);
            if (encoding < 28) {
                rateAt = at + 4;
                found = true;
                break;
            }
        }
        if (!found) return false;
    }
    const EncodingInfo* info = nullptr;
    for (const auto& e : kEncodings) {
        if (static_cast<std::uint32_t>(e.code) == encoding) info = &e;
    }
    if (!info) return false;
    encoding_ = info->code;
    fileBits_ = info->fileBits;

    std::uint32_t rate = Load32(h + rateAt, bigEndian_);
    std::uint32_t channels = Load32(h + rateAt + 4, bigEndian_);
    sampleRate_ = (rate < 1000 || rate > 100000) ? 8000 : static_cast<int>(rate);
    channels_ = (channels == 1 || channels == 2) ? static_cast<int>(channels) : 1;
    sourceChannels_ = channels_;
    bitsPerSample_ = 16;
    bytesPerSample_ = 2;

    switch (encoding_) {
        case kAuEncodingMuLaw:
        case kAuEncodingALaw:
            sampleExpander_ = encoding_ == kAuEncodingMuLaw ? &MuLawToLinear : &ALawToLinear;
            readRoutine_ = &AuFileReader::ReadExpanded;
            break;
        case kAuEncodingG721:
        case kAuEncodingG723_24:
        case kAuEncodingG723_40:
            adpcmRate_ = encoding_ == kAuEncodingG721      ? G72xRate::G721_32
                         : encoding_ == kAuEncodingG723_24 ? G72xRate::G723_24
                                                           : G72xRate::G723_40;
            codeBits_ = G72xCodeBits(adpcmRate_);
            bitBuffer_ = 0;
            bitCount_ = 0;
            adpcmState_[0] = adpcmState_[1] = G72xState{};
            readRoutine_ = &AuFileReader::ReadAdpcm;
            break;
        default:
            readRoutine_ = &AuFileReader::ReadLinear;
            break;
    }

    std::int64_t fileSize = file_.Size();
    bytesInFile_ = fileSize > static_cast<std::int64_t>(dataOffset_) ? static_cast<std::uint64_t>(fileSize - dataOffset_) : 0;
    // "Size not given" and the stand-ins of other writers; 0 keeps its
    // meaning of no sound.
    sizeLeftOpen_ = dataSize != 0 && IsPlaceholderLength(dataSize);
    length_ = sizeLeftOpen_ ? bytesInFile_ : dataSize;
    return true;
}

int AuFileReader::Open(const std::string& path, int /*wantedRate*/) {
    Close();
    if (!file_.OpenForReading(path, &failureReason_)) return 0;
    std::uint8_t header[kHeaderProbeBytes] = {};
    std::int64_t got = file_.Read(header, sizeof header);
    if (got < 24 || !ParseHeader(header, static_cast<std::size_t>(got))) {
        Close();
        failureReason_ = decoding::kNotRecognisedReason;
        return 0;
    }
    if (file_.Seek(dataOffset_) < 0) {
        Close();
        return 0;
    }
    position_ = 0;
    const std::uint64_t bitsPerFrame = static_cast<std::uint64_t>(fileBits_) * static_cast<std::uint64_t>(channels_);
    std::uint64_t samples = length_ * 8 / bitsPerFrame;
    declaredSamples_ = sizeLeftOpen_ ? 0 : samples;
    holdableSamples_ = (bytesInFile_ * 8 + bitsPerFrame - 1) / bitsPerFrame;
    std::uint64_t seconds = samples / static_cast<std::uint64_t>(sampleRate_);
    duration_ = static_cast<int>(std::min<std::uint64_t>(seconds, 0x7FFFFFFF));
    if (duration_ > 0) {
        bitrate_ = static_cast<int>(length_ / (static_cast<std::uint64_t>(duration_) * 125));
    } else {
        bitrate_ = fileBits_ * channels_ * sampleRate_ / 1000;
    }
    std::size_t request = codeBits_ ? static_cast<std::size_t>(channels_) * codeBits_ * kSamplesPerBlock / 8
                                    : static_cast<std::size_t>(channels_) * (fileBits_ / 8) * kSamplesPerBlock;
    buffer_.assign(request, 0);
    return 1;
}

std::size_t AuFileReader::TakeBytes(std::size_t k) {
    if (!file_.IsOpen() || position_ >= length_) return 0;
    k = std::min(k, buffer_.size());
    if (position_ + k > length_) {
        k = static_cast<std::size_t>(length_ - position_);
        position_ = length_;
    } else {
        position_ += k;
    }
    std::int64_t got = file_.Read(buffer_.data(), k);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

int AuFileReader::Read(void* left, void* right) {
    if (!readRoutine_ || !left || (channels_ == 2 && !right)) return 0;
    return (this->*readRoutine_)(static_cast<std::int16_t*>(left), static_cast<std::int16_t*>(right));
}

std::int16_t AuFileReader::ConvertSample(const std::uint8_t* p) const {
    switch (encoding_) {
        case kAuEncodingLinear8:
            return static_cast<std::int16_t>(static_cast<std::int8_t>(p[0]) * 256);
        case kAuEncodingLinear16:
            return static_cast<std::int16_t>(bigEndian_ ? LoadBe16(p) : LoadLe16(p));
        case kAuEncodingLinear24:
            return static_cast<std::int16_t>(bigEndian_ ? LoadBe16(p) : LoadLe16(p + 1));
        case kAuEncodingLinear32:
            return Int32ToSample16(Load32(p, bigEndian_));
        case kAuEncodingFloat:
            return FloatToSample16(LoadFloat32(p, bigEndian_));
        case kAuEncodingDouble:
            return FloatToSample16(LoadFloat64(p, bigEndian_));
        default:
            return sampleExpander_(p[0]);
    }
}

int AuFileReader::ReadLinear(std::int16_t* left, std::int16_t* right) {
    const std::size_t sampleBytes = static_cast<std::size_t>(fileBits_ / 8);
    const std::size_t frameBytes = sampleBytes * static_cast<std::size_t>(channels_);
    std::size_t n = TakeBytes(frameBytes * kSamplesPerBlock);
    std::size_t frames = n / frameBytes;
    for (std::size_t f = 0; f < frames; ++f) {
        const std::uint8_t* p = buffer_.data() + f * frameBytes;
        left[f] = ConvertSample(p);
        if (channels_ == 2) right[f] = ConvertSample(p + sampleBytes);
    }
    return static_cast<int>(frames);
}

int AuFileReader::ReadExpanded(std::int16_t* left, std::int16_t* right) { return ReadLinear(left, right); }

int AuFileReader::ReadAdpcm(std::int16_t* left, std::int16_t* right) {
    std::size_t n = TakeBytes(static_cast<std::size_t>(channels_) * codeBits_ * kSamplesPerBlock / 8);
    std::size_t frames = n * 8 / (static_cast<std::size_t>(channels_) * codeBits_);
    std::size_t next = 0;
    const std::uint32_t mask = (1u << codeBits_) - 1;
    for (std::size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels_; ++c) {
            if (bitCount_ < codeBits_) {
                if (next >= n) return static_cast<int>(f);
                bitBuffer_ |= static_cast<std::uint32_t>(buffer_[next++]) << bitCount_;
                bitCount_ += 8;
            }
            int code = static_cast<int>(bitBuffer_ & mask);
            bitBuffer_ >>= codeBits_;
            bitCount_ -= codeBits_;
            std::int16_t value = G72xDecode(adpcmRate_, code, adpcmState_[c]);
            (c == 0 ? left : right)[f] = value;
        }
    }
    return static_cast<int>(frames);
}

}  // namespace tembrel
