#include "swf/mp3_file_reader.h"

#include <vector>

#include "swf/mpeg_audio_tables.h"

namespace tembrel {

namespace {

bool ReadHeaderWord(ReadAheadFile& file, std::uint32_t& header) {
    std::uint8_t b[4];
    if (file.Read(b, sizeof b) != 4) return false;
    header = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
    return true;
}

bool IsSwfSampleRate(int rate) { return rate == 11025 || rate == 22050 || rate == 44100; }

}  // namespace

bool Mp3FileReader::Open(const std::string& path) {
    Close();
    if (!file_.OpenForReading(path)) return false;
    fileSize_ = file_.Size();
    std::uint32_t header = 0;
    MpegFrameHeader frame;
    if (fileSize_ < 4 || !ReadHeaderWord(file_, header) || !ParseMpegFrameHeader(header, frame) ||
        frame.emphasis == 2 || !IsSwfSampleRate(frame.sampleRate)) {
        Close();
        return false;
    }
    channels_ = frame.channelMode == 3 ? 1 : 2;
    sampleRate_ = frame.sampleRate;
    bitRate_ = frame.bitRateKbps;
    samplesPerMp3Frame_ = frame.samplesPerFrame;
    dataOffset_ = 0;
    return true;
}

int Mp3FileReader::NextFrame() {
    if (!file_.IsOpen()) return 0;
    std::int64_t start = file_.Position();
    std::uint32_t header = 0;
    if (start < 0 || !ReadHeaderWord(file_, header)) return 0;
    MpegFrameHeader frame;
    if (!ParseMpegFrameHeader(header, frame)) return -1;
    // A frame the file cannot hold whole is the end of the sound: a player
    // could not decode it, and reading it would fail the whole block.
    if (frame.frameLength < 4 || start + frame.frameLength > fileSize_) {
        file_.Seek(start);
        return 0;
    }
    if (file_.Seek(start + frame.frameLength) < 0) return 0;
    return frame.frameLength;
}

void Mp3FileReader::Close() {
    file_.Close();
    channels_ = sampleRate_ = bitRate_ = samplesPerMp3Frame_ = 0;
    dataOffset_ = -1;
    fileSize_ = 0;
}

std::int64_t Mp3FileReader::CopyData(OsFile& output) {
    if (!file_.IsOpen() || dataOffset_ < 0 || file_.Seek(dataOffset_) < 0) return 0;
    std::vector<std::uint8_t> chunk(ReadAheadFile::kWindowBytes);
    std::int64_t copied = 0;
    for (;;) {
        std::int64_t got = file_.Read(chunk.data(), chunk.size());
        if (got <= 0 || !output.Write(chunk.data(), static_cast<std::size_t>(got))) break;
        copied += got;
    }
    return copied;
}

std::int64_t Mp3FileReader::DataSize() const {
    return file_.IsOpen() && dataOffset_ >= 0 ? fileSize_ - dataOffset_ : 0;
}

}  // namespace tembrel
