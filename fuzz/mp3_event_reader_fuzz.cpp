// Mp3EventReader: an MP3 file walked frame by frame and copied whole into a
// DefineSound, as the event-sound builder does it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input_file.h"
#include "platform/os_file.h"
#include "swf/mp3_event_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tembrel::fuzz::InputFile input("mp3-event");
    static tembrel::fuzz::InputFile copy("mp3-copy");
    tembrel::Mp3EventReader reader;
    if (!reader.Open(input.Fill(data, size))) return 0;

    // Every frame boundary, from the first frame on.
    std::uint32_t frames = 0;
    reader.Close();
    if (!reader.Open(input.Path())) std::abort();  // the same bytes opened once already
    for (int length = reader.NextFrame(); length > 0; length = reader.NextFrame()) ++frames;

    std::vector<std::uint8_t> buffer(16);
    std::size_t capacity = buffer.size(), length = 0;
    if (!reader.WriteEventHead(buffer.data(), capacity, length) || length > buffer.size()) return 0;
    capacity = buffer.size();
    const std::uint32_t samples = frames * static_cast<std::uint32_t>(reader.SamplesPerMp3Frame());
    if (!reader.WriteDefineSoundHead(samples, buffer.data(), capacity, length) || length > buffer.size()) return 0;

    tembrel::OsFile output;
    copy.Fill(nullptr, 0);
    if (!output.OpenForUpdate(copy.Path())) std::abort();
    if (reader.CopyData(output) != reader.DataSize()) std::abort();  // a file read whole copies whole
    return 0;
}
