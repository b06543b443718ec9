#pragma once
// Loads of little- and big-endian integers and IEEE floats from raw bytes.
#include <cstdint>
#include <cstring>

namespace tembrel {

inline std::uint16_t LoadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint16_t LoadBe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t LoadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint32_t LoadBe32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
inline std::uint64_t LoadLe64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(LoadLe32(p)) | (static_cast<std::uint64_t>(LoadLe32(p + 4)) << 32);
}
inline std::uint64_t LoadBe64(const std::uint8_t* p) {
    return (static_cast<std::uint64_t>(LoadBe32(p)) << 32) | static_cast<std::uint64_t>(LoadBe32(p + 4));
}
inline std::uint32_t Load32(const std::uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadBe32(p) : LoadLe32(p);
}
inline float LoadFloat32(const std::uint8_t* p, bool bigEndian) {
    std::uint32_t bits = Load32(p, bigEndian);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
inline double LoadFloat64(const std::uint8_t* p, bool bigEndian) {
    std::uint64_t bits = bigEndian ? LoadBe64(p) : LoadLe64(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace tembrel
