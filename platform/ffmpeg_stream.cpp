#include "platform/ffmpeg_stream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/ffmpeg_input.h"
#include "platform/ffmpeg_packet_count.h"
#include "platform/os_file.h"

namespace tembrel::decoding {
namespace {

// More channels than any real source has; keeps frame sizes small.
constexpr int kMaxChannels = 64;
// Decoder errors in a row without new input before the stream is given up.
constexpr int kMaxErrorsWithoutInput = 16;
// Scratch size when counting the output of a whole stream.
constexpr std::uint32_t kCountChunkBytes = 1 << 16;

std::atomic<std::uint64_t> framesDecoded{0};

class FfmpegStream final : public DecodingChannel {
public:
    ~FfmpegStream() override;

    // measureLength: find the output length, decoding the whole file once
    // when the container does not state it exactly. On failure *reason says
    // why (empty: FFmpeg does not take the file).
    bool Open(const std::string& path, bool measureLength, std::string* reason);

    bool IsMusic() const override { return false; }
    std::uint32_t Rate() const override { return static_cast<std::uint32_t>(rate_); }
    std::uint32_t Channels() const override { return static_cast<std::uint32_t>(layout_.nb_channels); }
    std::uint64_t LengthBytes() const override { return lengthBytes_; }
    std::uint64_t FileBytes() const override { return fileBytes_; }
    std::int64_t Read(void* buffer, std::uint32_t bytes) override;

private:
    std::size_t FrameBytes() const { return 2 * static_cast<std::size_t>(layout_.nb_channels); }
    std::size_t Pending() const { return pending_.size() - pendingStart_; }
    // Decodes until one frame has been converted; false once the stream has ended.
    bool DecodeMore();
    bool Convert(const AVFrame* frame);
    void DrainConverter();
    bool OpenInput(const std::string& path, std::string* reason);
    bool HeaderLengthIsExact() const;
    std::uint64_t MeasureLengthBytes(const std::string& path) const;
    std::uint64_t CountOutputBytes(const std::string& path) const;

    FfmpegInput input_;
    AVFormatContext* format_ = nullptr;  // input_'s
    AVCodecContext* decoder_ = nullptr;
    SwrContext* converter_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int streamIndex_ = -1;
    bool draining_ = false;
    bool ended_ = false;

    // Output format, fixed by the first decoded frame.
    bool outputFixed_ = false;
    int rate_ = 0;
    AVChannelLayout layout_{};

    // Input format the converter is set up for.
    int convRate_ = 0;
    int convFormat_ = AV_SAMPLE_FMT_NONE;
    AVChannelLayout convLayout_{};

    std::vector<std::uint8_t> pending_;  // converted, not yet delivered
    std::size_t pendingStart_ = 0;
    std::uint64_t lengthBytes_ = 0;
    std::uint64_t fileBytes_ = 0;
};

FfmpegStream::~FfmpegStream() {
    swr_free(&converter_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&decoder_);
    av_channel_layout_uninit(&layout_);
    av_channel_layout_uninit(&convLayout_);
}

bool FfmpegStream::OpenInput(const std::string& path, std::string* reason) {
    if (!input_.Open(path, reason)) return false;
    format_ = input_.Format();
    return avformat_find_stream_info(format_, nullptr) >= 0;
}

bool FfmpegStream::Open(const std::string& path, bool measureLength, std::string* reason) {
    if (!OpenInput(path, reason)) return false;

    const AVCodec* codec = nullptr;
    streamIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex_ == AVERROR_DECODER_NOT_FOUND) {
        *reason = "no decoder for the audio stream";
        return false;
    }
    if (streamIndex_ < 0 || !codec) {
        *reason = "no audio stream";
        return false;
    }
    AVStream* stream = format_->streams[streamIndex_];

    decoder_ = avcodec_alloc_context3(codec);
    if (!decoder_ || avcodec_parameters_to_context(decoder_, stream->codecpar) < 0) return false;
    decoder_->pkt_timebase = stream->time_base;
    if (avcodec_open2(decoder_, codec, nullptr) < 0) {
        *reason = "audio decoder cannot be opened";
        return false;
    }
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_) return false;

