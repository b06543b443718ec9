#include "audio/gsm610.h"

extern "C" {
#include <gsm.h>
}

namespace tembrel {

Gsm610Decoder::Gsm610Decoder(bool wav49) : wav49_(wav49) {
    gsm state = gsm_create();
    if (state && wav49) {
        int on = 1;
        gsm_option(state, GSM_OPT_WAV49, &on);
    }
    state_ = state;
}

Gsm610Decoder::~Gsm610Decoder() {
    if (state_) gsm_destroy(static_cast<gsm>(state_));
}

bool Gsm610Decoder::Decode(const std::uint8_t* data, std::int16_t* out) {
    auto state = static_cast<gsm>(state_);
    if (!state) return false;
    // libgsm takes non-const frames but only reads them.
    auto* frame = const_cast<gsm_byte*>(data);
    if (gsm_decode(state, frame, out) < 0) return false;
    if (wav49_ && gsm_decode(state, frame + kGsmFrameBytes, out + kGsmFrameSamples) < 0) return false;
    return true;
}

}  // namespace tembrel
