#include "audio/aiff_file_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "audio/byte_order.h"
#include "audio/placeholder_length.h"
#include "audio/reader_bitrate.h"
#include "audio/dwvw.h"
#include "audio/g711.h"
#include "audio/gsm610.h"
#include "audio/ima4_adpcm.h"
#include "audio/sample_convert.h"

namespace tembrel {

namespace {

bool IsId(const std::uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// Sample frames in the blocks of a compressed sound, a last partial block
// counted in part. A sound chunk of up to 4 GiB can hold more frames than
// the 32-bit count of an AIFF file; the count then stops at the largest.
std::uint32_t FramesInBlocks(std::uint32_t dataBytes, int blockBytes, int framesPerBlock) {
    const double frames = std::trunc(static_cast<double>(dataBytes) / blockBytes * framesPerBlock);
    constexpr double kMostFrames = std::numeric_limits<std::uint32_t>::max();
    return frames >= kMostFrames ? std::numeric_limits<std::uint32_t>::max() : static_cast<std::uint32_t>(frames);
}

// The 80-bit IEEE 754 extended value of the sample rate.
double ExtendedToDouble(const std::uint8_t* p) {
    int exponent = ((p[0] & 0x7F) << 8) | p[1];
    std::uint32_t hiMant = LoadBe32(p + 2);
    std::uint32_t loMant = LoadBe32(p + 6);
    double value;
    if (exponent == 0 && hiMant == 0 && loMant == 0) {
        value = 0;
    } else if (exponent == 0x7FFF) {
        value = HUGE_VAL;
    } else {
        exponent -= 16383;
        value = std::ldexp(static_cast<double>(hiMant), exponent - 31) + std::ldexp(static_cast<double>(loMant), exponent - 63);
    }
    return (p[0] & 0x80) ? -value : value;
}

// Which sample of a frame is delivered as right, in samples from the frame
// start (the first channel is always left).
int RightSampleOf(int channels) {
    switch (channels) {
        case 2: case 3: case 4: return 1;
        case 6: return 3;
        default: return 0;
    }
}

struct Compression {
    const char* type;
    AiffDecoderKind kind;
    bool littleEndian;
    int fileBits;  // 0: as "COMM" says
};

const Compression kCompressions[] = {
    {"NONE", AiffDecoderKind::IntegerPcm, false, 0}, {"TWOS", AiffDecoderKind::IntegerPcm, false, 0},
    {"IN24", AiffDecoderKind::IntegerPcm, false, 0}, {"IN32", AiffDecoderKind::IntegerPcm, false, 0},
    {"SOWT", AiffDecoderKind::IntegerPcm, true, 0},  {"23NI", AiffDecoderKind::IntegerPcm, true, 0},
    {"ULAW", AiffDecoderKind::MuLaw, false, 8},      {"ALAW", AiffDecoderKind::ALaw, false, 8},
    {"FL32", AiffDecoderKind::Float32, false, 32},   {"FL64", AiffDecoderKind::Float64, false, 64},
    {"IMA4", AiffDecoderKind::Ima4, false, 4},       {"RAW ", AiffDecoderKind::Raw8, false, 8},
    {"GSM ", AiffDecoderKind::Gsm, false, 0},        {"DWVW", AiffDecoderKind::Dwvw, false, 0},
};

constexpr std::size_t kDwvwRefillBytes = 256;

}  // namespace

AiffFileReader::AiffFileReader() = default;

AiffFileReader::~AiffFileReader() { Close(); }

void AiffFileReader::Close() {
    gsm_.reset();
    gsmOutput_.clear();
    dwvw_.reset();
    dwvwOutput_.clear();
    file_.Close();
    sampleExpander_ = nullptr;
    readRoutine_ = nullptr;
    sampleFrames_ = 0;
    fileBits_ = fileSampleBytes_ = rightOffset_ = blockAlign_ = 0;
    kind_ = AiffDecoderKind::None;
    littleEndian_ = false;
    dataStart_ = 0;
    dataBytes_ = remaining_ = 0;
    lengthStandIn_ = false;
    ResetFields();
}

int AiffFileReader::Open(const std::string& path, int /*wantedRate*/) {
    Close();
    if (!file_.OpenForReading(path, &failureReason_)) return 0;
    std::int64_t size = file_.Size();
    length_ = size > 0 ? static_cast<std::uint64_t>(size) : 0;
    if (!WalkChunks() || !ChooseRoutine()) {
        Close();
        return 0;
    }
    const std::uint64_t inFile = length_ > dataStart_ ? length_ - dataStart_ : 0;
    if (lengthStandIn_) {
        dataBytes_ = remaining_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(inFile, 0xFFFFFFFFu));
        sampleFrames_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(FramesIn(dataBytes_), 0xFFFFFFFFu));
    }
    if (kind_ == AiffDecoderKind::Ima4) {
        sampleFrames_ = FramesInBlocks(dataBytes_, blockAlign_, 64);
    } else if (kind_ == AiffDecoderKind::Gsm) {
        sampleFrames_ = FramesInBlocks(dataBytes_, kGsmFrameBytes, 160);
    }
    // Block codecs: whole blocks only, as a last block may be partly filled.
    // In 64 bits: a mono IMA4 sound of more than 2.28 GB has more frames
    // than 32 bits count.
    if (lengthStandIn_)
        declaredSamples_ = 0;
    else if (kind_ == AiffDecoderKind::Ima4)
        declaredSamples_ = blockAlign_ > 0 ? std::uint64_t{dataBytes_} / static_cast<std::uint64_t>(blockAlign_) * 64u : 0;
    else if (kind_ == AiffDecoderKind::Gsm)
        declaredSamples_ = std::uint64_t{dataBytes_} / kGsmFrameBytes * 160u;
    else
        declaredSamples_ = sampleFrames_;
    holdableSamples_ = FramesIn(inFile);
    duration_ = static_cast<int>(sampleFrames_ / static_cast<std::uint32_t>(sampleRate_));
    bitrate_ = StoredDataBitrate(length_, duration_, fileBits_, sourceChannels_, sampleRate_);
    bytesPerSample_ = bitsPerSample_ / 8;
    if (file_.Seek(static_cast<std::int64_t>(dataStart_)) < 0) {
        Close();
        return 0;
    }
    position_ = dataStart_;
    return 1;
}

