#pragma once
// Conversions of stored sample values to the 16-bit samples Read delivers.
#include <cmath>
#include <cstdint>

namespace tembrel {

// Float samples are scaled to the 32-bit range, truncated and narrowed to
// their upper 16 bits. Values beyond -1..1 (and NaN) would overflow the
// 32-bit conversion, so they are clamped first.
inline std::int16_t FloatToSample16(double value) {
    if (!(value >= -1.0)) value = std::isnan(value) ? 0.0 : -1.0;
    if (value > 1.0) value = 1.0;
    auto wide = static_cast<std::int32_t>(std::trunc(value * 2147483647.0));
    return static_cast<std::int16_t>(wide >> 16);
}

// The upper 16 bits of a 32-bit sample (arithmetic shift).
inline std::int16_t Int32ToSample16(std::uint32_t bits) {
    return static_cast<std::int16_t>(static_cast<std::int32_t>(bits) >> 16);
}

inline void StoreSample16(std::uint8_t* out, std::int16_t value) {
    auto u = static_cast<std::uint16_t>(value);
    out[0] = static_cast<std::uint8_t>(u & 0xFF);
    out[1] = static_cast<std::uint8_t>(u >> 8);
}

}  // namespace tembrel
