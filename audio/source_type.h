#pragma once
// File-type codes by extension; they choose the reader of a source file.

namespace tembrel {

constexpr int kSourceTypeWav = 2000;    // .wav, .wave
constexpr int kSourceTypeAiff = 2100;   // .aiff, .aif, .aifc, .afc
constexpr int kSourceTypeAu = 3000;     // .au, .snd
constexpr int kSourceTypeOther = 6000;  // anything the decoding library may take

}  // namespace tembrel
