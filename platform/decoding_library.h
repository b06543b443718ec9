#pragma once
// The decoding library the audio sources are built on: decoding channels made
// from sound files (FFmpeg streams) or tracker modules (libopenmpt music),
// addressed by 32-bit handles (0 is never a valid handle). Every channel
// delivers interleaved signed 16-bit samples at its own rate with all of its
// channels; the caller picks what it needs.
#include <cstdint>
#include <string>

namespace tembrel::decoding {

using Handle = std::uint32_t;

// High 16 bits: interface generation the program checks at start-up.
constexpr std::uint32_t kInterfaceVersion = 0x0204;
// ChannelInfo::flags bit for 8-bit output (never set: output is 16-bit).
constexpr std::uint32_t kSample8Bits = 0x1;
// ChannelInfo::flags bit for a music (tracker) channel.
constexpr std::uint32_t kMusicChannel = 0x10000;
// StreamGetFileSize of a channel without a source file size (music).
constexpr std::uint64_t kNoFileSize = ~std::uint64_t{0};
// ChannelGetData at the end of the data or on an error.
constexpr std::uint32_t kDataEnd = 0xFFFFFFFFu;
// Rate music is rendered at when the caller wants none in particular.
constexpr std::uint32_t kDefaultMusicRate = 44100;

// Why a file is refused when nothing in it is taken for sound.
inline constexpr char kNotRecognisedReason[] = "not a sound file the decoders recognise";

struct ChannelInfo {
    std::uint32_t freq = 0;   // samples per second per channel
    std::uint32_t chans = 0;  // channels in the delivered data
    std::uint32_t flags = 0;  // kSample8Bits, kMusicChannel
};

// kInterfaceVersion << 16 | our revision when the FFmpeg and libopenmpt
// libraries found at run time are compatible with those we were built
// against; 0 otherwise.
std::uint32_t GetVersion();
// Quiets the libraries' logging. Channels can be made without it, but the
// program calls it once at start-up. True on success.
bool Init();
// Frees every channel still open.
void Free();

// Only regular files are opened; a FIFO or device is refused at once. On a
// failure *reason (when given) says why, short and lower-case.

// A decoding stream of a sound file in any format FFmpeg decodes (tracker
// modules excepted); 0 when the file is not such a stream.
Handle StreamCreateFile(const std::string& path, std::string* reason = nullptr);
// Tracker music rendered in stereo at wantedRate (kDefaultMusicRate when 0);
// 0 when the file is not a module or the rate cannot be rendered. Rendering
// is deterministic: the same module and rate give the same samples on every
// run. A file that is simply no module leaves *reason empty.
Handle MusicLoad(const std::string& path, std::uint32_t wantedRate, std::string* reason = nullptr);

// Bytes of decoded output, all channels (0 for an unknown handle).
std::uint64_t ChannelGetLength(Handle handle);
// Seconds that `bytes` of the channel's output last; negative for an
// unknown handle.
double ChannelBytes2Seconds(Handle handle, std::uint64_t bytes);
// Fills `info`; false for an unknown handle.
bool ChannelGetInfo(Handle handle, ChannelInfo* info);
// Size of the source file in bytes; kNoFileSize for music and unknown handles.
std::uint64_t StreamGetFileSize(Handle handle);
// Decodes up to `bytes` bytes (whole sample frames) into `buffer`; the count
// written, fewer only at the end, then kDataEnd once nothing is left (also on
// an unknown handle or a fatal error).
std::uint32_t ChannelGetData(Handle handle, void* buffer, std::uint32_t bytes);
// Bytes delivered so far.
std::uint64_t ChannelGetPosition(Handle handle);
// Frames decoded by all streams of the process so far: what opening or
// reading a stream cost.
std::uint64_t StreamFramesDecoded();
// Frees a stream / a music channel; false when the handle is not one.
bool StreamFree(Handle handle);
bool MusicFree(Handle handle);

}  // namespace tembrel::decoding
