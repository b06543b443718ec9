// BassAudioSource against FFmpeg's own decoding: every format through the
// decoding library decodes sample for sample as the ffmpeg tool does, with
// the length, duration and bit rate that follow from the decoded size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "audio/bass_audio_source.h"
#include "platform/os_file.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::ScratchDir;

struct Decoded {
    std::vector<std::int16_t> left, right;
    std::vector<int> counts;  // result of every Read that delivered something
};

// Reads to the end, as the decode-and-encode stage does.
Decoded ReadToEnd(AudioSource& source, int maxReads = 1 << 20) {
    Decoded out;
    std::vector<std::int16_t> left(kSamplesPerBlock), right(kSamplesPerBlock);
    for (int i = 0; i < maxReads; ++i) {
        const int n = source.Read(left.data(), source.GetChannels() == 2 ? right.data() : nullptr);
        if (n < 1) break;
        out.counts.push_back(n);
        out.left.insert(out.left.end(), left.begin(), left.begin() + n);
        if (source.GetChannels() == 2) out.right.insert(out.right.end(), right.begin(), right.begin() + n);
    }
    return out;
}

struct StreamCase {
    const char* name;
    const char* file;
    int rate;
    int channels;
    double seconds;
    const char* encode;
    // Only decoding tells the length: the container's figures are rounded
    // or estimated. Every other stream's length is known at Open without
    // decoding more than its first frames.
    bool decodedToCount = false;
};

const StreamCase kStreams[] = {
    {"Mp3", "tone.mp3", 44100, 2, 1.5, "-c:a libmp3lame -b:a 128k"},
    {"Mp3Mono", "mono.mp3", 22050, 1, 1.0, "-c:a libmp3lame -b:a 48k"},
    {"Mp3VbrWithTags", "vbr.mp3", 48000, 2, 1.3, "-c:a libmp3lame -q:a 2 -write_id3v1 1 -metadata title=Tone"},
    {"Mp3WithoutLameTag", "plain.mp3", 44100, 1, 1.0, "-c:a libmp3lame -b:a 64k -write_xing 0"},
    {"Mp3Mpeg25", "low.mp3", 8000, 1, 1.0, "-c:a libmp3lame -b:a 16k"},
    {"Mp2", "tone.mp2", 32000, 1, 1.0, "-c:a mp2"},
    {"OggVorbis", "tone.ogg", 44100, 2, 1.5, "-c:a libvorbis"},
    {"Opus", "tone.opus", 48000, 2, 1.2, "-c:a libopus"},
    {"OpusLongFrames", "long.opus", 48000, 2, 1.3, "-c:a libopus -frame_duration 60"},
    {"OpusMatroska", "opus.mka", 48000, 1, 1.3, "-c:a libopus"},
    {"VorbisMatroska", "vorbis.mka", 44100, 2, 1.3, "-c:a libvorbis"},
    {"Speex", "tone.spx", 16000, 1, 1.0, "-c:a libspeex -f ogg", true},
    {"Flac", "tone.flac", 44100, 2, 1.5, "-c:a flac"},
    {"FlacInOgg", "tone.oga", 44100, 2, 1.0, "-c:a flac"},
    {"FlacSixChannels", "six.flac", 48000, 6, 1.0, "-c:a flac"},
    {"AacM4a", "tone.m4a", 44100, 2, 1.5, "-c:a aac -b:a 128k"},
    {"AacAdts", "tone.aac", 22050, 1, 1.0, "-c:a aac -b:a 64k"},
    {"AlacM4a", "alac.m4a", 44100, 2, 1.0, "-c:a alac"},
    {"Wma", "tone.wma", 44100, 2, 1.5, "-c:a wmav2", true},
    {"WavPack", "tone.wv", 44100, 2, 1.0, "-c:a wavpack"},
    {"Tta", "tone.tta", 44100, 2, 1.0, "-c:a tta"},
    {"Ac3", "tone.ac3", 48000, 2, 1.0, "-c:a ac3"},
    {"Ac3Matroska", "ac3.mka", 44100, 2, 1.3, "-c:a ac3"},
    {"Wav24Bit", "tone24.wav", 96000, 2, 0.5, "-c:a pcm_s24le"},
    {"Wav8BitMono", "tone8.wav", 8000, 1, 1.0, "-c:a pcm_u8"},
    {"AiffFloat", "float.aifc", 22050, 2, 1.0, "-c:a pcm_f32be -f aiff"},
};

class BassStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(BassStream, DecodesAsFfmpegDoesWithLengthDurationAndBitrate) {
    const StreamCase& c = GetParam();
    ScratchDir dir;
    const std::string path = dir.File(c.file);
    ASSERT_TRUE(test::EncodeTone(path, c.rate, c.channels, c.seconds, c.encode)) << c.encode;
    const std::vector<std::int16_t> reference = test::FfmpegDecode(path);
    const int chans = static_cast<int>(test::ProbeField(path, "channels"));
    const int rate = static_cast<int>(test::ProbeField(path, "sample_rate"));
    ASSERT_EQ(chans, c.channels);
    ASSERT_FALSE(reference.empty());

    BassAudioSource source;
    const std::uint64_t framesBefore = decoding::StreamFramesDecoded();
    // The wanted rate is for music only; streams keep their own.
    ASSERT_EQ(source.Open(path, 11025), 1);
    if (!c.decodedToCount) {
        EXPECT_LE(decoding::StreamFramesDecoded() - framesBefore, 4u);
    }
    EXPECT_FALSE(source.IsMusic());
    EXPECT_EQ(source.GetSampleRate(), rate);
    EXPECT_EQ(source.GetSourceChannels(), chans);
    EXPECT_EQ(source.GetChannels(), std::min(chans, 2));
    EXPECT_EQ(source.GetBitsPerSample(), 16);  // the library always delivers 16-bit

    const std::uint64_t frames = reference.size() / static_cast<std::size_t>(chans);
    EXPECT_EQ(source.GetLength(), reference.size() * 2);
    const double seconds = static_cast<double>(frames) / rate;
    EXPECT_NEAR(seconds, c.seconds, 0.1);  // encoder delay and padding at most
    EXPECT_EQ(source.GetDuration(), static_cast<int>(seconds));
    const double fileBytes = static_cast<double>(FileSizeAt(path));
    EXPECT_EQ(source.GetBitrate(), static_cast<int>(fileBytes / (seconds * 125.0) + 0.5));

    const Decoded decoded = ReadToEnd(source);
    EXPECT_EQ(decoded.left, test::ChannelOf(reference, chans, 0));
    if (chans >= 2) {
        EXPECT_EQ(decoded.right, test::ChannelOf(reference, chans, 1));
    }
    // Full blocks of the library's block size, only the last one shorter.
    const int perBlock = chans <= 2 ? kSamplesPerBlock : 2 * kSamplesPerBlock / chans;
    ASSERT_FALSE(decoded.counts.empty());
    for (std::size_t i = 0; i + 1 < decoded.counts.size(); ++i) ASSERT_EQ(decoded.counts[i], perBlock) << i;
    EXPECT_LE(decoded.counts.back(), perBlock);
    EXPECT_EQ(source.GetPosition(), source.GetLength());
    std::int16_t scratch[kSamplesPerBlock * 2];
    EXPECT_EQ(source.Read(scratch, scratch + kSamplesPerBlock), 0);  // stays at the end
}

INSTANTIATE_TEST_SUITE_P(Formats, BassStream, ::testing::ValuesIn(kStreams),
                         [](const auto& info) { return std::string(info.param.name); });

// A tracker module is music, rendered in stereo at the wanted rate (44100
// when 0); its bit rate is the PCM rate since it has no file size.
class BassMusic : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(BassMusic, RendersAtWantedRateForTheSongLength) {
    const auto [wanted, expectedRate] = GetParam();
    ScratchDir dir;
    const std::string path = dir.File("tiny.mod");
    test::WriteAll(path, test::TinyModule());

    BassAudioSource source;
    ASSERT_EQ(source.Open(path, wanted), 1);
    EXPECT_TRUE(source.IsMusic());
    EXPECT_EQ(source.GetSampleRate(), expectedRate);
    EXPECT_EQ(source.GetSourceChannels(), 2);
    EXPECT_EQ(source.GetChannels(), 2);
    EXPECT_EQ(source.GetBitsPerSample(), 16);
    const std::uint64_t frames = static_cast<std::uint64_t>(std::llround(test::kTinyModuleSeconds * expectedRate));
    EXPECT_EQ(source.GetLength(), frames * 4);
    EXPECT_EQ(source.GetDuration(), 1);
    EXPECT_EQ(source.GetBitrate(), 16 * expectedRate * 2 / 1000);

