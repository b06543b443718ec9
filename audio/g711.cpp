#include "audio/g711.h"

namespace tembrel {

std::int16_t ALawToLinear(std::uint8_t code) {
    code ^= 0x55;  // even bits are inverted on the line
    int sign = code & 0x80;
    int exponent = (code >> 4) & 0x07;
    int mantissa = code & 0x0F;
    int magnitude = exponent == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (exponent - 1);
    return static_cast<std::int16_t>(sign ? magnitude : -magnitude);
}

std::int16_t MuLawToLinear(std::uint8_t code) {
    code = static_cast<std::uint8_t>(~code);
    int sign = code & 0x80;
    int exponent = (code >> 4) & 0x07;
    int mantissa = code & 0x0F;
    int magnitude = (((mantissa << 3) + 0x84) << exponent) - 0x84;
    return static_cast<std::int16_t>(sign ? -magnitude : magnitude);
}

}  // namespace tembrel
