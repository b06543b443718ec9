#include "audio/g72x.h"

#include <cstdlib>

namespace tembrel {

namespace {

const std::int16_t kPowerOfTwo[15] = {1,     2,     4,     8,     0x10,   0x20,   0x40,  0x80,
                                      0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000, 0x4000};

// G.721: log of the quantised difference, scale factor multiplier and speed
// control weight per 4-bit code.
const std::int16_t kG721DqLn[16] = {-2048, 4, 135, 213, 273, 323, 373, 425,
                                    425,   373, 323, 273, 213, 135, 4, -2048};
const std::int16_t kG721Wi[16] = {-12, 18, 41, 64, 112, 198, 355, 1122,
                                  1122, 355, 198, 112, 64, 41, 18, -12};
const std::int16_t kG721Fi[16] = {0, 0, 0, 0x200, 0x200, 0x200, 0x600, 0xE00,
                                  0xE00, 0x600, 0x200, 0x200, 0x200, 0, 0, 0};

// G.723 at 24 kbit/s, 3-bit codes.
const std::int16_t kG723_24DqLn[8] = {-2048, 135, 273, 373, 373, 273, 135, -2048};
const std::int16_t kG723_24Wi[8] = {-128, 960, 4384, 18624, 18624, 4384, 960, -128};
const std::int16_t kG723_24Fi[8] = {0, 0x200, 0x400, 0xE00, 0xE00, 0x400, 0x200, 0};

// G.723 at 40 kbit/s, 5-bit codes.
const std::int16_t kG723_40DqLn[32] = {-2048, -66, 28,  104, 169, 224, 274, 318, 358, 395, 429,
                                       459,   488, 514, 539, 566, 566, 539, 514, 488, 459, 429,
                                       395,   358, 318, 274, 224, 169, 104, 28,  -66, -2048};
const std::int16_t kG723_40Wi[32] = {448,   448,   768,   1248,  1280,  1312,  1856,  3200,
                                     4512,  5728,  7008,  8960,  11456, 14080, 16928, 22272,
                                     22272, 16928, 14080, 11456, 8960,  7008,  5728,  4512,
                                     3200,  1856,  1312,  1280,  1248,  768,   448,   448};
const std::int16_t kG723_40Fi[32] = {0,     0,     0,     0,     0,     0x200, 0x200, 0x200,
                                     0x200, 0x200, 0x400, 0x600, 0x800, 0xA00, 0xC00, 0xC00,
                                     0xC00, 0xC00, 0xA00, 0x800, 0x600, 0x400, 0x200, 0x200,
                                     0x200, 0x200, 0x200, 0,     0,     0,     0,     0};

// Index of the first table entry above val (the table size when none is).
int Quantise(int val, const std::int16_t* table, int size) {
    int i = 0;
    while (i < size && val >= table[i]) ++i;
    return i;
}

// Multiplies a predictor coefficient by a signal in the 4-bit exponent,
// 6-bit mantissa floating form (FMULT).
int FloatMultiply(int an, int srn) {
    std::int16_t anmag = static_cast<std::int16_t>(an > 0 ? an : ((-an) & 0x1FFF));
    std::int16_t anexp = static_cast<std::int16_t>(Quantise(anmag, kPowerOfTwo, 15) - 6);
    std::int16_t anmant = static_cast<std::int16_t>(anmag == 0 ? 32 : anexp >= 0 ? anmag >> anexp : anmag << -anexp);
    std::int16_t wanexp = static_cast<std::int16_t>(anexp + ((srn >> 6) & 0xF) - 13);
    std::int16_t wanmant = static_cast<std::int16_t>((anmant * (srn & 077) + 0x30) >> 4);
    std::int16_t retval = static_cast<std::int16_t>(wanexp >= 0 ? ((wanmant << wanexp) & 0x7FFF) : (wanmant >> -wanexp));
    return ((an ^ srn) < 0) ? -retval : retval;
}

int PredictorZero(const G72xState& s) {
    int sezi = FloatMultiply(s.b[0] >> 2, s.dq[0]);
    for (int i = 1; i < 6; ++i) sezi += FloatMultiply(s.b[i] >> 2, s.dq[i]);
    return sezi;
}

int PredictorPole(const G72xState& s) {
    return FloatMultiply(s.a[1] >> 2, s.sr[1]) + FloatMultiply(s.a[0] >> 2, s.sr[0]);
}

// Quantiser scale factor, mixed from the fast and slow factors.
int StepSize(const G72xState& s) {
    if (s.ap >= 256) return s.yu;
    int y = s.yl >> 6;
    int dif = s.yu - y;
    int al = s.ap >> 2;
    if (dif > 0) {
        y += (dif * al) >> 6;
    } else if (dif < 0) {
        y += (dif * al + 0x3F) >> 6;
    }
    return y;
}

// Quantised difference signal from its log magnitude and the scale factor.
int Reconstruct(int sign, int dqln, int y) {
    std::int16_t dql = static_cast<std::int16_t>(dqln + (y >> 2));
    if (dql < 0) return sign ? -0x8000 : 0;
    std::int16_t dex = static_cast<std::int16_t>((dql >> 7) & 15);
    std::int16_t dqt = static_cast<std::int16_t>(128 + (dql & 127));
    std::int16_t dq = static_cast<std::int16_t>((dqt << 7) >> (14 - dex));
    return sign ? (dq - 0x8000) : dq;
}

// Converts a magnitude to the 4-bit exponent, 6-bit mantissa form.
std::int16_t ToFloatForm(int mag) {
    int exp = Quantise(mag, kPowerOfTwo, 15);
    return static_cast<std::int16_t>((exp << 6) + ((mag << 6) >> exp));
}

void Update(int codeBits, int y, int wi, int fi, int dq, int sr, int dqsez, G72xState& s) {
    int pk0 = dqsez < 0 ? 1 : 0;
    int mag = dq & 0x7FFF;

    // Tone and transition detector.
    int ylint = s.yl >> 15;
    int ylfrac = (s.yl >> 10) & 0x1F;
    int thr1 = (32 + ylfrac) << ylint;
    int thr2 = ylint > 9 ? 31 << 10 : thr1;
    int dqthr = (thr2 + (thr2 >> 1)) >> 1;
    bool tr = s.td != 0 && mag > dqthr;

    // Quantiser scale factor adaptation.
    int yu = y + ((wi - y) >> 5);
    if (yu < 544) yu = 544;
    if (yu > 5120) yu = 5120;
    s.yu = static_cast<std::int16_t>(yu);
    s.yl += s.yu + ((-s.yl) >> 6);

    int a2p = 0;
    if (tr) {
        s.a[0] = s.a[1] = 0;
        for (auto& b : s.b) b = 0;
    } else {
        int pks1 = pk0 ^ s.pk[0];
        a2p = s.a[1] - (s.a[1] >> 7);
        if (dqsez != 0) {
            int fa1 = pks1 ? s.a[0] : -s.a[0];
            if (fa1 < -8191) {
                a2p -= 0x100;
            } else if (fa1 > 8191) {
                a2p += 0xFF;
            } else {
                a2p += fa1 >> 5;
            }
            if (pk0 ^ s.pk[1]) {
                if (a2p <= -12160) {
                    a2p = -12288;
                } else if (a2p >= 12416) {
                    a2p = 12288;
                } else {
                    a2p -= 0x80;
                }
            } else if (a2p <= -12416) {
                a2p = -12288;
            } else if (a2p >= 12160) {
                a2p = 12288;
            } else {
                a2p += 0x80;
            }
        }
        s.a[1] = static_cast<std::int16_t>(a2p);

        int a0 = s.a[0] - (s.a[0] >> 8);
        if (dqsez != 0) a0 += pks1 == 0 ? 192 : -192;
        int a1ul = 15360 - a2p;
        if (a0 < -a1ul) {
            a0 = -a1ul;
        } else if (a0 > a1ul) {
            a0 = a1ul;
        }
        s.a[0] = static_cast<std::int16_t>(a0);

        for (int i = 0; i < 6; ++i) {
            int b = s.b[i];
            b -= codeBits == 5 ? (b >> 9) : (b >> 8);
            if (dq & 0x7FFF) b += ((dq ^ s.dq[i]) >= 0) ? 128 : -128;
            s.b[i] = static_cast<std::int16_t>(b);
        }
    }

    for (int i = 5; i > 0; --i) s.dq[i] = s.dq[i - 1];
    if (mag == 0) {
        s.dq[0] = static_cast<std::int16_t>(dq >= 0 ? 0x20 : 0xFC20);
    } else {
        s.dq[0] = static_cast<std::int16_t>(dq >= 0 ? ToFloatForm(mag) : ToFloatForm(mag) - 0x400);
    }

    s.sr[1] = s.sr[0];
    if (sr == 0) {
        s.sr[0] = 0x20;
    } else if (sr > 0) {
        s.sr[0] = ToFloatForm(sr);
    } else if (sr > -32768) {
        s.sr[0] = static_cast<std::int16_t>(ToFloatForm(-sr) - 0x400);
    } else {
        s.sr[0] = static_cast<std::int16_t>(0xFC20);
    }

    s.pk[1] = s.pk[0];
    s.pk[0] = static_cast<std::int16_t>(pk0);

    if (tr) {
        s.td = 0;
    } else {
        s.td = a2p < -11776 ? 1 : 0;
    }

    // Adaptation speed control.
    s.dms = static_cast<std::int16_t>(s.dms + ((fi - s.dms) >> 5));
    s.dml = static_cast<std::int16_t>(s.dml + (((fi << 2) - s.dml) >> 7));
    int ap = s.ap;
    if (tr) {
        ap = 256;
    } else if (y < 1536 || s.td == 1 || std::abs((s.dms << 2) - s.dml) >= (s.dml >> 3)) {
        ap += (0x200 - ap) >> 4;
    } else {
        ap += (-ap) >> 4;
    }
    s.ap = static_cast<std::int16_t>(ap);
}

}  // namespace

int G72xCodeBits(G72xRate rate) {
    switch (rate) {
        case G72xRate::G721_32: return 4;
        case G72xRate::G723_24: return 3;
        case G72xRate::G723_40: return 5;
    }
    return 4;
}

std::int16_t G72xDecode(G72xRate rate, int code, G72xState& state) {
    const std::int16_t* dqln;
    int wi;
    int fi;
    int signBit;
    switch (rate) {
        case G72xRate::G723_24:
            code &= 0x07;
            dqln = kG723_24DqLn;
            wi = kG723_24Wi[code];
            fi = kG723_24Fi[code];
            signBit = code & 0x04;
            break;
        case G72xRate::G723_40:
            code &= 0x1F;
            dqln = kG723_40DqLn;
            wi = kG723_40Wi[code];
            fi = kG723_40Fi[code];
            signBit = code & 0x10;
            break;
        case G72xRate::G721_32:
        default:
            code &= 0x0F;
            dqln = kG721DqLn;
            wi = kG721Wi[code] << 5;
            fi = kG721Fi[code];
            signBit = code & 0x08;
            break;
    }
    std::int16_t sezi = static_cast<std::int16_t>(PredictorZero(state));
    std::int16_t sez = static_cast<std::int16_t>(sezi >> 1);
    std::int16_t sei = static_cast<std::int16_t>(sezi + PredictorPole(state));
    std::int16_t se = static_cast<std::int16_t>(sei >> 1);
    std::int16_t y = static_cast<std::int16_t>(StepSize(state));
    std::int16_t dq = static_cast<std::int16_t>(Reconstruct(signBit, dqln[code], y));
    std::int16_t sr = static_cast<std::int16_t>(dq < 0 ? (se - (dq & 0x3FFF)) : se + dq);
    std::int16_t dqsez = static_cast<std::int16_t>(sr - se + sez);
    Update(G72xCodeBits(rate), y, wi, fi, dq, sr, dqsez, state);
    return static_cast<std::int16_t>(sr << 2);
}

}  // namespace tembrel