bool AiffFileReader::WalkChunks() {
    std::uint8_t head[12];
    if (file_.Read(head, 12) != 12 || !IsId(head, "FORM")) return false;
    bool compressed;
    if (IsId(head + 8, "AIFF")) {
        compressed = false;
    } else if (IsId(head + 8, "AIFC")) {
        compressed = true;
    } else {
        return false;
    }
    bool commSeen = false, ssndSeen = false;
    std::uint8_t chunk[8];
    while (file_.Read(chunk, 8) == 8) {
        std::uint32_t size = LoadBe32(chunk + 4);
        std::int64_t start = file_.Position();
        if (start < 0) return false;
        // Chunks are padded to an even size.
        std::int64_t next = start + static_cast<std::int64_t>(size) + (size & 1);
        if (IsId(chunk, "COMM")) {
            if (!ParseComm(size, compressed)) return false;
            commSeen = true;
            if (ssndSeen) return true;
        } else if (IsId(chunk, "SSND")) {
            const bool standInSize = IsPlaceholderLength(size);
            if (size < 8 && !standInSize) return false;
            std::uint8_t fields[8];
            if (file_.Read(fields, 8) != 8) return false;
            std::uint32_t offset = LoadBe32(fields);
            // An offset past the chunk's end would make the size wrap.
            dataBytes_ = offset <= size - 8 ? size - 8 - offset : 0;
            dataStart_ = static_cast<std::uint64_t>(start) + 8 + offset;
            remaining_ = dataBytes_;
            ssndSeen = true;
            // A length left open: the sound runs to the end of the file,
            // and no chunk can follow it.
            lengthStandIn_ = standInSize || (dataBytes_ != 0 && IsPlaceholderLength(dataBytes_));
            if (commSeen || lengthStandIn_) return commSeen;
        }
        if (file_.Seek(next) < 0) return false;
    }
    return false;
}

