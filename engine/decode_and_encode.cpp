#include "engine/decode_and_encode.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "audio/audio_source.h"
#include "audio/source_selection.h"
#include "engine/conversion_ui.h"
#include "engine/mp3_encoder.h"
#include "platform/path_parts.h"
#include "engine/sample_gain.h"
#include "engine/temp_spool_file.h"
#include "platform/os_file.h"
#include "platform/temp_files.h"

namespace tembrel {
namespace {

// "6.35 GB": decimal units, as file managers and df -H show them.
std::string ByteCountText(std::uint64_t bytes) {
    const char* units[] = {"bytes", "kB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1000.0 && unit < 6) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.2f %s", value, units[unit]);
    return text;
}

// Per-file progress: 0-20 % while decoding, 20-100 % while encoding. The
// text changes only when the whole percentage grows, the bar only when its
// pixel position grows.
class StageProgress {
public:
    StageProgress(ConversionUi* ui, const std::string& fileName) : ui_(ui), fileName_(fileName) {}

    void Start(std::uint64_t target) {
        if (!ui_) return;
        barWidth_ = std::max(ui_->FileBarWidth(), 1);
        ui_->SetFileRange(barWidth_);
        ui_->SetFilePosition(0);
        percentDivisor_ = std::max<std::uint64_t>(target / 100, 1) * 5;
        positionDivisor_ = std::max<std::uint64_t>(target / barWidth_, 1) * 5;
    }

    // False when cancelled.
    bool Decoded(std::uint64_t decoded) {
        if (!ui_) return true;
        Show(std::min<std::uint64_t>(decoded / percentDivisor_, 20),
             std::min<std::uint64_t>(decoded / positionDivisor_, barWidth_));
        return !ui_->PumpMessages();
    }

    void StartEncoding(std::uint64_t samples) {
        if (!ui_) return;
        percentDivisor_ = std::max<std::uint64_t>(samples / 100, 1);
        positionDivisor_ = std::max<std::uint64_t>(samples / barWidth_, 1);
        startPosition_ = lastPosition_;
    }

    // False when cancelled.
    bool Encoded(std::uint64_t encoded) {
        if (!ui_) return true;
        const std::uint64_t q = encoded / percentDivisor_;
        const std::uint64_t qPosition = encoded / positionDivisor_;
        Show(std::min<std::uint64_t>(20 + q * 4 / 5, 100),
             std::min<std::uint64_t>(startPosition_ + qPosition * 4 / 5, barWidth_));
        return !ui_->PumpMessages();
    }

    // The bar ends full even when rounding left it a few pixels short.
    void Complete() {
        if (!ui_) return;
        if (lastPercent_ != 100) ui_->SetFileText(Text(100));
        if (lastPosition_ != static_cast<std::uint64_t>(barWidth_)) ui_->SetFilePosition(barWidth_);
        lastPercent_ = 100;
        lastPosition_ = barWidth_;
    }

private:
    std::string Text(std::uint64_t percent) const {
        return "Converting " + fileName_ + "..." + std::to_string(percent) + "%";
    }

    void Show(std::uint64_t percent, std::uint64_t position) {
        if (percent > lastPercent_) {
            lastPercent_ = percent;
            ui_->SetFileText(Text(percent));
        }
        if (position > lastPosition_) {
            lastPosition_ = position;
            ui_->SetFilePosition(static_cast<int>(position));
        }
    }

    ConversionUi* ui_;
    std::string fileName_;
    int barWidth_ = 1;
    std::uint64_t percentDivisor_ = 1;
    std::uint64_t positionDivisor_ = 1;
    std::uint64_t lastPercent_ = 0;
    std::uint64_t lastPosition_ = 0;
    std::uint64_t startPosition_ = 0;
};

// Everything one call holds open; released in the order the stage needs on
// every way out: encoder finished, source closed, MP3 deleted on failure,
// spool files closed (which removes them).
struct StageRun {
    Mp3Encoder encoder;
    std::unique_ptr<AudioSource> source;
    TempSpoolFile spool[2];
    std::string mp3Path;
    bool encoderOpen = false;

