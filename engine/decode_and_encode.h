#pragma once
// The decode-and-encode stage: one source file in, one constant-bit-rate MP3
// file out, trimmed and changed in volume as the settings say.
#include <memory>
#include <string>

#include "engine/conversion_settings.h"
#include "engine/run_results.h"

namespace tembrel {

class AudioSource;
class ConversionUi;

// Output parameters LAME is given for a source.
struct Mp3OutputChoice {
    int sampleRate = 0;  // Hz
    int bitrate = 0;     // kbit/s
    int mode = -1;       // 3 (mono) when set, -1 when LAME keeps its default
};

// Automatic: above 22050 Hz 44100 Hz at 128 kbit/s, else 22050 Hz at 96;
// mono sources get half the bit rate in mono mode. Custom: MP3SampleRate
// (44100 when below 1) and MP3BitRate; MP3ChannelNum 1 mixes a stereo
// source down to mono.
Mp3OutputChoice ChooseMp3Output(const ConversionSettings& settings, int sourceRate, int sourceChannels);

// Source rate the stage asks for (tracker music is rendered at it).
int WantedSourceRate(const ConversionSettings& settings);

// Bytes the temporary spool of one source takes: 16 bits per sample and
// channel.
std::uint64_t SpoolBytesNeeded(std::uint64_t samples, int channels);
// Why bytesNeeded do not fit the free space of folder; "" when they do (or
// the free space cannot be found out).
std::string SpoolSpaceProblem(std::uint64_t bytesNeeded, const std::string& folder);
// "the source ended after 2.5 of 5.0 s; the file may be cut short".
std::string EndedShortNote(std::uint64_t decoded, std::uint64_t declared, int rate);

// Samples of rate in ms milliseconds, truncated.
std::uint64_t MillisecondsToSamples(int ms, int rate);

// Decodes sourcePath (typeCode chooses the reader) and encodes it into the
// existing file mp3Path. True when the MP3 is complete; then *sound
// describes it, and *reason says what is wrong beside it ("" when nothing
// is): the source ended well before the length it declared.
// Before decoding, a source whose spool would not fit the free space of the
// temporary folder fails at once.
// False on any failure or cancel (ui->PumpMessages() true), with the reason
// in *reason when given; the MP3 file is then deleted. ui may be null (no
// progress, no cancel).
bool DecodeAndEncode(const ConversionSettings& settings, int typeCode, const std::string& sourcePath,
                     const std::string& mp3Path, ConversionUi* ui, EncodedSound* sound,
                     std::string* reason = nullptr);

// The same stage on a source that is already open (DecodeAndEncode opens it
// by the source selection and calls this). sourcePath names the file in the
// progress text. The source is closed before this returns.
bool EncodeOpenedSource(const ConversionSettings& settings, std::unique_ptr<AudioSource> source,
                        const std::string& sourcePath, const std::string& mp3Path, ConversionUi* ui,
                        EncodedSound* sound, std::string* reason = nullptr);

}  // namespace tembrel