bool AiffFileReader::ParseComm(std::uint32_t size, bool compressed) {
    if (compressed ? size < 22 : size != 18) return false;
    std::uint8_t c[22] = {};
    const std::size_t want = compressed ? 22 : 18;
    if (file_.Read(c, want) != static_cast<std::int64_t>(want)) return false;

    int channels = LoadBe16(c);
    if (channels != 1 && channels != 2 && channels != 3 && channels != 4 && channels != 6) return false;
    sourceChannels_ = channels;
    channels_ = channels == 1 ? 1 : 2;
    sampleFrames_ = LoadBe32(c + 2);
    if (sampleFrames_ == 0 || sampleFrames_ == 0xFFFFFFFF) sampleFrames_ = 1;
    fileBits_ = LoadBe16(c + 6);
    double rate = ExtendedToDouble(c + 8);
    // A rate that truncates to 0, is negative or does not fit an int would
    // divide by zero or overflow later: no real file has one.
    if (!(rate >= 1.0) || rate > 2147483647.0) return false;
    sampleRate_ = static_cast<int>(rate);

    kind_ = AiffDecoderKind::IntegerPcm;
    littleEndian_ = false;
    if (!compressed) return true;
    char type[5] = {};
    for (int i = 0; i < 4; ++i) type[i] = static_cast<char>(std::toupper(c[18 + i]));
    const Compression* found = nullptr;
    for (const auto& entry : kCompressions) {
        if (std::memcmp(entry.type, type, 4) == 0) found = &entry;
    }
    if (!found) return false;
    kind_ = found->kind;
    littleEndian_ = found->littleEndian;
    if (found->fileBits) fileBits_ = found->fileBits;
    return true;
}

bool AiffFileReader::ChooseRoutine() {
    const bool twoOrFewer = sourceChannels_ <= 2;
    bitsPerSample_ = 16;
    readRoutine_ = &AiffFileReader::ReadFrames;
    switch (kind_) {
        case AiffDecoderKind::IntegerPcm:
            // Width 0 would make every frame zero bytes long.
            if (fileBits_ < 1 || fileBits_ > 32) return false;
            if (fileBits_ <= 8) bitsPerSample_ = 8;
            break;
        case AiffDecoderKind::Raw8:
            bitsPerSample_ = 8;
            break;
        case AiffDecoderKind::MuLaw:
        case AiffDecoderKind::ALaw:
            sampleExpander_ = kind_ == AiffDecoderKind::MuLaw ? &MuLawToLinear : &ALawToLinear;
            break;
        case AiffDecoderKind::Float32:
        case AiffDecoderKind::Float64:
            break;
        case AiffDecoderKind::Ima4:
            // Packets of more channels than two have no left/right meaning here.
            if (!twoOrFewer) return false;
            blockAlign_ = kIma4PacketBytes * sourceChannels_;
            readRoutine_ = &AiffFileReader::ReadIma4;
            break;
        case AiffDecoderKind::Gsm:
            if (!twoOrFewer) return false;
            gsm_ = std::make_unique<Gsm610Decoder>(false);
            if (!gsm_->IsValid()) return false;
            gsmOutput_.assign(kGsmFrameSamples, 0);
            readRoutine_ = &AiffFileReader::ReadGsm;
            break;
        case AiffDecoderKind::Dwvw:
            if (fileBits_ < 8 || fileBits_ > 24) return false;
            if (!twoOrFewer) return false;
            dwvw_ = std::make_unique<DwvwDecoder>(
                fileBits_, [this](std::uint8_t* buffer, std::size_t capacity) { return RefillDwvw(buffer, capacity); });
            dwvwOutput_.assign(static_cast<std::size_t>(sourceChannels_) * kSamplesPerBlock, 0);
            readRoutine_ = &AiffFileReader::ReadDwvw;
            break;
        default:
            return false;
    }
    fileSampleBytes_ = (fileBits_ + 7) / 8;
    rightOffset_ = RightSampleOf(sourceChannels_) * fileSampleBytes_;
    std::size_t bufferBytes = static_cast<std::size_t>(sourceChannels_) * static_cast<std::size_t>(fileSampleBytes_) * kSamplesPerBlock;
    bufferBytes = std::max<std::size_t>({bufferBytes, static_cast<std::size_t>(blockAlign_), kGsmFrameBytes, kDwvwRefillBytes});
    buffer_.assign(bufferBytes, 0);
    return true;
}

