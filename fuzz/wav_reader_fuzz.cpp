// WavFileReader: a user's file opened and read to its end, once in blocks
// as the conversion reads it and once as stored bytes, as the recorder's
// playback takes a recording.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "audio/wav_file_reader.h"
#include "fuzz/audio_read_all.h"
#include "fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tembrel::fuzz::InputFile input("wav");
    const std::string& path = input.Fill(data, size);
    tembrel::WavFileReader reader;
    tembrel::fuzz::ReadWholeSource(reader, path);

    if (!reader.Open(path, 0)) return 0;
    std::uint8_t buffer[4093];  // not a multiple of any frame size
    std::uint64_t total = 0;
    while (const std::size_t got = reader.ReadRaw(buffer, sizeof buffer)) {
        if (got > sizeof buffer) std::abort();
        total += got;
    }
    if (total > size) std::abort();  // more sound than the file holds
    return 0;
}
