#pragma once
// ITU-T G.711 A-law and µ-law expansion to 16-bit linear PCM.
#include <cstdint>

namespace tembrel {

std::int16_t ALawToLinear(std::uint8_t code);
std::int16_t MuLawToLinear(std::uint8_t code);

}  // namespace tembrel