    // The first frame fixes the output format, as it does for the
    // command-line tool; a stream without any keeps what the header says.
    while (Pending() == 0 && !ended_) DecodeMore();
    if (!outputFixed_) {
        rate_ = stream->codecpar->sample_rate;
        if (av_channel_layout_copy(&layout_, &stream->codecpar->ch_layout) < 0) return false;
    }
    if (layout_.nb_channels < 1 || layout_.nb_channels > kMaxChannels) {
        *reason = std::to_string(layout_.nb_channels) + " channels";
        return false;
    }
    if (rate_ <= 0) {
        *reason = "sample rate " + std::to_string(rate_);
        return false;
    }

    if (measureLength) lengthBytes_ = MeasureLengthBytes(path);
    std::int64_t size = avio_size(input_.Io());
    if (size < 0) size = FileSizeAt(path);
    fileBytes_ = size < 0 ? 0 : static_cast<std::uint64_t>(size);
    return true;
}

// PCM and the lossless codecs are stored with their exact sample count, and
// decode to exactly that.
bool FfmpegStream::HeaderLengthIsExact() const {
    const AVStream* stream = format_->streams[streamIndex_];
    if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0) return false;
    if (format_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) return false;
    const AVCodecID codec = stream->codecpar->codec_id;
    const bool pcm = codec >= AV_CODEC_ID_FIRST_AUDIO && codec < AV_CODEC_ID_ADPCM_IMA_QT;
    const bool lossless = codec == AV_CODEC_ID_FLAC || codec == AV_CODEC_ID_WAVPACK ||
                          codec == AV_CODEC_ID_TTA || codec == AV_CODEC_ID_APE ||
                          codec == AV_CODEC_ID_ALAC;
    return pcm || lossless;
}

// The stated length where it is exact; else counted from the packets (MP3,
// AAC, AC-3, Vorbis, Opus: frame headers, sample tables and the delay and
// padding marked for the decoder to drop); else, where neither is exact (the
// containers' figures are rounded to milliseconds, as in ASF, or are
// bit-rate estimates), by decoding the file once.
std::uint64_t FfmpegStream::MeasureLengthBytes(const std::string& path) const {
    const AVStream* stream = format_->streams[streamIndex_];
    std::int64_t samples = 0;
    if (HeaderLengthIsExact()) {
        samples = av_rescale_q(stream->duration, stream->time_base, AVRational{1, rate_});
    } else if (stream->codecpar->sample_rate != rate_) {
        return CountOutputBytes(path);  // the output is resampled
    } else if (const std::optional<std::int64_t> counted = CountSamplesFromPackets(path, *stream)) {
        samples = *counted;
    } else {
        return CountOutputBytes(path);
    }
    return static_cast<std::uint64_t>(std::max<std::int64_t>(samples, 0)) * FrameBytes();
}

std::uint64_t FfmpegStream::CountOutputBytes(const std::string& path) const {
    FfmpegStream counter;
    std::string ignored;
    if (!counter.Open(path, false, &ignored)) return 0;
    std::vector<std::uint8_t> scratch(kCountChunkBytes);
    std::uint64_t total = 0;
    for (;;) {
        std::int64_t n = counter.Read(scratch.data(), kCountChunkBytes);
        if (n < 0) break;
        total += static_cast<std::uint64_t>(n);
    }
    return total;
}

std::int64_t FfmpegStream::Read(void* buffer, std::uint32_t bytes) {
    const std::size_t frameBytes = FrameBytes();
    const std::size_t wanted = bytes / frameBytes * frameBytes;
    if (wanted > Pending() && pendingStart_ > 0) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingStart_));
        pendingStart_ = 0;
    }
    while (Pending() < wanted && !ended_) DecodeMore();
    const std::size_t n = std::min(wanted, Pending());
    if (n == 0) return (ended_ && Pending() == 0) ? -1 : 0;
    std::memcpy(buffer, pending_.data() + pendingStart_, n);
    pendingStart_ += n;
    if (pendingStart_ == pending_.size()) {
        pending_.clear();
        pendingStart_ = 0;
    }
    position_ += n;
    return static_cast<std::int64_t>(n);
}

