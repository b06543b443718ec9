// CountSamplesFromPackets: a sound file analysed by FFmpeg as the decoding
// library opens it, then its audio stream's length counted from the packets.
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

#include "fuzz/fuzz_input_file.h"
#include "platform/decoding_library.h"
#include "platform/ffmpeg_input.h"
#include "platform/ffmpeg_packet_count.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tembrel::decoding::Init();  // FFmpeg's own logging quiet, as in the program
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tembrel::fuzz::InputFile input("packets");
    const std::string& path = input.Fill(data, size);
    tembrel::decoding::FfmpegInput file;
    std::string reason;
    if (!file.Open(path, &reason)) return 0;
    AVFormatContext* format = file.Format();
    if (avformat_find_stream_info(format, nullptr) < 0) return 0;
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0) return 0;
    (void)tembrel::decoding::CountSamplesFromPackets(path, *format->streams[index]);
    return 0;
}
