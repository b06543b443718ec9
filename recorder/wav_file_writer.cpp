#include "recorder/wav_file_writer.h"

#include "swf/swf_records.h"

namespace tembrel {
namespace {

void PutTag(ByteBuffer& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

void Put32At(OsFile& file, std::int64_t offset, std::uint32_t value) {
    ByteBuffer bytes;
    Put32(bytes, value);
    if (file.Seek(offset) == offset) file.Write(bytes.data(), bytes.size());
}

}  // namespace

WavFileWriter::~WavFileWriter() { Close(); }

int WavFileWriter::Open(const std::string& path, bool stereo, int bitsPerSample, int samplesPerSec) {
    Close();
    format_ = Format{};
    format_.formatTag = 1;
    format_.channels = stereo ? 2 : 1;
    format_.samplesPerSec = static_cast<std::uint32_t>(samplesPerSec);
    format_.bitsPerSample = static_cast<std::uint16_t>(bitsPerSample);
    // Unsigned 32-bit, the multiplication first.
    format_.avgBytesPerSec = static_cast<std::uint32_t>(format_.channels) * format_.bitsPerSample *
                             format_.samplesPerSec / 8u;
    format_.blockAlign = static_cast<std::uint16_t>(format_.channels * format_.bitsPerSample / 8);

    if (!file_.CreateForWriting(path)) return 0;
    ByteBuffer header;
    PutTag(header, "RIFF");
    Put32(header, 4);
    PutTag(header, "WAVE");
    PutTag(header, "fmt ");
    Put32(header, 16);
    Put16(header, format_.formatTag);
    Put16(header, format_.channels);
    Put32(header, format_.samplesPerSec);
    Put32(header, format_.avgBytesPerSec);
    Put16(header, format_.blockAlign);
    Put16(header, format_.bitsPerSample);
    PutTag(header, "data");
    Put32(header, 4);
    file_.Write(header.data(), header.size());
    return 1;
}

int WavFileWriter::Write(const void* data, std::size_t length) {
    if (file_.IsOpen() && length > 0) file_.Write(data, length);
    return 1;
}

void WavFileWriter::Close() {
    if (!file_.IsOpen()) return;
    const std::int64_t size64 = file_.Size();
    const std::uint32_t size = size64 > 0 ? static_cast<std::uint32_t>(size64) : 0;
    // A header that never reached the disk gets sizes of 0, not wrapped ones.
    Put32At(file_, 4, size >= 8 ? size - 8 : 0);
    Put32At(file_, 40, size >= kHeaderBytes ? size - static_cast<std::uint32_t>(kHeaderBytes) : 0);
    file_.Close();
}

}  // namespace tembrel
