#include "platform/decoding_library.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}
#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_version.h>

#include <map>
#include <memory>
#include <mutex>

#include "platform/decoding_channel.h"
#include "platform/ffmpeg_stream.h"
#include "platform/openmpt_music.h"

namespace tembrel::decoding {
namespace {

constexpr std::uint32_t kRevision = 1;

// Channels by handle, shared by every thread that decodes. Each channel is
// used by one thread at a time (its owner); the lock keeps the table itself
// sound while several threads open and free channels at once.
struct ChannelTable {
    std::mutex lock;
    std::map<Handle, std::unique_ptr<DecodingChannel>> channels;
    Handle next = 1;
};

ChannelTable& Table() {
    static ChannelTable table;
    return table;
}

void QuietLogging() { av_log_set_level(AV_LOG_QUIET); }

Handle Add(std::unique_ptr<DecodingChannel> channel) {
    if (!channel) return 0;
    ChannelTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    // Handles are never 0 and never one still in use, even after wrapping.
    while (table.next == 0 || table.channels.count(table.next)) ++table.next;
    Handle handle = table.next++;
    table.channels.emplace(handle, std::move(channel));
    return handle;
}

DecodingChannel* Find(Handle handle) {
    ChannelTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.channels.find(handle);
    return it == table.channels.end() ? nullptr : it->second.get();
}

bool Remove(Handle handle, bool music) {
    std::unique_ptr<DecodingChannel> gone;
    ChannelTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.channels.find(handle);
    if (it == table.channels.end() || it->second->IsMusic() != music) return false;
    gone = std::move(it->second);
    table.channels.erase(it);
    return true;
}

bool SameMajor(unsigned runtime, unsigned built) { return AV_VERSION_MAJOR(runtime) == AV_VERSION_MAJOR(built); }

}  // namespace

std::uint32_t GetVersion() {
    const std::uint32_t openmpt = openmpt_get_library_version();
    const bool openmptFits = (openmpt >> 24) == OPENMPT_API_VERSION_MAJOR &&
                             ((openmpt >> 16) & 0xFF) >= OPENMPT_API_VERSION_MINOR;
    const bool ffmpegFits = SameMajor(avformat_version(), LIBAVFORMAT_VERSION_INT) &&
                            SameMajor(avcodec_version(), LIBAVCODEC_VERSION_INT) &&
                            SameMajor(swresample_version(), LIBSWRESAMPLE_VERSION_INT) &&
                            SameMajor(avutil_version(), LIBAVUTIL_VERSION_INT);
    return openmptFits && ffmpegFits ? (kInterfaceVersion << 16) | kRevision : 0;
}

bool Init() {
    QuietLogging();
    return true;
}

void Free() {
    std::map<Handle, std::unique_ptr<DecodingChannel>> gone;
    ChannelTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    gone.swap(table.channels);
}

Handle StreamCreateFile(const std::string& path, std::string* reason) {
    QuietLogging();
    std::string why;
    Handle handle = Add(OpenFfmpegStream(path, &why));
    if (!handle && reason) *reason = why.empty() ? std::string(kNotRecognisedReason) : why;
    return handle;
}

Handle MusicLoad(const std::string& path, std::uint32_t wantedRate, std::string* reason) {
    std::string why;
    Handle handle = Add(OpenOpenmptMusic(path, wantedRate ? wantedRate : kDefaultMusicRate, &why));
    if (!handle && reason) *reason = why;
    return handle;
}

std::uint64_t ChannelGetLength(Handle handle) {
    DecodingChannel* channel = Find(handle);
    return channel ? channel->LengthBytes() : 0;
}

double ChannelBytes2Seconds(Handle handle, std::uint64_t bytes) {
    DecodingChannel* channel = Find(handle);
    if (!channel) return -1.0;
    return static_cast<double>(bytes) / (2.0 * channel->Channels() * channel->Rate());
}

bool ChannelGetInfo(Handle handle, ChannelInfo* info) {
    DecodingChannel* channel = Find(handle);
    if (!channel || !info) return false;
    info->freq = channel->Rate();
    info->chans = channel->Channels();
    info->flags = channel->IsMusic() ? kMusicChannel : 0;
    return true;
}

std::uint64_t StreamGetFileSize(Handle handle) {
    DecodingChannel* channel = Find(handle);
    return channel ? channel->FileBytes() : kNoFileSize;
}

std::uint32_t ChannelGetData(Handle handle, void* buffer, std::uint32_t bytes) {
    DecodingChannel* channel = Find(handle);
    if (!channel || !buffer) return kDataEnd;
    std::int64_t n = channel->Read(buffer, bytes);
    return n < 0 ? kDataEnd : static_cast<std::uint32_t>(n);
}

std::uint64_t ChannelGetPosition(Handle handle) {
    DecodingChannel* channel = Find(handle);
    return channel ? channel->Position() : 0;
}

std::uint64_t StreamFramesDecoded() { return FfmpegFramesDecoded(); }

bool StreamFree(Handle handle) { return Remove(handle, false); }
bool MusicFree(Handle handle) { return Remove(handle, true); }

}  // namespace tembrel::decoding
