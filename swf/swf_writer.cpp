#include "swf/swf_writer.h"

#include "swf/swf_records.h"

namespace tembrel {
namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;

}  // namespace

bool SwfWriter::Open(const std::string& path) {
    Close();
    return file_.CreateForWriting(path);
}

bool SwfWriter::Put(const void* bytes, std::size_t count) {
    if (failed_ || !file_.IsOpen()) return false;
    if (pending_.size() + count > kBufferBytes) {
        if (!Flush()) return false;
        if (count >= kBufferBytes) {
            failed_ = !file_.Write(bytes, count);
            return !failed_;
        }
    }
    if (pending_.capacity() < kBufferBytes) pending_.reserve(kBufferBytes);
    const auto* in = static_cast<const std::uint8_t*>(bytes);
    pending_.insert(pending_.end(), in, in + count);
    return true;
}

bool SwfWriter::Flush() {
    if (pending_.empty()) return !failed_;
    if (!failed_ && !file_.Write(pending_.data(), pending_.size())) failed_ = true;
    pending_.clear();
    return !failed_;
}

OsFile& SwfWriter::OutputFile() {
    Flush();
    return file_;
}

void SwfWriter::SetMovie(unsigned version, std::uint32_t widthPixels, std::uint32_t heightPixels, unsigned frameRate) {
    version_ = static_cast<std::uint8_t>(version);
    frameWidth_ = widthPixels * 20;
    frameHeight_ = heightPixels * 20;
    frameRate_ = static_cast<std::uint16_t>((frameRate & 0xFF) * 256);
}

bool SwfWriter::WriteHeader() {
    ByteBuffer header;
    header.insert(header.end(), {'F', 'W', 'S'});  // uncompressed signature
    PutByte(header, version_);
    Put32(header, 0);  // file length, patched at Close
    std::size_t rectStart = header.size();
    if (!PutRect(header, 0, static_cast<std::int32_t>(frameWidth_), 0, static_cast<std::int32_t>(frameHeight_)))
        return false;
    rectSize_ = static_cast<std::uint32_t>(header.size() - rectStart);
    Put16(header, frameRate_);
    Put16(header, 0);  // frame count, patched at Close
    return Put(header.data(), header.size());
}

bool SwfWriter::WriteTag(unsigned code, const std::uint8_t* bytes, std::size_t count) {
    if (code == kTagShowFrame) ++frameCount_;
    return Put(bytes, count);
}

bool SwfWriter::WriteBackgroundColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    ByteBuffer tag;
    PutTagHeader(tag, kTagSetBackgroundColor, 3);
    tag.insert(tag.end(), {red, green, blue});
    return WriteTag(kTagSetBackgroundColor, tag.data(), tag.size());
}

bool SwfWriter::WriteShowFrame() {
    static const std::uint8_t showFrame[] = {0x40, 0x00};
    return WriteTag(kTagShowFrame, showFrame, sizeof showFrame);
}

bool SwfWriter::WriteEnd() {
    static const std::uint8_t end[] = {0x00, 0x00};
    return WriteTag(kTagEnd, end, sizeof end) && Flush();
}

bool SwfWriter::Close() {
    // A tag that never reached the file fails the movie as a wrong length does.
    bool patched = Flush();
    // Without a header there is nothing to patch: leave the file as written.
    if (file_.IsOpen() && rectSize_ != 0) {
        ByteBuffer field;
        const std::int64_t size = file_.Size();
        // A length that does not fit would wrap to a small number and make
        // players read a different movie: leave it 0 and say so.
        const bool fits = size >= 0 && static_cast<std::uint64_t>(size) <= kMaxSwfFileBytes;
        if (!fits) patched = false;
        if (fits) {
            Put32(field, static_cast<std::uint32_t>(size));
            if (file_.Seek(4) != 4 || !file_.Write(field.data(), field.size())) patched = false;
        }
        field.clear();
        Put16(field, frameCount_);
        std::int64_t countAt = 10 + static_cast<std::int64_t>(rectSize_);
        if (file_.Seek(countAt) != countAt || !file_.Write(field.data(), field.size())) patched = false;
    }
    file_.Close();
    version_ = 0;
    frameWidth_ = frameHeight_ = 0;
    frameRate_ = 0;
    frameCount_ = 0;
    rectSize_ = 0;
    pending_.clear();
    failed_ = false;
    return patched;
}

}  // namespace tembrel
