#include "platform/ffmpeg_packet_count.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/vorbis_parser.h>
#include <libavutil/intreadwrite.h>
}

#include <cstring>
#include <memory>

#include "platform/ffmpeg_input.h"

namespace tembrel::decoding {
namespace {

// What one MPEG audio frame header says that matters to the decoder's output.
struct MpegAudioShape {
    int samples = 0;  // per channel
    int rateIndex = 0;
    int version = 0;
    bool mono = false;
    bool operator==(const MpegAudioShape&) const = default;
};

// Layer I, II or III frame header at the start of a packet; nothing when
// the packet does not start with one.
std::optional<MpegAudioShape> ReadMpegAudioHeader(const AVPacket& packet) {
    if (packet.size < 4) return std::nullopt;
    const std::uint32_t h = AV_RB32(packet.data);
    if ((h & 0xFFE00000u) != 0xFFE00000u) return std::nullopt;
    const int version = (h >> 19) & 3;  // 0: MPEG-2.5, 2: MPEG-2, 3: MPEG-1
    const int layer = (h >> 17) & 3;    // 3: I, 2: II, 1: III
    const int rateIndex = (h >> 10) & 3;
    if (version == 1 || layer == 0 || rateIndex == 3) return std::nullopt;
    MpegAudioShape shape;
    shape.version = version;
    shape.rateIndex = rateIndex;
    shape.mono = ((h >> 6) & 3) == 3;
    if (layer == 3) shape.samples = 384;
    else if (layer == 2 || version == 3) shape.samples = 1152;
    else shape.samples = 576;  // Layer III of MPEG-2 and 2.5
    return shape;
}

// Samples per channel at 48 kHz of an Opus packet, from its table-of-contents
// byte and frame count; nothing for a malformed packet.
std::optional<int> OpusPacketSamples(const AVPacket& packet) {
    if (packet.size < 1) return std::nullopt;
    const int toc = packet.data[0];
    const int config = toc >> 3;
    static constexpr int kSilk[] = {480, 960, 1920, 2880};
    static constexpr int kHybrid[] = {480, 960};
    static constexpr int kCelt[] = {120, 240, 480, 960};
    const int frame = config < 12 ? kSilk[config % 4] : config < 16 ? kHybrid[config % 2] : kCelt[config % 4];
    int frames = 1;
    switch (toc & 3) {
        case 0: frames = 1; break;
        case 1:
        case 2: frames = 2; break;
        default:
            if (packet.size < 2) return std::nullopt;
            frames = packet.data[1] & 0x3F;
            break;
    }
    const int samples = frames * frame;
    if (frames == 0 || samples > 5760) return std::nullopt;  // at most 120 ms
    return samples;
}

// The pre-skip an Opus header asks the decoder to drop at the start.
std::int64_t OpusPreSkip(const AVCodecParameters& codec) {
    if (codec.extradata_size < 19 || std::memcmp(codec.extradata, "OpusHead", 8) != 0) return 0;
    return AV_RL16(codec.extradata + 10);
}

struct VorbisParserDeleter {
    void operator()(AVVorbisParseContext* p) const { av_vorbis_parse_free(&p); }
};

constexpr int kAc3FrameSamples = 1536;

// An AAC packet with an ADTS header must hold the whole frame the header
// announces: the decoder refuses a cut one (the end of a truncated file).
bool IsWholeAdtsFrameOrRaw(const AVPacket& packet) {
    if (packet.size < 7 || packet.data[0] != 0xFF || (packet.data[1] & 0xF6) != 0xF0) return true;
    const int length = ((packet.data[3] & 0x03) << 11) | (packet.data[4] << 3) | (packet.data[5] >> 5);
    return length == packet.size;
}

// How the decoder's output of each packet is known without decoding it.
enum class PacketSamples {
    None,          // not known: decode to count
    MpegHeader,    // from the frame header of each packet
    // The codec's fixed frame size. Not the packet durations: containers
    // round them (Matroska to milliseconds) or shorten the last one.
    FixedFrame,
    OpusToc,       // the packet's own table of contents
    // The block sizes of the packet and the one before; the first packet
    // only primes the decoder and gives nothing.
    VorbisBlocks,
};

bool IsMpegAudio(AVCodecID codec) {
    return codec == AV_CODEC_ID_MP1 || codec == AV_CODEC_ID_MP2 || codec == AV_CODEC_ID_MP3;
}

PacketSamples SamplesRuleFor(const AVCodecParameters& codec) {
    switch (codec.codec_id) {
        case AV_CODEC_ID_MP1:
        case AV_CODEC_ID_MP2:
        case AV_CODEC_ID_MP3: return PacketSamples::MpegHeader;
        // AAC in MP4 keeps the last frame whole even where its table entry is
        // shorter.
        case AV_CODEC_ID_AAC: return codec.frame_size > 0 ? PacketSamples::FixedFrame : PacketSamples::None;
        case AV_CODEC_ID_AC3: return PacketSamples::FixedFrame;  // six blocks of 256
        // The decoder always puts out 48 kHz.
        case AV_CODEC_ID_OPUS: return codec.sample_rate == 48000 ? PacketSamples::OpusToc : PacketSamples::None;
        case AV_CODEC_ID_VORBIS: return PacketSamples::VorbisBlocks;
        default: return PacketSamples::None;
    }
}

// The encoder delay and padding the demuxer asks the decoder to drop, as the
// decoder applies them: the delay carries over into the following frames,
// the padding is cut from the frame it comes with.
class TrimmedCount {
public:
    // A delay the decoder knows from the stream's header, before any packet
    // says otherwise.
    explicit TrimmedCount(std::int64_t initialSkip) : skip_(initialSkip) {}