    bool End(bool ok) {
        if (encoderOpen && !encoder.Finish()) ok = false;
        if (source) {
            source->Close();
            source.reset();
        }
        if (!ok && encoderOpen) DeleteFileAt(mp3Path);
        spool[0].Close();
        spool[1].Close();
        return ok;
    }
};

}  // namespace

int WantedSourceRate(const ConversionSettings& settings) {
    if (settings.AutoDestMP3EncodingParam != 0) return 44100;
    return settings.MP3SampleRate < 1 ? 44100 : settings.MP3SampleRate;
}

Mp3OutputChoice ChooseMp3Output(const ConversionSettings& settings, int sourceRate, int sourceChannels) {
    Mp3OutputChoice choice;
    if (settings.AutoDestMP3EncodingParam != 0) {
        if (sourceRate > 22050) {
            choice.sampleRate = 44100;
            choice.bitrate = 128;
        } else {
            choice.sampleRate = 22050;
            choice.bitrate = 96;
        }
        if (sourceChannels == 1) {
            choice.bitrate /= 2;
            choice.mode = 3;
        }
    } else {
        // A rate below 1 would leave the rate to LAME and the sample count
        // of the SWF at 0; take the rate the source was asked for instead.
        choice.sampleRate = settings.MP3SampleRate < 1 ? 44100 : settings.MP3SampleRate;
        choice.bitrate = settings.MP3BitRate;
        if (settings.MP3ChannelNum == 1 && sourceChannels != 1) choice.mode = 3;
    }
    return choice;
}

std::uint64_t SpoolBytesNeeded(std::uint64_t samples, int channels) {
    return samples * 2u * static_cast<std::uint64_t>(std::max(channels, 1));
}

std::string SpoolSpaceProblem(std::uint64_t bytesNeeded, const std::string& folder) {
    const std::optional<std::uint64_t> available = FreeBytesAt(folder);
    if (!available || *available >= bytesNeeded) return {};
    return "the sound needs " + ByteCountText(bytesNeeded) + " of temporary space in \"" + folder + "\", and only " +
           ByteCountText(*available) + " is free";
}

std::string EndedShortNote(std::uint64_t decoded, std::uint64_t declared, int rate) {
    char text[160];
    std::snprintf(text, sizeof text, "the source ended after %.1f of %.1f s; the file may be cut short",
                  static_cast<double>(decoded) / rate, static_cast<double>(declared) / rate);
    return text;
}

std::uint64_t MillisecondsToSamples(int ms, int rate) {
    const double samples = std::trunc(static_cast<double>(rate) * (ms * 0.001));
    return samples > 0 ? static_cast<std::uint64_t>(samples) : 0;
}

bool DecodeAndEncode(const ConversionSettings& settings, int typeCode, const std::string& sourcePath,
                     const std::string& mp3Path, ConversionUi* ui, EncodedSound* sound, std::string* reason) {
    if (sound) *sound = EncodedSound{};
    std::unique_ptr<AudioSource> source = OpenAudioSource(sourcePath, typeCode, WantedSourceRate(settings));
    if (!source) {
        if (reason) *reason = "the source cannot be opened or decoded";
        return false;
    }
    return EncodeOpenedSource(settings, std::move(source), sourcePath, mp3Path, ui, sound, reason);
}

bool EncodeOpenedSource(const ConversionSettings& settings, std::unique_ptr<AudioSource> opened,
                        const std::string& sourcePath, const std::string& mp3Path, ConversionUi* ui,
                        EncodedSound* sound, std::string* reason) {
    EncodedSound result;
    if (sound) *sound = result;
    const bool durationMode = settings.TrimLastType == 1 && settings.ConvertDuration > 0;

    StageRun run;
    run.mp3Path = mp3Path;
    run.source = std::move(opened);
    // Every way out of the stage but success says why.
    auto fail = [&](const std::string& why) {
        if (reason) *reason = why;
        return run.End(false);
    };
    auto failWithError = [&](const std::string& what) { return fail(what + ": " + std::strerror(errno ? errno : EIO)); };
    const char* cancelled = "cancelled";
    if (!run.source) return fail("the source cannot be opened or decoded");
    AudioSource& source = *run.source;
    const int rate = source.GetSampleRate();
    const int channels = source.GetChannels();
    // Readers promise 1 or 2 channels and a rate; a source that breaks the
    // promise would divide by zero or overrun the buffers below.
    if (rate < 1 || (channels != 1 && channels != 2))
        return fail("the source has " + std::to_string(channels) + " channels at " + std::to_string(rate) + " Hz");

    if (!run.encoder.Open(mp3Path)) {
        const int error = errno;
        run.encoder.Finish();
        errno = error;
        return failWithError("cannot write the temporary MP3 file \"" + mp3Path + "\"");
    }
    run.encoderOpen = true;
    run.encoder.SetChannels(channels);
    run.encoder.SetInSampleRate(rate);
    const Mp3OutputChoice output = ChooseMp3Output(settings, rate, channels);
    if (output.mode >= 0) run.encoder.SetMode(output.mode);
    run.encoder.SetOutSampleRate(output.sampleRate);
    run.encoder.SetBitrate(output.bitrate);
    const double ratio = static_cast<double>(output.sampleRate) / rate;
    if (!run.encoder.InitParams())
        return fail("the MP3 encoder refused " + std::to_string(output.sampleRate) + " Hz at " +
                    std::to_string(output.bitrate) + " kbit/s");

    // Every buffer holds a whole 16-bit block, whatever the sample width, so
    // a reader can never write past one.
    const bool eightBit = source.GetBitsPerSample() != 16;
    std::vector<std::int16_t> pcm[2];
    std::vector<std::uint8_t> raw[2];
    for (int c = 0; c < channels; ++c) {
        pcm[c].assign(kSamplesPerBlock, 0);
        if (eightBit) raw[c].assign(kBlockBufferBytes, 0);
    }
    void* readBuffer[2] = {nullptr, nullptr};
    for (int c = 0; c < channels; ++c)
        readBuffer[c] = eightBit ? static_cast<void*>(raw[c].data()) : static_cast<void*>(pcm[c].data());

    // In 64 bits: a source listed at the largest duration must not wrap.
    // No more than the file's bytes can hold, whatever length its header
    // (or the library reading it) gives.
    const std::uint64_t listed =
        (static_cast<std::uint64_t>(std::max(source.GetDuration(), 0)) + 1) * static_cast<std::uint64_t>(rate);
    const std::uint64_t cap = source.HoldableSamples() != 0 ? std::min(listed, source.HoldableSamples()) : listed;
    std::uint64_t target = cap;
    if (durationMode) {
        target = MillisecondsToSamples(settings.ConvertDuration, rate);
        if (settings.SkipFirstMs > 0) target += MillisecondsToSamples(settings.SkipFirstMs, rate);
        target = std::min(target, listed);
    }
    if (target == 0) target = 1;

    // The whole sound goes through the temporary folder first: a source
    // that cannot fit there fails now, not after filling the disk (or, on a
    // tmpfs, the memory).
    // The listed length and the file's size bound the need: a header may
    // claim more than the file holds.
    const std::uint64_t declared = source.DeclaredSamples();
    const std::uint64_t spooled = std::min(durationMode ? target : declared != 0 ? declared : cap, cap);
    const std::string spaceProblem = SpoolSpaceProblem(SpoolBytesNeeded(spooled, channels), TempFolder());
    if (!spaceProblem.empty()) return fail(spaceProblem);

    const bool applyGain = settings.ChangeVolume != 0 && settings.VolumeCoef != 100;
    const float gain = static_cast<float>(settings.VolumeCoef) * 0.01f;

    StageProgress progress(ui, FileNameOf(sourcePath));
    progress.Start(target);

    for (int c = 0; c < channels; ++c)
        if (!run.spool[c].Create()) return failWithError("cannot create a temporary file in \"" + TempFolder() + "\"");

    std::uint64_t decoded = 0;
    for (;;) {
        int n = source.Read(readBuffer[0], readBuffer[1]);
        if (n < 1) break;
        n = std::min(n, kSamplesPerBlock);
        decoded += static_cast<std::uint64_t>(n);
        if (!progress.Decoded(decoded)) return fail(cancelled);
        if (eightBit)
            for (int c = 0; c < channels; ++c) WidenEightBitSamples(raw[c].data(), pcm[c].data(), n);
        if (applyGain) ApplyGain(pcm[0].data(), channels == 2 ? pcm[1].data() : nullptr, n, channels, gain);
        for (int c = 0; c < channels; ++c)
            if (!run.spool[c].Write(pcm[c].data(), static_cast<std::size_t>(n) * 2))
                return failWithError("cannot write a temporary file in \"" + TempFolder() + "\"");
        if (durationMode && decoded >= target) break;
    }
    for (int c = 0; c < channels; ++c)
        if (!run.spool[c].Flush()) return failWithError("cannot write a temporary file in \"" + TempFolder() + "\"");

    // A source with nothing decoded gives no sound to embed.
    if (decoded == 0) return fail("the source has no samples");
    // A source that stopped well before the length it declared (more than
    // a block) is converted as far as it goes, and says so.
    std::string shortNote;
    if (!durationMode && declared > decoded + kSamplesPerBlock) shortNote = EndedShortNote(decoded, declared, rate);
    const std::string length = std::to_string(decoded * 1000 / static_cast<std::uint64_t>(rate)) + " ms";
    std::uint64_t remaining = decoded;
    std::uint64_t skip = 0;
    if (settings.SkipFirstMs > 0) {
        skip = MillisecondsToSamples(settings.SkipFirstMs, rate);
        if (skip >= remaining)
            return fail("skipping the first " + std::to_string(settings.SkipFirstMs) +
                        " ms leaves nothing of a source of " + length);
        remaining -= skip;
    }
    for (int c = 0; c < channels; ++c)
        if (!run.spool[c].SeekTo(skip * 2)) return failWithError("cannot read a temporary file back");
    if (settings.TrimLastType == 0 && settings.SkipLastMs > 0) {
        const std::uint64_t cut = MillisecondsToSamples(settings.SkipLastMs, rate);
        if (cut >= remaining)
            return fail("skipping the last " + std::to_string(settings.SkipLastMs) + " ms leaves nothing of a source of " +
                        length);
        remaining -= cut;
    }
    if (remaining == 0) return fail("the source has no samples");

    // The SWF sound header has 32 bits for the count; more would not fit
    // and must not wrap around.
    const double outputSamples = std::trunc(static_cast<double>(remaining) * ratio);
    result.sampleCount = outputSamples >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(outputSamples);
    result.durationSeconds = static_cast<std::uint32_t>(remaining / static_cast<std::uint64_t>(rate));

    progress.StartEncoding(remaining);
    std::uint64_t encoded = 0;
    while (remaining > 0) {
        const int k = static_cast<int>(std::min<std::uint64_t>(remaining, kSamplesPerBlock));
        for (int c = 0; c < channels; ++c)
            if (run.spool[c].Read(pcm[c].data(), static_cast<std::size_t>(k) * 2) != k * 2)
                return failWithError("cannot read a temporary file back");
        encoded += static_cast<std::uint64_t>(k);
        remaining -= static_cast<std::uint64_t>(k);
        if (!progress.Encoded(encoded)) return fail(cancelled);
        if (!run.encoder.EncodeBlock(pcm[0].data(), channels == 2 ? pcm[1].data() : nullptr, k))
            return failWithError("cannot write the temporary MP3 file \"" + mp3Path + "\"");
    }
    progress.Complete();
    if (sound) *sound = result;
    if (!run.End(true)) {
        if (reason) *reason = "cannot finish the temporary MP3 file \"" + mp3Path + "\": " + std::strerror(errno ? errno : EIO);
        return false;
    }
    if (reason) *reason = shortNote;
    return true;
}

}  // namespace tembrel
