#include "swf/swf_bit_reader.h"

namespace tembrel {

std::uint32_t SwfBitReader::ReadU8() {
    Align();
    if (!ok_ || end_ - pos_ < 1) return Fail();
    return data_[pos_++];
}

std::uint32_t SwfBitReader::ReadU16() {
    Align();
    if (!ok_ || end_ - pos_ < 2) return Fail();
    std::uint32_t value = data_[pos_] | (static_cast<std::uint32_t>(data_[pos_ + 1]) << 8);
    pos_ += 2;
    return value;
}

std::uint32_t SwfBitReader::ReadU32() {
    Align();
    if (!ok_ || end_ - pos_ < 4) return Fail();
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | data_[pos_ + i];
    pos_ += 4;
    return value;
}

void SwfBitReader::SkipBytes(std::size_t count) {
    Align();
    if (!ok_ || end_ - pos_ < count) {
        Fail();
        return;
    }
    pos_ += count;
}

void SwfBitReader::SkipString() {
    Align();
    while (ok_) {
        if (end_ - pos_ < 1) {
            Fail();
            return;
        }
        if (data_[pos_++] == 0) return;
    }
}

std::uint8_t* SwfBitReader::TakeBytes(std::size_t count) {
    Align();
    if (!ok_ || end_ - pos_ < count) {
        Fail();
        return nullptr;
    }
    std::uint8_t* bytes = data_ + pos_;
    pos_ += count;
    return bytes;
}

std::uint32_t SwfBitReader::ReadUBits(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count && ok_; ++i) {
        if (bitsLeft_ == 0) {
            if (end_ - pos_ < 1) return Fail();
            current_ = data_[pos_++];
            bitsLeft_ = 8;
        }
        --bitsLeft_;
        value = (value << 1) | ((current_ >> bitsLeft_) & 1u);
    }
    return ok_ ? value : 0;
}

std::int32_t SwfBitReader::ReadSBits(int count) {
    std::uint32_t value = ReadUBits(count);
    if (count <= 0 || count >= 32) return static_cast<std::int32_t>(value);
    // Sign-extend from the field's top bit.
    std::uint32_t sign = 1u << (count - 1);
    return static_cast<std::int32_t>((value ^ sign) - sign);
}

void SwfBitReader::SkipBits(std::uint64_t count) {
    if (!ok_) return;
    if (count <= static_cast<std::uint64_t>(bitsLeft_)) {
        bitsLeft_ -= static_cast<int>(count);
        return;
    }
    count -= static_cast<std::uint64_t>(bitsLeft_);
    bitsLeft_ = 0;
    std::uint64_t wholeBytes = count / 8;
    int rest = static_cast<int>(count % 8);
    if (end_ - pos_ < wholeBytes) {
        Fail();
        return;
    }
    pos_ += static_cast<std::size_t>(wholeBytes);
    ReadUBits(rest);
}

void SwfBitReader::SkipRect() {
    Align();  // RECT and MATRIX records start on a byte
    int bits = static_cast<int>(ReadUBits(5));
    SkipBits(4u * static_cast<std::uint64_t>(bits));
}

void SwfBitReader::SkipMatrix() {
    Align();
    if (ReadUBits(1)) {  // HasScale
        int bits = static_cast<int>(ReadUBits(5));
        SkipBits(2u * static_cast<std::uint64_t>(bits));
    }
    if (ReadUBits(1)) {  // HasRotate
        int bits = static_cast<int>(ReadUBits(5));
        SkipBits(2u * static_cast<std::uint64_t>(bits));
    }
    int bits = static_cast<int>(ReadUBits(5));  // translate
    SkipBits(2u * static_cast<std::uint64_t>(bits));
}

}  // namespace tembrel
