// Demo until the converter exists: synthesises a short melody, encodes it to
// MP3 with LAME, and wraps it into a streaming-sound SWF.
//
//   demo_stream_swf OUTPUT.swf [FRAME_RATE]
//
// The MP3 is kept beside the SWF (OUTPUT.mp3) so both can be compared.
#include <lame/lame.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "platform/os_file.h"
#include "swf/mp3_stream_reader.h"
#include "swf/swf_records.h"
#include "swf/swf_writer.h"

namespace {

constexpr int kSampleRate = 44100;
constexpr int kBlock = 1152;  // samples per channel handed to LAME at a time

// Two bars of a plain tune: MIDI note numbers, each a quarter note at 120 bpm;
// the right channel plays a fifth below, so that stereo is audible.
std::vector<std::int16_t> Melody(int transpose) {
    static const int kNotes[] = {60, 64, 67, 72, 71, 67, 64, 62, 60, 64, 67, 69, 67, 64, 62, 60};
    const int noteSamples = kSampleRate / 2;
    std::vector<std::int16_t> pcm;
    pcm.reserve(std::size(kNotes) * noteSamples);
    for (int note : kNotes) {
        double frequency = 440.0 * std::pow(2.0, (note + transpose - 69) / 12.0);
        for (int i = 0; i < noteSamples; ++i) {
            double t = static_cast<double>(i) / kSampleRate;
            // Soft attack and decay, so that the notes do not click.
            double envelope = std::min(1.0, t * 50.0) * std::exp(-3.0 * t);
            double tone = std::sin(2.0 * std::numbers::pi * frequency * t) +
                          0.3 * std::sin(4.0 * std::numbers::pi * frequency * t);
            pcm.push_back(static_cast<std::int16_t>(std::lround(9000.0 * envelope * tone)));
        }
    }
    return pcm;
}

bool EncodeMp3(const std::string& path) {
    std::vector<std::int16_t> left = Melody(0), right = Melody(-7);
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame) return false;
    lame_set_num_channels(lame.get(), 2);
    lame_set_in_samplerate(lame.get(), kSampleRate);
    lame_set_out_samplerate(lame.get(), kSampleRate);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_brate(lame.get(), 128);
    lame_set_bWriteVbrTag(lame.get(), 0);
    lame_set_VBR(lame.get(), vbr_off);
    if (lame_init_params(lame.get()) < 0) return false;

    tembrel::OsFile out;
    if (!out.CreateForWriting(path)) return false;
    std::vector<unsigned char> mp3(static_cast<std::size_t>(1.25 * kBlock + 7200));
    for (std::size_t at = 0; at < left.size(); at += kBlock) {
        int count = static_cast<int>(std::min<std::size_t>(kBlock, left.size() - at));
        int bytes = lame_encode_buffer(lame.get(), left.data() + at, right.data() + at, count, mp3.data(),
                                       static_cast<int>(mp3.size()));
        if (bytes < 0 || !out.Write(mp3.data(), static_cast<std::size_t>(bytes))) return false;
    }
    int bytes = lame_encode_flush(lame.get(), mp3.data(), static_cast<int>(mp3.size()));
    return bytes >= 0 && out.Write(mp3.data(), static_cast<std::size_t>(bytes));
}

// Frame 1: background, sound head; then one sound block per frame.
bool WriteStreamingSwf(const std::string& mp3Path, const std::string& swfPath, int frameRate) {
    tembrel::Mp3StreamReader reader;
    if (!reader.Open(mp3Path)) return false;
    reader.SetFrameRate(frameRate);
    tembrel::SwfWriter writer;
    if (!writer.Open(swfPath)) return false;
    writer.SetMovie(8, 550, 400, static_cast<unsigned>(frameRate));
    std::vector<std::uint8_t> buffer(102400);
    std::size_t capacity = buffer.size(), length = 0;
    bool ok = writer.WriteHeader() && writer.WriteBackgroundColour(0x33, 0x66, 0x99) &&
              reader.WriteStreamHead(buffer.data(), capacity, length) &&
              writer.WriteTag(tembrel::kTagSoundStreamHead, buffer.data(), length) && writer.WriteShowFrame() &&
              reader.Rewind();
    while (ok) {
        capacity = buffer.size();
        if (!reader.NextBlock(buffer.data(), capacity, length)) break;
        if (length == 0) {  // block larger than the buffer: grow and read it again
            buffer.resize(capacity + capacity / 2);
            capacity = buffer.size();
            ok = reader.NextBlock(buffer.data(), capacity, length) && length != 0;
            if (!ok) break;
        }
        ok = writer.WriteTag(tembrel::kTagSoundStreamBlock, buffer.data(), length) && writer.WriteShowFrame();
    }
    ok = ok && writer.WriteEnd();
    writer.Close();
    if (!ok) tembrel::DeleteFileAt(swfPath);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.swf [FRAME_RATE]\n", argv[0]);
        return 2;
    }
    const std::string swfPath = argv[1];
    const int frameRate = argc == 3 ? std::atoi(argv[2]) : 12;
    if (frameRate < 1 || frameRate > 120) {
        std::fprintf(stderr, "frame rate must be 1..120\n");
        return 2;
    }
    std::string mp3Path = swfPath;
    if (mp3Path.size() > 4 && mp3Path.compare(mp3Path.size() - 4, 4, ".swf") == 0) mp3Path.resize(mp3Path.size() - 4);
    mp3Path += ".mp3";

    if (!EncodeMp3(mp3Path)) {
        std::fprintf(stderr, "could not encode %s\n", mp3Path.c_str());
        return 1;
    }
    if (!WriteStreamingSwf(mp3Path, swfPath, frameRate)) {
        std::fprintf(stderr, "could not write %s\n", swfPath.c_str());
        return 1;
    }
    return 0;
}
