// The decode-and-encode stage on sound files made at test time by sox and
// FFmpeg: the MP3 it writes is read back by ffprobe/FFmpeg at the expected
// rate, channel count, bit rate and length; trimming, duration mode, gain,
// progress, cancel and failures; nothing left in the temporary folder.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#include "audio/bass_audio_source.h"
#include "audio/source_type.h"
#include "engine/conversion_ui.h"
#include "engine/decode_and_encode.h"
#include "engine/sample_gain.h"
#include "platform/temp_files.h"
#include "scoped_env.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

// Channel c plays 440 + 220c Hz.
bool SoxTone(const std::string& path, int rate, int channels, double seconds, const std::string& format = "-b 16",
             double amplitude = 0.5, const std::string& effects = "") {
    std::string synth = " synth " + std::to_string(seconds);
    for (int c = 0; c < channels; ++c) synth += " sine " + std::to_string(440 + 220 * c);
    return test::RunCommand("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " " + format +
                            " " + test::ShellQuote(path) + synth + " vol " + std::to_string(amplitude) + " " +
                            effects + " 2>/dev/null") == 0;
}

std::size_t FileCount(const std::string& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
    return n;
}

double Rms(const std::vector<std::int16_t>& samples, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    to = std::min(to, samples.size());
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
    return to > from ? std::sqrt(sum / double(to - from)) / 32768.0 : 0;
}

// A front end that records what the stage shows and can ask to cancel.
class RecordingUi : public ConversionUi {
public:
    void SetFileText(const std::string& text) override { texts.push_back(text); }
    int FileBarWidth() const override { return 200; }
    void SetFileRange(int maximum) override { range = maximum; }
    void SetFilePosition(int position) override { positions.push_back(position); }
    void SetOverallText(const std::string&) override {}
    void SetOverallRange(int) override {}
    void SetOverallPosition(int) override {}
    void SetRowStatus(int, const std::string&) override {}
    bool ShowMessage(const std::string&, MessageIcon) override { return true; }
    bool PumpMessages() override {
        ++pumps;
        if (!watchFolder.empty()) mostFilesSeen = std::max(mostFilesSeen, FileCount(watchFolder));
        return cancelAtPump > 0 && pumps >= cancelAtPump;
    }
    void ShowInFileManager(const std::string&) override {}

    std::vector<std::string> texts;
    std::vector<int> positions;
    int range = 0;
    int pumps = 0;
    int cancelAtPump = 0;
    std::string watchFolder;
    std::size_t mostFilesSeen = 0;
};

class DecodeAndEncodeStage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitAudioDecoding(); }

    void SetUp() override {
        // The stage's spool files go to a temporary folder of our own, so
        // that anything left behind shows.
        tmp_ = dir_.File("tmp");
        fs::create_directories(tmp_);
        env_.Set("TMPDIR", tmp_);
        mp3_ = dir_.File("out.mp3");
        std::ofstream(mp3_).close();
    }

    void TearDown() override { EXPECT_EQ(FileCount(tmp_), 0u) << "the temporary folder must be left clean"; }

    bool Run(int typeCode, const std::string& source, ConversionUi* ui = nullptr) {
        if (!fs::exists(mp3_)) std::ofstream(mp3_).close();
        return DecodeAndEncode(settings_, typeCode, source, mp3_, ui, &sound_);
    }

    ScratchDir dir_;
    test::ScopedEnv env_;
    std::string tmp_;
    std::string mp3_;
    ConversionSettings settings_{"/nonexistent/program/"};
    EncodedSound sound_;
};

struct FormatCase {
    const char* name;
    const char* file;
    int typeCode;
    int rate, channels;
    double seconds;
    const char* make;  // "sox:<format options>" or "ffmpeg:<encode options>"
    bool automatic;
    int customRate, customBitrate, customChannels;
    int outRate, outChannels, outKbps;
};