    void Add(std::int64_t samples, const AVPacket& packet) {
        std::int64_t padding = 0;
        std::size_t size = 0;
        if (const std::uint8_t* side = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
            side && size >= 10) {
            skip_ = AV_RL32(side);
            if (skip_ < 0) skip_ = 0;
            padding = AV_RL32(side + 4);
        }
        if (samples <= 0) return;
        if (skip_ > 0) {
            if (samples <= skip_) {
                skip_ -= samples;
                return;
            }
            samples -= skip_;
            skip_ = 0;
        }
        if (padding > 0 && padding <= samples) samples -= padding;
        total_ += samples;
    }
    std::int64_t Total() const { return total_; }

private:
    std::int64_t skip_ = 0;
    std::int64_t total_ = 0;
};

struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

}  // namespace

std::optional<std::int64_t> CountSamplesFromPackets(const std::string& path, const AVStream& stream) {
    const AVCodecParameters& codec = *stream.codecpar;
    const PacketSamples rule = SamplesRuleFor(codec);
    if (rule == PacketSamples::None || codec.sample_rate <= 0) return std::nullopt;

    FfmpegInput input;
    std::string ignored;
    if (!input.Open(path, &ignored)) return std::nullopt;
    AVFormatContext* format = input.Format();
    if (stream.index >= static_cast<int>(format->nb_streams)) return std::nullopt;
    const AVStream& again = *format->streams[stream.index];
    // Before the analysis every MPEG audio layer reads as Layer III.
    const AVCodecID found = again.codecpar->codec_id;
    if (found != codec.codec_id && !(IsMpegAudio(found) && IsMpegAudio(codec.codec_id))) return std::nullopt;

    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!packet) return std::nullopt;
    TrimmedCount count(codec.codec_id == AV_CODEC_ID_OPUS ? OpusPreSkip(codec) : 0);
    std::optional<MpegAudioShape> firstShape;
    std::unique_ptr<AVVorbisParseContext, VorbisParserDeleter> vorbis;
    if (rule == PacketSamples::VorbisBlocks) {
        vorbis.reset(av_vorbis_parse_init(codec.extradata, codec.extradata_size));
        if (!vorbis) return std::nullopt;
    }
    bool first = true;
    int result;
    while ((result = av_read_frame(format, packet.get())) >= 0) {
        std::unique_ptr<AVPacket, decltype(&av_packet_unref)> unref(packet.get(), av_packet_unref);
        if (packet->stream_index != stream.index) continue;
        // New headers in mid-stream (a chained Ogg stream) may change what
        // the decoder puts out.
        if (av_packet_get_side_data(packet.get(), AV_PKT_DATA_NEW_EXTRADATA, nullptr) ||
            av_packet_get_side_data(packet.get(), AV_PKT_DATA_PARAM_CHANGE, nullptr))
            return std::nullopt;
        std::int64_t samples = 0;
        switch (rule) {
            case PacketSamples::MpegHeader: {
                const std::optional<MpegAudioShape> shape = ReadMpegAudioHeader(*packet);
                if (!shape) return std::nullopt;
                if (!firstShape) firstShape = shape;
                // Another rate or channel mode part-way is converted to the
                // first one, which changes the count.
                if (!(*shape == *firstShape)) return std::nullopt;
                samples = shape->samples;
                break;
            }
            case PacketSamples::FixedFrame:
                if (codec.codec_id == AV_CODEC_ID_AAC && !IsWholeAdtsFrameOrRaw(*packet)) return std::nullopt;
                samples = codec.codec_id == AV_CODEC_ID_AC3 ? kAc3FrameSamples : codec.frame_size;
                break;
            case PacketSamples::OpusToc: {
                const std::optional<int> n = OpusPacketSamples(*packet);
                if (!n) return std::nullopt;
                samples = *n;
                break;
            }
            case PacketSamples::VorbisBlocks: {
                int flags = 0;
                const int n = av_vorbis_parse_frame_flags(vorbis.get(), packet->data, packet->size, &flags);
                if (n < 0 || flags) return std::nullopt;  // a header: a new chained stream
                samples = first ? 0 : n;
                break;
            }
            case PacketSamples::None: return std::nullopt;
        }
        count.Add(samples, *packet);
        first = false;
    }
    if (result != AVERROR_EOF) return std::nullopt;
    return count.Total();
}

}  // namespace tembrel::decoding
