// Mp3StreamReader: an MP3 file cut into one SoundStreamBlock per SWF frame,
// as the streaming builders do it, at a low and a high frame rate.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input_file.h"
#include "swf/mp3_stream_reader.h"

namespace {

// The builders' buffer protocol: a block that does not fit reports its size
// and is asked for again in a buffer that holds it.
void WriteAllBlocks(tembrel::Mp3StreamReader& reader) {
    std::vector<std::uint8_t> buffer(64);
    for (;;) {
        std::size_t capacity = buffer.size(), length = 0;
        if (!reader.NextBlock(buffer.data(), capacity, length)) return;
        if (length == 0) {
            if (capacity <= buffer.size()) std::abort();  // asked again for what already did not fit
            buffer.assign(capacity, 0);
            capacity = buffer.size();
            if (!reader.NextBlock(buffer.data(), capacity, length) || length == 0) return;
        }
        if (length > buffer.size()) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tembrel::fuzz::InputFile input("mp3-stream");
    tembrel::Mp3StreamReader reader;
    if (!reader.Open(input.Fill(data, size))) return 0;
    for (int rate : {12, 120}) {
        reader.SetFrameRate(rate);
        std::vector<std::uint8_t> head(8);
        std::size_t capacity = head.size(), length = 0;
        if (!reader.WriteStreamHead(head.data(), capacity, length)) return 0;
        if (length > head.size()) std::abort();
        if (!reader.Rewind()) return 0;
        WriteAllBlocks(reader);
    }
    return 0;
}
