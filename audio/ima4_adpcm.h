#pragma once
// Apple IMA4 ADPCM (AIFC "ima4"): 34-byte packets of 64 samples per channel.
#include <cstdint>

namespace tembrel {

constexpr int kIma4PacketBytes = 34;
constexpr int kIma4PacketSamples = 64;

// Decodes one packet: a big-endian header whose upper nine bits are the
// starting predictor and whose low seven bits are the step index, then 64
// codes, low nibble first.
void DecodeIma4Packet(const std::uint8_t* packet, std::int16_t* out);

}  // namespace tembrel