const FormatCase kFormats[] = {
    {"Wav16StereoAuto", "a.wav", kSourceTypeWav, 44100, 2, 1.5, "sox:-b 16", true, 0, 0, 0, 44100, 2, 128},
    {"Wav8MonoAuto", "b.wav", kSourceTypeWav, 22050, 1, 1.0, "sox:-b 8 -e unsigned-integer", true, 0, 0, 0, 22050,
     1, 48},
    {"Wav8StereoCustom", "b2.wav", kSourceTypeWav, 11025, 2, 1.0, "sox:-b 8 -e unsigned-integer", false, 11025, 32,
     2, 11025, 2, 32},
    {"Aiff48kStereoAuto", "c.aiff", kSourceTypeAiff, 48000, 2, 1.0, "sox:-b 16", true, 0, 0, 0, 44100, 2, 128},
    {"Au11kMonoAuto", "d.au", kSourceTypeAu, 11025, 1, 1.0, "sox:-b 16 -e signed-integer", true, 0, 0, 0, 22050, 1,
     48},
    {"Au22051StereoAuto", "e.snd", kSourceTypeAu, 22051, 2, 0.5, "sox:-t au -b 16 -e signed-integer", true, 0, 0, 0,
     44100, 2, 128},
    {"Mp3StereoToMono", "f.mp3", kSourceTypeOther, 44100, 2, 1.5, "ffmpeg:-c:a libmp3lame -b:a 128k", false, 22050,
     32, 1, 22050, 1, 32},
    {"OggStereoCustom", "g.ogg", kSourceTypeOther, 22050, 2, 1.0, "ffmpeg:-c:a libvorbis", false, 11025, 24, 2, 11025,
     2, 24},
    {"MonoStaysMono", "h.wav", kSourceTypeWav, 16000, 1, 1.0, "sox:-b 16", false, 44100, 64, 2, 44100, 1, 64},
    {"BitrateClampedHigh", "i.wav", kSourceTypeWav, 44100, 2, 0.5, "sox:-b 16", false, 44100, 999, 2, 44100, 2, 320},
    {"BitrateClampedLow", "j.wav", kSourceTypeWav, 11025, 1, 0.5, "sox:-b 16", false, 11025, 1, 1, 11025, 1, 8},
};

class StageFormats : public DecodeAndEncodeStage, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(StageFormats, Mp3ReadsBackAsExpected) {
    const FormatCase& c = GetParam();
    const std::string source = dir_.File(c.file);
    const std::string make = c.make;
    if (make.rfind("sox:", 0) == 0) {
        ASSERT_TRUE(SoxTone(source, c.rate, c.channels, c.seconds, make.substr(4)));
    } else {
        ASSERT_TRUE(test::EncodeTone(source, c.rate, c.channels, c.seconds, make.substr(7)));
    }
    // What an independent decoder gets from the source is what must be encoded.
    const std::size_t sourceSamples = test::FfmpegDecode(source).size() / c.channels;
    ASSERT_GT(sourceSamples, 0u);

    settings_.AutoDestMP3EncodingParam = c.automatic ? 1 : 0;
    settings_.MP3SampleRate = c.customRate;
    settings_.MP3BitRate = c.customBitrate;
    settings_.MP3ChannelNum = c.customChannels;
    ASSERT_TRUE(Run(c.typeCode, source));

    EXPECT_EQ(test::ProbeField(mp3_, "sample_rate"), c.outRate);
    EXPECT_EQ(test::ProbeField(mp3_, "channels"), c.outChannels);
    EXPECT_EQ(test::ProbeField(mp3_, "bit_rate"), c.outKbps * 1000);
    const auto expected = static_cast<std::uint32_t>(std::trunc(double(sourceSamples) * c.outRate / c.rate));
    EXPECT_EQ(sound_.sampleCount, expected);
    EXPECT_EQ(sound_.durationSeconds, sourceSamples / c.rate);

    // No VBR header and no tags: FFmpeg's decoding is the encoded samples plus
    // the encoder's delay and padding, less than two frames more.
    const std::size_t decoded = test::FfmpegDecode(mp3_).size() / c.outChannels;
    const std::size_t frame = c.outRate > 24000 ? 1152 : 576;
    EXPECT_GE(decoded, expected);
    EXPECT_LT(decoded, expected + 2 * frame + 1105) << decoded;
    const auto bytes = test::ReadAll(mp3_);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF) << "the file starts with a frame, not a tag";
    EXPECT_EQ(bytes[1] & 0xE0, 0xE0);
}