bool FfmpegStream::DecodeMore() {
    int errors = 0;
    for (;;) {
        int result = avcodec_receive_frame(decoder_, frame_);
        if (result == 0) {
            framesDecoded.fetch_add(1, std::memory_order_relaxed);
            bool converted = Convert(frame_);
            av_frame_unref(frame_);
            if (!converted) {
                ended_ = true;
                return false;
            }
            return true;
        }
        if (result == AVERROR_EOF || (result == AVERROR(EAGAIN) && draining_)) {
            DrainConverter();
            ended_ = true;
            return false;
        }
        if (result != AVERROR(EAGAIN)) {
            // A damaged packet: the decoder has dropped it; go on with the
            // next one, as the command-line tool does.
            if (++errors > kMaxErrorsWithoutInput) {
                ended_ = true;
                return false;
            }
            continue;
        }
        result = av_read_frame(format_, packet_);
        if (result < 0) {
            // End of file, or a read error that ends the input the same way:
            // flush what the decoder still holds.
            avcodec_send_packet(decoder_, nullptr);
            draining_ = true;
            continue;
        }
        errors = 0;
        // A packet the decoder refuses is skipped.
        if (packet_->stream_index == streamIndex_) avcodec_send_packet(decoder_, packet_);
        av_packet_unref(packet_);
    }
}

bool FfmpegStream::Convert(const AVFrame* frame) {
    const AVChannelLayout& inLayout = frame->ch_layout;
    if (frame->sample_rate <= 0 || inLayout.nb_channels < 1 || inLayout.nb_channels > kMaxChannels) {
        return true;  // nothing usable in this frame
    }
    if (!outputFixed_) {
        rate_ = frame->sample_rate;
        if (av_channel_layout_copy(&layout_, &inLayout) < 0) return false;
        outputFixed_ = true;
    }
    if (frame->nb_samples <= 0) return true;
    // A change of format in mid-stream is converted to the first one, so
    // that the delivered data keep one layout and rate throughout.
    if (!converter_ || frame->format != convFormat_ || frame->sample_rate != convRate_ ||
        av_channel_layout_compare(&inLayout, &convLayout_) != 0) {
        DrainConverter();
        swr_free(&converter_);
        if (swr_alloc_set_opts2(&converter_, &layout_, AV_SAMPLE_FMT_S16, rate_,
                                const_cast<AVChannelLayout*>(&inLayout),  // not written; 5.1 lacks the const
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(converter_) < 0) {
            swr_free(&converter_);
            return false;
        }
        convFormat_ = frame->format;
        convRate_ = frame->sample_rate;
        av_channel_layout_uninit(&convLayout_);
        if (av_channel_layout_copy(&convLayout_, &inLayout) < 0) return false;
    }
    const int room = swr_get_out_samples(converter_, frame->nb_samples);
    if (room <= 0) return true;
    const std::size_t old = pending_.size();
    pending_.resize(old + static_cast<std::size_t>(room) * FrameBytes());
    std::uint8_t* out = pending_.data() + old;
    const int got = swr_convert(converter_, &out, room, const_cast<const std::uint8_t**>(frame->extended_data),
                                frame->nb_samples);
    pending_.resize(old + static_cast<std::size_t>(std::max(got, 0)) * FrameBytes());
    return got >= 0;
}

void FfmpegStream::DrainConverter() {
    if (!converter_) return;
    const int room = swr_get_out_samples(converter_, 0);
    if (room <= 0) return;
    const std::size_t old = pending_.size();
    pending_.resize(old + static_cast<std::size_t>(room) * FrameBytes());
    std::uint8_t* out = pending_.data() + old;
    const int got = swr_convert(converter_, &out, room, nullptr, 0);
    pending_.resize(old + static_cast<std::size_t>(std::max(got, 0)) * FrameBytes());
}

}  // namespace

std::unique_ptr<DecodingChannel> OpenFfmpegStream(const std::string& path, std::string* reason) {
    auto stream = std::make_unique<FfmpegStream>();
    std::string why;
    if (stream->Open(path, true, &why)) return stream;
    if (reason) *reason = why;
    return nullptr;
}

std::uint64_t FfmpegFramesDecoded() { return framesDecoded.load(std::memory_order_relaxed); }

}  // namespace tembrel::decoding