// Frames in `bytes` of sound data, a last partial frame or block counted;
// 0 when the coding does not tell (DWVW's words vary in length).
std::uint64_t AiffFileReader::FramesIn(std::uint64_t bytes) const {
    switch (kind_) {
        case AiffDecoderKind::Ima4:
            return blockAlign_ > 0 ? (bytes * 64u + static_cast<std::uint64_t>(blockAlign_) - 1) / static_cast<std::uint64_t>(blockAlign_) : 0;
        case AiffDecoderKind::Gsm:
            return (bytes * 160u + kGsmFrameBytes - 1) / kGsmFrameBytes;
        case AiffDecoderKind::Dwvw:
            return 0;
        default: {
            const std::uint64_t frameBytes = static_cast<std::uint64_t>(sourceChannels_) * static_cast<std::uint64_t>(fileSampleBytes_);
            return frameBytes > 0 ? (bytes + frameBytes - 1) / frameBytes : 0;
        }
    }
}

int AiffFileReader::Read(void* left, void* right) {
    if (!readRoutine_ || !left || (channels_ == 2 && !right)) return 0;
    return (this->*readRoutine_)(static_cast<std::uint8_t*>(left), static_cast<std::uint8_t*>(right));
}

std::size_t AiffFileReader::TakeFrameBytes(std::size_t request) {
    request = std::min<std::size_t>({request, remaining_, buffer_.size()});
    remaining_ -= static_cast<std::uint32_t>(request);
    std::int64_t got = file_.Read(buffer_.data(), request);
    if (got <= 0) return 0;
    position_ += static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
}

std::int16_t AiffFileReader::Convert(const std::uint8_t* p) const {
    switch (kind_) {
        case AiffDecoderKind::MuLaw:
        case AiffDecoderKind::ALaw:
            return sampleExpander_(p[0]);
        case AiffDecoderKind::Float32:
            return FloatToSample16(LoadFloat32(p, !littleEndian_));
        case AiffDecoderKind::Float64:
            return FloatToSample16(LoadFloat64(p, !littleEndian_));
        default:
            break;
    }
    // Integer PCM of 9 to 32 bits: the two most significant bytes.
    const int n = fileSampleBytes_;
    return littleEndian_ ? static_cast<std::int16_t>(LoadLe16(p + n - 2)) : static_cast<std::int16_t>(LoadBe16(p));
}

int AiffFileReader::ReadFrames(std::uint8_t* left, std::uint8_t* right) {
    if (remaining_ == 0) return 0;
    const std::size_t frameBytes = static_cast<std::size_t>(sourceChannels_) * static_cast<std::size_t>(fileSampleBytes_);
    std::size_t n = TakeFrameBytes(frameBytes * kSamplesPerBlock);
    std::size_t frames = n / frameBytes;
    if (frames == 0) return 0;
    const bool stereo = channels_ == 2;
    if (bitsPerSample_ == 8) {
        // Signed PCM is delivered unsigned; "raw " data already are.
        const std::uint8_t flip = kind_ == AiffDecoderKind::Raw8 ? 0x00 : 0x80;
        for (std::size_t f = 0; f < frames; ++f) {
            const std::uint8_t* p = buffer_.data() + f * frameBytes;
            left[f] = p[0] ^ flip;
            if (stereo) right[f] = p[rightOffset_] ^ flip;
        }
        return static_cast<int>(frames);
    }
    auto* l = reinterpret_cast<std::int16_t*>(left);
    auto* r = reinterpret_cast<std::int16_t*>(right);
    for (std::size_t f = 0; f < frames; ++f) {
        const std::uint8_t* p = buffer_.data() + f * frameBytes;
        l[f] = Convert(p);
        if (stereo) r[f] = Convert(p + rightOffset_);
    }
    return static_cast<int>(frames);
}