    const Decoded decoded = ReadToEnd(source);
    EXPECT_EQ(decoded.left.size(), frames);
    EXPECT_EQ(source.GetPosition(), source.GetLength());
    auto loudest = [](const std::vector<std::int16_t>& s) {
        int peak = 0;
        for (std::int16_t v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
        return peak;
    };
    EXPECT_GT(loudest(decoded.left), 1000);
    EXPECT_GT(loudest(decoded.right), 1000);
}

INSTANTIATE_TEST_SUITE_P(Rates, BassMusic,
                         ::testing::Values(std::pair{0, 44100}, std::pair{44100, 44100}, std::pair{22050, 22050},
                                           std::pair{11025, 11025}));

TEST(BassAudioSource, RefusesWhatNoDecoderTakes) {
    ScratchDir dir;
    std::mt19937 random(7);
    std::vector<std::uint8_t> noise(6000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    const std::string text = "This is a text file, not a sound.\nSecond line.\n";
    const std::vector<std::uint8_t> textBytes(text.begin(), text.end());
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
    } files[] = {
        {"noise.bin", noise}, {"noise.mp3", noise},     {"noise.ogg", noise}, {"noise.mod", noise},
        {"empty.mp3", {}},    {"empty.wav", {}},        {"text.txt", textBytes}, {"text.wav", textBytes},
    };
    for (const auto& f : files) {
        const std::string path = dir.File(f.name);
        test::WriteAll(path, f.bytes);
        BassAudioSource source;
        EXPECT_EQ(source.Open(path, 0), 0) << f.name;
        EXPECT_EQ(source.GetLength(), 0u) << f.name;
        EXPECT_EQ(source.GetSampleRate(), 0) << f.name;
        std::int16_t left[kSamplesPerBlock], right[kSamplesPerBlock];
        EXPECT_EQ(source.Read(left, right), 0) << f.name;
    }
    BassAudioSource source;
    EXPECT_EQ(source.Open(dir.File("missing.mp3"), 0), 0);
    EXPECT_EQ(source.Open(dir.Path(), 0), 0);
}

TEST(BassAudioSource, EmptyStreamReportsNoDurationAndThePcmBitrate) {
    ScratchDir dir;
    const std::string path = dir.File("silent.wav");
    // A WAV header with a "data" chunk of size 0, as a recorder leaves it.
    ASSERT_EQ(test::RunCommand("sox -n -r 22050 -c 2 -b 16 " + test::ShellQuote(path) + " trim 0 0"), 0);
    ASSERT_EQ(test::ProbeField(path, "sample_rate"), 22050);
    BassAudioSource source;
    ASSERT_EQ(source.Open(path, 0), 1);
    EXPECT_EQ(source.GetLength(), 0u);
    EXPECT_EQ(source.GetDuration(), 0);
    EXPECT_EQ(source.GetBitrate(), 16 * 22050 * 2 / 1000);
    std::int16_t left[kSamplesPerBlock], right[kSamplesPerBlock];
    EXPECT_EQ(source.Read(left, right), 0);
}

TEST(BassAudioSource, OpenAgainReplacesTheChannel) {
    ScratchDir dir;
    const std::string six = dir.File("six.flac"), mono = dir.File("mono.mp3"), mod = dir.File("tiny.mod");
    ASSERT_TRUE(test::EncodeTone(six, 48000, 6, 0.5, "-c:a flac"));
    ASSERT_TRUE(test::EncodeTone(mono, 22050, 1, 0.5, "-c:a libmp3lame"));
    test::WriteAll(mod, test::TinyModule());

    BassAudioSource source;
    ASSERT_EQ(source.Open(mod, 22050), 1);
    EXPECT_TRUE(source.IsMusic());
    ASSERT_EQ(source.Open(six, 0), 1);
    EXPECT_FALSE(source.IsMusic());
    EXPECT_EQ(source.GetSourceChannels(), 6);
    EXPECT_EQ(source.GetSampleRate(), 48000);
    EXPECT_EQ(source.Path(), six);
    ASSERT_EQ(source.Open(mono, 0), 1);
    EXPECT_EQ(source.GetSourceChannels(), 1);
    EXPECT_EQ(source.GetChannels(), 1);
    EXPECT_EQ(source.GetSampleRate(), 22050);
    const Decoded decoded = ReadToEnd(source);
    EXPECT_EQ(decoded.left, test::FfmpegDecode(mono));

    // A failed Open leaves nothing open and nothing reported.
    test::WriteAll(dir.File("bad.mp3"), {1, 2, 3});
    EXPECT_EQ(source.Open(dir.File("bad.mp3"), 0), 0);
    EXPECT_EQ(source.GetSampleRate(), 0);
    EXPECT_EQ(source.GetChannels(), 0);
    EXPECT_EQ(source.GetPosition(), 0u);
    std::int16_t left[kSamplesPerBlock];
    EXPECT_EQ(source.Read(left, nullptr), 0);
    source.Close();
    source.Close();  // twice is harmless
}

TEST(BassAudioSource, StartUpAndShutDown) {
    EXPECT_EQ(InitAudioDecoding(), AudioDecodingStart::Ready);
    std::string folder;
    ASSERT_TRUE(LoadDecoderPlugins(&folder));
    ASSERT_GE(folder.size(), 8u);
    EXPECT_EQ(folder.substr(folder.size() - 8), "/addons/");
    EXPECT_TRUE(FileExists(folder.substr(0, folder.size() - 7) + "test_audio"));  // beside this program

    ScratchDir dir;
    const std::string path = dir.File("tone.flac");
    ASSERT_TRUE(test::EncodeTone(path, 44100, 2, 0.5, "-c:a flac"));
    BassAudioSource source;
    ASSERT_EQ(source.Open(path, 0), 1);
    // Shutting the library down frees every channel; the source then reads
    // nothing instead of touching a freed channel.
    ShutdownAudioDecoding();
    std::int16_t left[kSamplesPerBlock], right[kSamplesPerBlock];
    EXPECT_EQ(source.Read(left, right), 0);
    EXPECT_EQ(source.GetPosition(), 0u);
    source.Close();
    EXPECT_EQ(InitAudioDecoding(), AudioDecodingStart::Ready);
    EXPECT_EQ(source.Open(path, 0), 1);
    EXPECT_EQ(ReadToEnd(source).left.size(), 22050u);
}

// Damaged files: cut short or with bytes overwritten. Whatever Open says,
// nothing crashes, reads end, and what is reported stays in range.
TEST(BassAudioSource, DamagedFilesNeverCrash) {
    ScratchDir dir;
    std::vector<std::string> originals;
    const struct {
        const char* file;
        const char* encode;
    } kinds[] = {
        {"a.mp3", "-c:a libmp3lame"}, {"a.ogg", "-c:a libvorbis"}, {"a.opus", "-c:a libopus"},
        {"a.flac", "-c:a flac"},      {"a.m4a", "-c:a aac"},       {"a.wma", "-c:a wmav2"},
        {"a.wv", "-c:a wavpack"},     {"a.wav", "-c:a pcm_s16le"},
    };
    for (const auto& k : kinds) {
        originals.push_back(dir.File(k.file));
        ASSERT_TRUE(test::EncodeTone(originals.back(), 48000, 2, 0.3, k.encode)) << k.file;
    }
    originals.push_back(dir.File("a.mod"));
    test::WriteAll(originals.back(), test::TinyModule());

    std::mt19937 random(2024);
    int opened = 0, tried = 0;
    for (const std::string& original : originals) {
        const std::vector<std::uint8_t> bytes = test::ReadAll(original);
        const std::string ext = original.substr(original.rfind('.'));
        for (int m = 0; m < 36; ++m) {
            std::vector<std::uint8_t> damaged = bytes;
            if (m % 3 == 0) {
                damaged.resize(random() % bytes.size());  // cut short
            } else {
                // Overwrite a few bytes, mostly in the headers.
                const std::size_t span = m % 3 == 1 ? std::min<std::size_t>(bytes.size(), 1200) : bytes.size();
                const int count = 1 + static_cast<int>(random() % 8);
                for (int i = 0; i < count; ++i) damaged[random() % span] = static_cast<std::uint8_t>(random());
            }
            const std::string path = dir.File("damaged" + ext);
            test::WriteAll(path, damaged);
            BassAudioSource source;
            ++tried;
            if (!source.Open(path, 0)) continue;
            ++opened;
            EXPECT_GT(source.GetSampleRate(), 0);
            EXPECT_GE(source.GetSourceChannels(), 1);
            EXPECT_LE(source.GetSourceChannels(), 64);
            EXPECT_GE(source.GetDuration(), 0);
            EXPECT_GE(source.GetBitrate(), 0);
            const Decoded decoded = ReadToEnd(source, 200000);
            EXPECT_LT(decoded.counts.size(), 200000u) << "reads never ended";
            for (int n : decoded.counts) ASSERT_LE(n, kSamplesPerBlock);
        }
    }
    EXPECT_GT(opened, tried / 4);  // the mutations did reach the decoders
}

}  // namespace
}  // namespace tembrel
