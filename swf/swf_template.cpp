#include "swf/swf_template.h"

#include <cstring>
#include <limits>

#include "platform/os_file.h"
#include "swf/swf_bit_reader.h"
#include "swf/swf_tag_header.h"

namespace tembrel {

namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::uint32_t kSmallestTemplate = 21;  // anything of 20 bytes or less is refused

}  // namespace

void SwfTemplate::Reset() {
    width_ = height_ = frameRate_ = frameCount_ = 0;
    version_ = 0;
    data_.clear();
    data_.shrink_to_fit();
    firstTag_ = 0;
    // Entries of an earlier movie would point into data that is gone.
    tags_.clear();
    iteration_ = 0;
    backgroundColour_ = 0xFFFFFF;
}

bool SwfTemplate::LoadTemplate(const std::string& path) {
    Reset();
    OsFile file;
    if (!file.OpenForReading(path)) return false;
    std::uint8_t header[kHeaderBytes];
    if (file.Read(header, kHeaderBytes) != static_cast<std::int64_t>(kHeaderBytes)) return false;
    if (header[0] != 'F' || header[1] != 'W' || header[2] != 'S') return false;
    std::uint32_t size = header[4] | (header[5] << 8) | (header[6] << 16) | (static_cast<std::uint32_t>(header[7]) << 24);
    if (size < kSmallestTemplate) return false;
    // A length field beyond the file would only end in a short read; refuse
    // it before allocating whatever the field claims.
    std::int64_t fileSize = file.Size();
    if (fileSize >= 0 && static_cast<std::uint64_t>(fileSize) < size) return false;
    ByteBuffer bytes(size);
    std::memcpy(bytes.data(), header, kHeaderBytes);
    std::size_t want = size - kHeaderBytes;
    std::size_t got = 0;
    while (got < want) {
        std::int64_t n = file.Read(bytes.data() + kHeaderBytes + got, want - got);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return LoadTemplateBytes(std::move(bytes));
}

bool SwfTemplate::LoadTemplateBytes(ByteBuffer bytes) {
    Reset();
    if (bytes.size() < kSmallestTemplate || bytes.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    if (bytes[0] != 'F' || bytes[1] != 'W' || bytes[2] != 'S') return false;
    std::uint32_t size = bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) | (static_cast<std::uint32_t>(bytes[7]) << 24);
    if (size < kSmallestTemplate || size > bytes.size()) return false;
    bytes.resize(size);  // a movie longer than its length field is taken up to the length
    bytes.shrink_to_fit();

    SwfBitReader reader(bytes.data(), kHeaderBytes, bytes.size());
    int bits = static_cast<int>(reader.ReadUBits(5));
    std::int64_t xMin = reader.ReadSBits(bits);
    std::int64_t xMax = reader.ReadSBits(bits);
    std::int64_t yMin = reader.ReadSBits(bits);
    std::int64_t yMax = reader.ReadSBits(bits);
    std::uint32_t rate = reader.ReadU16();
    std::uint32_t frames = reader.ReadU16();
    // The header must end inside the data, or nothing after it can be found.
    if (!reader.Ok()) return false;

    version_ = bytes[3];
    width_ = static_cast<int>((xMax - xMin) / 20);
    height_ = static_cast<int>((yMax - yMin) / 20);
    frameRate_ = static_cast<int>(rate >> 8);
    frameCount_ = static_cast<int>(frames);
    firstTag_ = static_cast<std::uint32_t>(reader.Position());
    data_ = std::move(bytes);
    return true;
}

bool SwfTemplate::ScanAndRecolour() {
    tags_.clear();
    iteration_ = 0;
    std::size_t cursor = firstTag_;
    const std::size_t size = data_.size();
    while (cursor < size) {
        SwfTagExtent tag;
        // A tag that does not fit is neither listed (builders copy listed
        // tags whole) nor looked into.
        if (!ReadTagExtent(data_.data(), cursor, size, tag)) break;
        tags_.push_back({static_cast<std::uint16_t>(tag.code), static_cast<std::uint32_t>(tag.start),
                         static_cast<std::uint32_t>(tag.bodyEnd - tag.start)});
        if (!colours_.Empty()) RecolourTag(tag.code, tag.bodyStart, tag.bodyEnd, 0);
        if (tag.code == kTagEnd || tag.bodyEnd >= size) break;
        cursor = tag.bodyEnd;
    }
    return true;
}

const std::uint8_t* SwfTemplate::NextTag(unsigned& code, std::uint32_t& length) {
    if (iteration_ >= tags_.size()) return nullptr;
    const TagEntry& entry = tags_[iteration_++];
    code = entry.code;
    length = entry.length;
    return data_.data() + entry.offset;
}

bool SwfTemplate::SaveTemplate(const std::string& path) const {
    if (data_.empty()) return false;
    OsFile file;
    if (!file.CreateForWriting(path)) return false;
    if (!file.Write(data_.data(), data_.size())) {
        file.Close();
        DeleteFileAt(path);
        return false;
    }
    return true;
}

}  // namespace tembrel
