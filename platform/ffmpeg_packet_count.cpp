#include "platform/ffmpeg_packet_count.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/intreadwrite.h>
}

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

// How the decoder's output of each packet is known without decoding it.
enum class PacketSamples {
    None,          // not known: decode to count
    MpegHeader,    // from the frame header of each packet
    FixedFrame,    // the codec's fixed frame size
    PacketLength,  // the packet's duration, exact for these codecs
    // The same, but the first packet only primes the decoder and gives
    // nothing; the last one's duration already leaves out the padding.
    PacketLengthAfterFirst,
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
        case AV_CODEC_ID_AC3:
        case AV_CODEC_ID_OPUS: return PacketSamples::PacketLength;
        case AV_CODEC_ID_VORBIS: return PacketSamples::PacketLengthAfterFirst;
        default: return PacketSamples::None;
    }
}

// The encoder delay and padding the demuxer asks the decoder to drop, as the
// decoder applies them: the delay carries over into the following frames,
// the padding is cut from the frame it comes with.
class TrimmedCount {
public:
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
    TrimmedCount count;
    std::optional<MpegAudioShape> firstShape;
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
            case PacketSamples::FixedFrame: samples = codec.frame_size; break;
            case PacketSamples::PacketLength:
            case PacketSamples::PacketLengthAfterFirst:
                if (packet->duration <= 0) return std::nullopt;
                samples = av_rescale_q(packet->duration, again.time_base, AVRational{1, codec.sample_rate});
                if (first && rule == PacketSamples::PacketLengthAfterFirst) samples = 0;
                break;
            case PacketSamples::None: return std::nullopt;
        }
        count.Add(samples, *packet);
        first = false;
    }
    if (result != AVERROR_EOF) return std::nullopt;
    return count.Total();
}

}  // namespace tembrel::decoding
