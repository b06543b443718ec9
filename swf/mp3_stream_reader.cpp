#include "swf/mp3_stream_reader.h"

#include <cstring>

#include "swf/stream_block_schedule.h"
#include "swf/swf_records.h"
#include "swf/tag_buffer.h"

namespace tembrel {

void Mp3StreamReader::SetFrameRate(int framesPerSecond) { frameRate_ = framesPerSecond; }

bool Mp3StreamReader::WriteStreamHead(std::uint8_t* buffer, std::size_t& capacity, std::size_t& length) {
    // A rate below 1 would divide by zero; SWF rates start at 1.
    samplesPerSwfFrame_ = sampleRate_ / (frameRate_ < 1 ? 1 : frameRate_);
    unsigned rate = SwfSoundRateCode(sampleRate_);
    unsigned stereo = channels_ == 2 ? 1 : 0;
    ByteBuffer tag;
    PutTagHeader(tag, kTagSoundStreamHead, 6);
    PutByte(tag, static_cast<std::uint8_t>(rate << 2 | 1u << 1 | stereo));          // playback: rate, 16-bit, type
    PutByte(tag, static_cast<std::uint8_t>(2u << 4 | rate << 2 | 1u << 1 | stereo));  // stream: MP3, rate, 16-bit, type
    Put16(tag, static_cast<std::uint16_t>(samplesPerSwfFrame_));
    Put16(tag, 0);  // LatencySeek
    return CopyTagOut(tag, buffer, capacity, length);
}

bool Mp3StreamReader::Rewind() {
    if (!file_.IsOpen() || dataOffset_ < 0) return false;
    sampleDebt_ = 0;
    return file_.Seek(dataOffset_) >= 0;
}

bool Mp3StreamReader::NextBlock(std::uint8_t* buffer, std::size_t& capacity, std::size_t& length) {
    length = 0;
    if (!file_.IsOpen() || samplesPerSwfFrame_ <= 0 || samplesPerMp3Frame_ <= 0) return false;
    std::int64_t start = file_.Position();
    if (start < 0) return false;

    StreamBlockPlan plan = PlanStreamBlock(sampleDebt_, samplesPerSwfFrame_, samplesPerMp3Frame_);
    int frames = 0;
    std::int64_t bytes = 0;
    if (plan.mp3Frames == 0) {
        // Nothing due in this SWF frame: an empty block, but only while the
        // sound goes on, so that the stream still ends with the file.
        int next = NextFrame();
        if (file_.Seek(start) < 0 || next <= 0) return false;
    } else {
        // A bad header or the end of the file cuts the block short; the next
        // call then finds no frame and ends the stream.
        while (frames < plan.mp3Frames) {
            int frameLength = NextFrame();
            if (frameLength <= 0) break;
            ++frames;
            bytes += frameLength;
        }
        if (bytes == 0) return false;
    }

    std::uint32_t body = static_cast<std::uint32_t>(bytes) + 4;
    std::size_t needed = TagHeaderSize(body) + body;
    if (buffer == nullptr || capacity < needed) {
        file_.Seek(start);
        capacity = needed;
        return true;
    }

    int need = sampleDebt_ + samplesPerSwfFrame_;
    ByteBuffer head;
    PutTagHeader(head, kTagSoundStreamBlock, body);
    Put16(head, static_cast<std::uint16_t>(frames * samplesPerMp3Frame_));  // SampleCount
    Put16(head, static_cast<std::uint16_t>(sampleDebt_));                   // SeekSamples
    sampleDebt_ = need - frames * samplesPerMp3Frame_;

    std::memcpy(buffer, head.data(), head.size());
    if (file_.Seek(start) < 0) return false;
    std::uint8_t* out = buffer + head.size();
    std::int64_t left = bytes;
    while (left > 0) {
        std::int64_t got = file_.Read(out, static_cast<std::size_t>(left));
        if (got <= 0) return false;
        out += got;
        left -= got;
    }
    length = needed;
    return true;
}

}  // namespace tembrel
