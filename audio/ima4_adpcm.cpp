#include "audio/ima4_adpcm.h"

#include <algorithm>

#include "audio/byte_order.h"
#include "audio/ima_adpcm.h"

namespace tembrel {

void DecodeIma4Packet(const std::uint8_t* packet, std::int16_t* out) {
    std::uint16_t header = LoadBe16(packet);
    int predictor = static_cast<std::int16_t>(header & 0xFF80);
    int stepIndex = std::min(header & 0x7F, 88);
    for (int i = 0; i < kIma4PacketSamples; ++i) {
        int code = (packet[2 + i / 2] >> ((i & 1) * 4)) & 0x0F;
        // Clamped rather than wrapped: a wrap turns an overshoot into a
        // full-scale click.
        out[i] = static_cast<std::int16_t>(ImaExpandNibble(code, predictor, stepIndex));
    }
}

}  // namespace tembrel
