// AiffFileReader: a user's file opened and read to its end.
#include <cstddef>
#include <cstdint>

#include "audio/aiff_file_reader.h"
#include "fuzz/audio_read_all.h"
#include "fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tembrel::fuzz::InputFile input("aiff");
    tembrel::AiffFileReader reader;
    tembrel::fuzz::ReadWholeSource(reader, input.Fill(data, size));
    return 0;
}
