#include "platform/ffmpeg_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/os_file.h"

namespace tembrel::decoding {
namespace {

// Containers we open. Left out on purpose: demuxers that follow references
// to other files or addresses (playlists, concat), the tracker-module
// demuxer (modules are music channels), and video-only or subtitle formats.
constexpr const char* kFormatWhitelist =
    "mp3,aac,mov,ogg,flac,asf,ape,mpc,mpc8,tta,wv,ac3,eac3,adx,caf,wav,w64,aiff,au,"
    "matroska,dts,amr,loas,xwma";
// Only plain local files, whatever the path looks like.
constexpr const char* kProtocolWhitelist = "file";
// Buffer of the I/O context FFmpeg reads the file through.
constexpr int kIoBufferBytes = 1 << 16;

// FFmpeg reads the file through a descriptor we opened and checked
// ourselves: its own file protocol would block on a FIFO in open().
int ReadDescriptor(void* opaque, std::uint8_t* buffer, int size) {
    const int fd = *static_cast<int*>(opaque);
    for (;;) {
        const ssize_t n = ::read(fd, buffer, static_cast<std::size_t>(size));
        if (n > 0) return static_cast<int>(n);
        if (n == 0) return AVERROR_EOF;
        if (errno != EINTR) return AVERROR(errno);
    }
}

std::int64_t SeekDescriptor(void* opaque, std::int64_t offset, int whence) {
    const int fd = *static_cast<int*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : static_cast<std::int64_t>(at);
}

}  // namespace

FfmpegInput::~FfmpegInput() {
    avformat_close_input(&format_);
    if (io_) av_freep(&io_->buffer);
    avio_context_free(&io_);
    if (fd_ >= 0) ::close(fd_);
}

bool FfmpegInput::Open(const std::string& path, std::string* reason) {
    fd_ = OpenRegularFileDescriptor(path, reason);
    if (fd_ < 0) return false;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
    if (buffer) io_ = avio_alloc_context(buffer, kIoBufferBytes, 0, &fd_, ReadDescriptor, nullptr, SeekDescriptor);
    format_ = io_ ? avformat_alloc_context() : nullptr;
    if (!format_) {
        if (!io_) av_free(buffer);
        *reason = "out of memory";
        return false;
    }
    format_->pb = io_;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kFormatWhitelist, 0);
    // Whatever else a container might point at is not opened.
    av_dict_set(&options, "protocol_whitelist", kProtocolWhitelist, 0);
    // The name only helps the format probe by its extension; the "file:"
    // prefix keeps a colon in it from reading as a protocol.
    const std::string url = "file:" + path;
    const int result = avformat_open_input(&format_, url.c_str(), nullptr, &options);  // frees format_ on failure
    av_dict_free(&options);
    return result >= 0;
}

}  // namespace tembrel::decoding
