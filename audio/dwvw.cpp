#include "audio/dwvw.h"

namespace tembrel {

DwvwDecoder::DwvwDecoder(int bitWidth, Refill refill)
    : maxModifier_(bitWidth / 2),
      bitWidth_(bitWidth),
      maxDelta_(1 << (bitWidth - 1)),
      span_(1 << bitWidth),
      refill_(std::move(refill)) {}

bool DwvwDecoder::Fill(int count) {
    while (bitCount_ < count) {
        if (bufferIndex_ >= bufferEnd_) {
            bufferEnd_ = refill_ ? refill_(buffer_, sizeof buffer_) : 0;
            if (bufferEnd_ > sizeof buffer_) bufferEnd_ = sizeof buffer_;
            bufferIndex_ = 0;
        }
        // Once the data are used up no bits are made up: padding the
        // accumulator with zeros would decode values without end.
        if (bufferEnd_ == 0) return false;
        bits_ = ((bits_ << 8) | buffer_[bufferIndex_++]) & 0xFFFFFFFFFFull;
        bitCount_ += 8;
    }
    return true;
}

int DwvwDecoder::LoadBits(int count) {
    if (count == 0) return 0;
    if (!Fill(count)) return -1;
    int value = static_cast<int>((bits_ >> (bitCount_ - count)) & ((1ull << count) - 1));
    bitCount_ -= count;
    return value;
}

int DwvwDecoder::LoadWidthModifier() {
    // Near the end fewer bits than the longest modifier may remain; the
    // modifier may still end within them.
    Fill(maxModifier_);
    int modifier = 0;
    while (modifier < maxModifier_) {
        if (bitCount_ == 0) return -1;
        bitCount_ -= 1;
        if (bits_ & (1ull << bitCount_)) break;
        ++modifier;
    }
    return modifier;
}

int DwvwDecoder::Decode(std::int32_t* out, int count) {
    int done = 0;
    int sample = lastSample_;
    while (done < count) {
        int modifier = LoadWidthModifier();
        if (modifier < 0) break;
        if (modifier != 0) {
            int sign = LoadBits(1);
            if (sign < 0) break;
            if (sign == 1) modifier = -modifier;
        }
        int width = (modifier + lastDeltaWidth_ + bitWidth_) % bitWidth_;
        int delta = 0;
        if (width > 0) {
            int low = LoadBits(width - 1);
            int negative = LoadBits(1);
            if (low < 0 || negative < 0) break;  // the value is cut off by the end of the data
            delta = low | (1 << (width - 1));
            if (delta == maxDelta_ - 1) {
                int extra = LoadBits(1);
                if (extra < 0) break;
                delta += extra;
            }
            if (negative) delta = -delta;
        }
        sample += delta;
        if (sample >= maxDelta_) {
            sample -= span_;
        } else if (sample < -maxDelta_) {
            sample += span_;
        }
        out[done] = static_cast<std::int32_t>(static_cast<std::uint32_t>(sample) << (32 - bitWidth_));
        if (bufferEnd_ == 0 && bitCount_ == 0) break;
        lastDeltaWidth_ = width;
        lastSample_ = sample;
        ++done;
    }
    return done;
}

}  // namespace tembrel