INSTANTIATE_TEST_SUITE_P(Sources, StageFormats, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

// 0.5 s of tone, then silence: shows which part of the source was kept.
std::string ToneThenSilence(const ScratchDir& dir, double silence) {
    const std::string path = dir.File("tone_then_silence.wav");
    EXPECT_TRUE(SoxTone(path, 44100, 1, 0.5, "-b 16", 0.5, "pad 0 " + std::to_string(silence)));
    return path;
}

TEST_F(DecodeAndEncodeStage, TrackerMusicIsRenderedAtTheWantedRate) {
    const std::string module = dir_.File("tiny.mod");
    test::WriteAll(module, test::TinyModule());
    settings_.AutoDestMP3EncodingParam = 0;
    settings_.MP3SampleRate = 22050;
    settings_.MP3BitRate = 48;
    settings_.MP3ChannelNum = 2;
    ASSERT_TRUE(Run(kSourceTypeOther, module));
    EXPECT_EQ(test::ProbeField(mp3_, "sample_rate"), 22050);
    // Rendered at 22050 Hz, so the count is the song's length at that rate.
    EXPECT_NEAR(double(sound_.sampleCount), test::kTinyModuleSeconds * 22050, 1152);
    EXPECT_EQ(sound_.durationSeconds, 1u);
}

TEST_F(DecodeAndEncodeStage, SkipFirstAndLastCutTheRightParts) {
    const std::string source = ToneThenSilence(dir_, 2.5);  // 132300 samples
    ASSERT_TRUE(Run(kSourceTypeWav, source));
    EXPECT_EQ(sound_.sampleCount, 132300u);
    EXPECT_EQ(sound_.durationSeconds, 3u);
    EXPECT_GT(Rms(test::FfmpegDecode(mp3_), 2000, 20000), 0.2);

    settings_.SkipFirstMs = 500;
    settings_.SkipLastMs = 500;
    ASSERT_TRUE(Run(kSourceTypeWav, source));
    EXPECT_EQ(sound_.sampleCount, 88200u);
    EXPECT_EQ(sound_.durationSeconds, 2u);
    const auto decoded = test::FfmpegDecode(mp3_);
    EXPECT_LT(Rms(decoded), 0.01) << "the tone at the start must be gone";
    EXPECT_LT(decoded.size(), 88200u + 2 * 1152 + 1105);
}

TEST_F(DecodeAndEncodeStage, DurationModeStopsAtTheFirstBlockPastTheTarget) {
    const std::string source = dir_.File("three.wav");
    ASSERT_TRUE(SoxTone(source, 44100, 1, 3.0));
    settings_.TrimLastType = 1;
    settings_.ConvertDuration = 1000;
    settings_.SkipFirstMs = 500;
    settings_.SkipLastMs = 700;  // not used in duration mode
    ASSERT_TRUE(Run(kSourceTypeWav, source));
    // Decoding stops at the block that reaches 66150 samples; 22050 are skipped.
    EXPECT_GE(sound_.sampleCount, 44100u);
    EXPECT_LT(sound_.sampleCount, 44100u + 1152u);
    EXPECT_EQ((sound_.sampleCount + 22050u) % 1152u, 0u) << "whole blocks are decoded";
    EXPECT_EQ(sound_.durationSeconds, 1u);

    // Longer than the source: everything after the skip.
    settings_.ConvertDuration = 10000;
    ASSERT_TRUE(Run(kSourceTypeWav, source));
    EXPECT_EQ(sound_.sampleCount, 132300u - 22050u);

    // Without a duration, TrimLastType 1 is neither duration mode nor an end cut.
    settings_.ConvertDuration = 0;
    settings_.SkipFirstMs = 0;
    ASSERT_TRUE(Run(kSourceTypeWav, source));
    EXPECT_EQ(sound_.sampleCount, 132300u);
}

TEST_F(DecodeAndEncodeStage, GainScalesAndClipsWithoutWrapping) {
    const std::string quiet = dir_.File("quiet.wav");
    ASSERT_TRUE(SoxTone(quiet, 44100, 1, 1.0, "-b 16", 0.25));
    ASSERT_TRUE(Run(kSourceTypeWav, quiet));
    const double plain = Rms(test::FfmpegDecode(mp3_), 3000, 40000);
    EXPECT_NEAR(plain, 0.25 / std::sqrt(2.0), 0.01);

    settings_.VolumeCoef = 200;  // not applied while ChangeVolume is off
    ASSERT_TRUE(Run(kSourceTypeWav, quiet));
    EXPECT_NEAR(Rms(test::FfmpegDecode(mp3_), 3000, 40000), plain, 0.005);

    settings_.ChangeVolume = 1;
    ASSERT_TRUE(Run(kSourceTypeWav, quiet));
    EXPECT_NEAR(Rms(test::FfmpegDecode(mp3_), 3000, 40000) / plain, 2.0, 0.05);

    // 0.8 x 3 clips: a wrapped sample would flip sign and drop the level.
    const std::string loud = dir_.File("loud.wav");
    ASSERT_TRUE(SoxTone(loud, 44100, 1, 1.0, "-b 16", 0.8));
    settings_.VolumeCoef = 300;
    ASSERT_TRUE(Run(kSourceTypeWav, loud));
    EXPECT_GT(Rms(test::FfmpegDecode(mp3_), 3000, 40000), 0.85);
}

TEST_F(DecodeAndEncodeStage, ProgressIsThrottledAndEndsAtOneHundred) {
    const std::string source = dir_.File("tone.wav");
    ASSERT_TRUE(SoxTone(source, 44100, 2, 2.0));
    RecordingUi ui;
    ui.watchFolder = tmp_;
    ASSERT_TRUE(Run(kSourceTypeWav, source, &ui));
    EXPECT_EQ(ui.range, 200);
    ASSERT_FALSE(ui.texts.empty());
    EXPECT_EQ(ui.texts.back(), "Converting tone.wav...100%");
    int last = 0;
    bool sawDecodingEnd = false;
    for (const std::string& text : ui.texts) {
        ASSERT_EQ(text.rfind("Converting tone.wav...", 0), 0u) << text;
        const int percent = std::stoi(text.substr(22));
        EXPECT_GT(percent, last) << "a text is shown only when the percentage grows";
        if (percent == 20) sawDecodingEnd = true;
        last = percent;
    }
    EXPECT_TRUE(sawDecodingEnd);
    ASSERT_GE(ui.positions.size(), 2u);
    EXPECT_EQ(ui.positions.front(), 0);
    for (std::size_t i = 2; i < ui.positions.size(); ++i) EXPECT_GT(ui.positions[i], ui.positions[i - 1]);
    EXPECT_EQ(ui.positions.back(), 200);
    // One pump per block read (the reader may deliver short blocks) and
    // one per block encoded.
    EXPECT_GE(ui.pumps, 2 * ((88200 + 1151) / 1152));
    EXPECT_EQ(ui.mostFilesSeen, 0u) << "spool files have no name in the temporary folder";
}

TEST_F(DecodeAndEncodeStage, CancelWhileDecodingOrEncodingDeletesTheMp3) {
    const std::string source = dir_.File("tone.wav");
    ASSERT_TRUE(SoxTone(source, 22050, 2, 1.0));
    const int blocks = (22050 + 1151) / 1152;
    for (int cancelAt : {1, blocks / 2, blocks + 1, 2 * blocks}) {
        RecordingUi ui;
        ui.cancelAtPump = cancelAt;
        EXPECT_FALSE(Run(kSourceTypeWav, source, &ui)) << cancelAt;
        EXPECT_EQ(ui.pumps, cancelAt);
        EXPECT_FALSE(fs::exists(mp3_)) << cancelAt;
    }
}

TEST_F(DecodeAndEncodeStage, FailuresLeaveNoMp3AndNoSpool) {
    const std::string source = dir_.File("short.wav");
    ASSERT_TRUE(SoxTone(source, 44100, 1, 1.0));
    struct Case {
        const char* name;
        int skipFirst, skipLast;
    } cases[] = {{"SkipFirstAll", 1000, 0}, {"SkipFirstMore", 5000, 0}, {"SkipLastRest", 400, 600}};
    for (const Case& c : cases) {
        settings_.SkipFirstMs = c.skipFirst;
        settings_.SkipLastMs = c.skipLast;
        EXPECT_FALSE(Run(kSourceTypeWav, source)) << c.name;
        EXPECT_FALSE(fs::exists(mp3_)) << c.name;
    }
    settings_.SkipFirstMs = 400;
    settings_.SkipLastMs = 599;
    EXPECT_TRUE(Run(kSourceTypeWav, source));
    EXPECT_EQ(sound_.sampleCount, 44100u - 17640u - 26415u);
}

TEST_F(DecodeAndEncodeStage, SourcesThatCannotBeOpened) {
    const std::string garbage = dir_.File("noise.mp3");
    std::vector<std::uint8_t> bytes(4000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    test::WriteAll(garbage, bytes);
    EXPECT_FALSE(Run(kSourceTypeOther, garbage));
    EXPECT_FALSE(Run(kSourceTypeWav, dir_.File("missing.wav")));

    // AU files go only to their own reader: a WAV named .au is refused.
    const std::string wav = dir_.File("tone.wav");
    ASSERT_TRUE(SoxTone(wav, 22050, 1, 0.5));
    EXPECT_FALSE(Run(kSourceTypeAu, wav));
    EXPECT_TRUE(Run(kSourceTypeWav, wav));

    // An MP3 path in a folder that does not exist.
    EXPECT_FALSE(DecodeAndEncode(settings_, kSourceTypeWav, wav, dir_.File("no/such/out.mp3"), nullptr, &sound_));
}

// A source with known samples: a square wave of period 200 samples, low and
// high given as delivered values (8-bit unsigned or 16-bit signed).
class SquareWaveSource : public AudioSource {
public:
    SquareWaveSource(int rate, int channels, int bits, std::uint64_t samples, int reportedSeconds, int low, int high)
        : total_(samples), low_(low), high_(high) {
        sampleRate_ = rate;
        channels_ = sourceChannels_ = channels;
        bitsPerSample_ = bits;
        duration_ = reportedSeconds;
    }
    void Close() override { closed = true; }
    int Open(const std::string&, int) override { return 1; }
    // The length its header would declare, and where to count the reads.
    void Declare(std::uint64_t samples, int* reads = nullptr) {
        declaredSamples_ = samples;
        reads_ = reads;
    }
    int Read(void* left, void* right) override {
        if (reads_) ++*reads_;
        const int n = static_cast<int>(std::min<std::uint64_t>(total_ - done_, kSamplesPerBlock));
        for (int i = 0; i < n; ++i) {
            const int value = ((done_ + i) / 100) % 2 ? high_ : low_;
            Put(left, i, value);
            if (channels_ == 2) Put(right, i, value);
        }
        done_ += static_cast<std::uint64_t>(n);
        return n;
    }
    bool closed = false;

private:
    void Put(void* buffer, int i, int value) const {
        if (bitsPerSample_ == 8) static_cast<std::uint8_t*>(buffer)[i] = static_cast<std::uint8_t>(value);
        else static_cast<std::int16_t*>(buffer)[i] = static_cast<std::int16_t>(value);
    }
    std::uint64_t total_, done_ = 0;
    int low_, high_;
    int* reads_ = nullptr;
};

// What the stage says of a source by the length it declares: a spool that
// cannot fit the temporary folder fails before a sample is read, saying how
// much is needed and where; a source that ends more than a block short still
// converts, with a note; one within a block of it is simply complete.
TEST_F(DecodeAndEncodeStage, DeclaredLengthDecidesTemporarySpaceAndShortSources) {
    std::string reason;
    int reads = 0;
    // Listed at 68 years: hundreds of TB of spool, more than any disk.
    auto huge = std::make_unique<SquareWaveSource>(44100, 2, 16, 44100, 0x7FFFFFFF, -2000, 2000);
    huge->Declare(std::uint64_t{1} << 50, &reads);
    EXPECT_FALSE(EncodeOpenedSource(settings_, std::move(huge), "huge.raw", mp3_, nullptr, &sound_, &reason));
    EXPECT_EQ(reads, 0) << "nothing is decoded once the spool cannot fit";
    EXPECT_NE(reason.find("temporary space in \"" + TempFolder() + "\""), std::string::npos) << reason;
    EXPECT_NE(reason.find(" TB of temporary space"), std::string::npos) << reason;
    EXPECT_FALSE(fs::exists(mp3_));
    // A header that claims as much for a file listed at one second (its
    // length as the file holds it) needs only that second's spool.
    std::ofstream(mp3_).close();
    auto claims = std::make_unique<SquareWaveSource>(44100, 2, 16, 44100, 1, -2000, 2000);
    claims->Declare(std::uint64_t{1} << 50);
    EXPECT_TRUE(EncodeOpenedSource(settings_, std::move(claims), "claims.raw", mp3_, nullptr, &sound_, &reason));
    EXPECT_NE(reason.find("the source ended after 1.0 of "), std::string::npos) << reason;
    EXPECT_EQ(SpoolBytesNeeded(36000 * 44100ull, 2), 6350400000ull);  // ten hours of CD sound

    const struct {
        std::uint64_t delivered, declared;
        std::string note;
    } cases[] = {
        {55125, 110250, "the source ended after 2.5 of 5.0 s; the file may be cut short"},
        {110250 - kSamplesPerBlock, 110250, ""},
        {110250, 110250, ""},
        {110250, 0, ""},  // a source that declares nothing
    };
    for (const auto& c : cases) {
        std::ofstream(mp3_).close();
        auto source = std::make_unique<SquareWaveSource>(22050, 1, 16, c.delivered, 5, -2000, 2000);
        source->Declare(c.declared);
        reason = "stale";
        ASSERT_TRUE(EncodeOpenedSource(settings_, std::move(source), "cut.raw", mp3_, nullptr, &sound_, &reason))
            << reason;
        EXPECT_EQ(reason, c.note) << c.delivered << " of " << c.declared;
        EXPECT_EQ(sound_.sampleCount, c.delivered);
    }
}

TEST_F(DecodeAndEncodeStage, EightBitSamplesAreWidenedBeforeTheGain) {
    // 112 and 144 widen to -4096 and 4096: a square wave at 1/8 of full scale.
    const double expected[] = {0.125, 0.25};
    for (int coef : {100, 200}) {
        settings_.ChangeVolume = 1;
        settings_.VolumeCoef = coef;
        ASSERT_TRUE(EncodeOpenedSource(settings_, std::make_unique<SquareWaveSource>(44100, 2, 8, 44100, 1, 112, 144),
                                       "square.raw", mp3_, nullptr, &sound_));
        EXPECT_EQ(sound_.sampleCount, 44100u);
        const auto decoded = test::FfmpegDecode(mp3_);
        // The encoder's low-pass takes the top harmonics of the square wave.
        EXPECT_NEAR(Rms(decoded, 6000, 80000) / expected[coef / 200], 0.96, 0.04) << coef;
    }
}

TEST_F(DecodeAndEncodeStage, SourceLongerThanItsReportedDurationIsDecodedWhole) {
    RecordingUi ui;
    // Says 0 seconds, delivers 3: progress saturates at 20 % while decoding,
    // and every sample is encoded.
    ASSERT_TRUE(EncodeOpenedSource(settings_, std::make_unique<SquareWaveSource>(22050, 1, 16, 66150, 0, -2000, 2000),
                                   "long.raw", mp3_, &ui, &sound_));
    EXPECT_EQ(sound_.sampleCount, 66150u);
    EXPECT_EQ(sound_.durationSeconds, 3u);
    EXPECT_EQ(ui.texts.back(), "Converting long.raw...100%");
    for (int p : ui.positions) EXPECT_LE(p, 200);
}

TEST_F(DecodeAndEncodeStage, SourcesBreakingTheirPromisesAreRefused) {
    auto noRate = std::make_unique<SquareWaveSource>(0, 1, 16, 1000, 1, -1, 1);
    EXPECT_FALSE(EncodeOpenedSource(settings_, std::move(noRate), "x", mp3_, nullptr, &sound_));
    auto threeChannels = std::make_unique<SquareWaveSource>(44100, 3, 16, 1000, 1, -1, 1);
    EXPECT_FALSE(EncodeOpenedSource(settings_, std::move(threeChannels), "x", mp3_, nullptr, &sound_));
    auto empty = std::make_unique<SquareWaveSource>(44100, 1, 16, 0, 0, -1, 1);
    EXPECT_FALSE(EncodeOpenedSource(settings_, std::move(empty), "x", mp3_, nullptr, &sound_));
    EXPECT_FALSE(fs::exists(mp3_)) << "an empty sound is a failure, not an empty MP3";
}

TEST(SampleGain, ScalesTruncatesAndClamps) {
    struct Case {
        std::int16_t in;
        float gain;
        std::int16_t out;
    } cases[] = {
        {20000, 2.0f, 32767}, {-20000, 2.0f, -32767}, {-32768, 1.5f, -32767}, {3, 1.5f, 4},
        {-3, 1.5f, -4},       {1234, 1.0f, 1234},      {-32768, 0.5f, -16384}, {7, 0.1f, 0},
    };
    for (const Case& c : cases) {
        std::int16_t left = c.in, right = c.in;
        ApplyGain(&left, &right, 1, 2, c.gain);
        EXPECT_EQ(left, c.out) << c.in << " x " << c.gain;
        EXPECT_EQ(right, c.out);
        std::int16_t mono = c.in, untouched = c.in;
        ApplyGain(&mono, &untouched, 1, 1, c.gain);
        EXPECT_EQ(untouched, c.in) << "the right channel of a mono source is not scaled";
    }
}

TEST(SampleGain, EightBitWidening) {
    const std::uint8_t in[] = {0, 1, 127, 128, 129, 255};
    std::int16_t out[6];
    WidenEightBitSamples(in, out, 6);
    const std::int16_t expected[] = {-32768, -32512, -256, 0, 256, 32512};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i], expected[i]) << int(in[i]);
}