int AiffFileReader::ReadIma4(std::uint8_t* left, std::uint8_t* right) {
    const auto block = static_cast<std::uint32_t>(blockAlign_);
    if (remaining_ < block) return 0;
    remaining_ -= block;
    std::int64_t got = file_.Read(buffer_.data(), block);
    if (got != static_cast<std::int64_t>(block)) return 0;
    position_ += block;
    DecodeIma4Packet(buffer_.data(), reinterpret_cast<std::int16_t*>(left));
    if (sourceChannels_ == 2) DecodeIma4Packet(buffer_.data() + kIma4PacketBytes, reinterpret_cast<std::int16_t*>(right));
    return kIma4PacketSamples;
}

int AiffFileReader::ReadGsm(std::uint8_t* left, std::uint8_t* right) {
    if (remaining_ < kGsmFrameBytes) return 0;
    std::int64_t got = file_.Read(buffer_.data(), kGsmFrameBytes);
    if (got != kGsmFrameBytes) return 0;
    remaining_ -= kGsmFrameBytes;
    position_ += kGsmFrameBytes;
    if (!gsm_->Decode(buffer_.data(), gsmOutput_.data())) return 0;
    auto* l = reinterpret_cast<std::int16_t*>(left);
    if (sourceChannels_ == 1) {
        std::copy(gsmOutput_.begin(), gsmOutput_.end(), l);
        return kGsmFrameSamples;
    }
    auto* r = reinterpret_cast<std::int16_t*>(right);
    for (int i = 0; i < kGsmFrameSamples / 2; ++i) {
        l[i] = gsmOutput_[static_cast<std::size_t>(2 * i)];
        r[i] = gsmOutput_[static_cast<std::size_t>(2 * i + 1)];
    }
    return kGsmFrameSamples / 2;
}

std::size_t AiffFileReader::RefillDwvw(std::uint8_t* buffer, std::size_t capacity) {
    std::size_t request = std::min<std::size_t>(capacity, remaining_);
    if (request == 0) return 0;
    remaining_ -= static_cast<std::uint32_t>(request);
    std::int64_t got = file_.Read(buffer, request);
    if (got <= 0) return 0;
    position_ += static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
}

int AiffFileReader::ReadDwvw(std::uint8_t* left, std::uint8_t* right) {
    // The decoder may still hold bits of the last refill when no sound bytes
    // remain in the file, so it alone decides when the data are used up.
    int values = dwvw_->Decode(dwvwOutput_.data(), sourceChannels_ * kSamplesPerBlock);
    if (values <= 0) return 0;
    auto* l = reinterpret_cast<std::int16_t*>(left);
    if (sourceChannels_ == 1) {
        for (int i = 0; i < values; ++i) l[i] = static_cast<std::int16_t>(dwvwOutput_[static_cast<std::size_t>(i)] >> 16);
        return values;
    }
    auto* r = reinterpret_cast<std::int16_t*>(right);
    for (int i = 0; i + 1 < values; i += 2) {
        l[i / 2] = static_cast<std::int16_t>(dwvwOutput_[static_cast<std::size_t>(i)] >> 16);
        r[i / 2] = static_cast<std::int16_t>(dwvwOutput_[static_cast<std::size_t>(i) + 1] >> 16);
    }
    return values / 2;
}

}  // namespace tembrel
