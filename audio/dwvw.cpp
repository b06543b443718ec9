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
        if (count < 8 && bufferEnd_ == 0) return false;
        // Past the end the accumulator is padded with zero bits.
        bits_ = (bits_ << 8) & 0xFFFFFFFFFFull;
        if (bufferIndex_ < bufferEnd_) bits_ |= buffer_[bufferIndex_++];
        bitCount_ += 8;
    }
    return true;
}

int DwvwDecoder::LoadBits(int count) {
    if (!Fill(count)) return -1;
    int value = static_cast<int>((bits_ >> (bitCount_ - count)) & ((1ull << count) - 1));
    bitCount_ -= count;
    return value;
}

int DwvwDecoder::LoadWidthModifier() {
    if (!Fill(maxModifier_)) return -1;
    int modifier = 0;
    while (modifier < maxModifier_) {
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
        if (modifier != 0 && LoadBits(1) == 1) modifier = -modifier;
        int width = (modifier + lastDeltaWidth_ + bitWidth_) % bitWidth_;
        int delta = 0;
        if (width > 0) {
            int low = width > 1 ? LoadBits(width - 1) : 0;
            delta = (low < 0 ? 0 : low) | (1 << (width - 1));
            bool negative = LoadBits(1) == 1;
            if (delta == maxDelta_ - 1) {
                int extra = LoadBits(1);
                if (extra > 0) delta += extra;
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