TEST(Mp3OutputChoice, AutomaticAndCustomTables) {
    ConversionSettings s("/nonexistent/");
    struct Case {
        int automatic, customRate, customBitrate, customChannels;
        int sourceRate, sourceChannels;
        int rate, bitrate, mode;
    } cases[] = {
        {1, 0, 0, 0, 22050, 1, 22050, 48, 3},   {1, 0, 0, 0, 22051, 2, 44100, 128, -1},
        {1, 0, 0, 0, 44100, 1, 44100, 64, 3},   {1, 0, 0, 0, 8000, 2, 22050, 96, -1},
        {0, 22050, 40, 1, 44100, 2, 22050, 40, 3}, {0, 22050, 40, 1, 44100, 1, 22050, 40, -1},
        {0, 11025, 16, 2, 48000, 2, 11025, 16, -1}, {0, 0, 24, 2, 48000, 2, 44100, 24, -1},
    };
    for (const Case& c : cases) {
        s.AutoDestMP3EncodingParam = c.automatic;
        s.MP3SampleRate = c.customRate;
        s.MP3BitRate = c.customBitrate;
        s.MP3ChannelNum = c.customChannels;
        const Mp3OutputChoice choice = ChooseMp3Output(s, c.sourceRate, c.sourceChannels);
        EXPECT_EQ(choice.sampleRate, c.rate) << c.automatic << " " << c.sourceRate;
        EXPECT_EQ(choice.bitrate, c.bitrate) << c.automatic << " " << c.sourceRate;
        EXPECT_EQ(choice.mode, c.mode) << c.automatic << " " << c.sourceRate << " " << c.sourceChannels;
    }
    s.AutoDestMP3EncodingParam = 0;
    s.MP3SampleRate = 0;
    EXPECT_EQ(WantedSourceRate(s), 44100);
    s.MP3SampleRate = 11025;
    EXPECT_EQ(WantedSourceRate(s), 11025);
    s.AutoDestMP3EncodingParam = 1;
    EXPECT_EQ(WantedSourceRate(s), 44100);
    EXPECT_EQ(MillisecondsToSamples(500, 44100), 22050u);
    EXPECT_EQ(MillisecondsToSamples(599, 44100), 26415u);  // 26415.9 truncated
    EXPECT_EQ(MillisecondsToSamples(0, 44100), 0u);
}

TEST(TempFiles, UniqueNamesAndVanishingSpools) {
    ScratchDir dir;
    test::ScopedEnv env;
    env.Set("TMPDIR", dir.Path());
    EXPECT_EQ(TempFolder(), dir.Path() + "/");
    const std::string a = CreateUniqueTempFile();
    const std::string b = CreateUniqueTempFile();
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    for (const std::string& p : {a, b}) {
        EXPECT_EQ(fs::path(p).parent_path(), fs::path(dir.Path()));
        EXPECT_EQ(fs::path(p).filename().string().rfind("TBR", 0), 0u);
        EXPECT_EQ(fs::path(p).extension(), ".tmp");
        EXPECT_EQ(fs::file_size(p), 0u);
    }
    std::string spoolName;
    const int fd = CreateVanishingTempFile(&spoolName);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(fs::exists(spoolName));
    EXPECT_EQ(FileCount(dir.Path()), 2u);
    ::close(fd);

    env.Set("TMPDIR", dir.File("missing"));
    EXPECT_EQ(CreateUniqueTempFile(), "");
    EXPECT_EQ(CreateVanishingTempFile(&spoolName), -1);
}

}  // namespace
}  // namespace tembrel
