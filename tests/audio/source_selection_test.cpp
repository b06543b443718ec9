// The source selection rule: which reader a file ends up with, by type code.
#include <gtest/gtest.h>

#include "audio/aiff_file_reader.h"
#include "audio/au_file_reader.h"
#include "audio/bass_audio_source.h"
#include "audio/source_selection.h"
#include "audio/source_type.h"
#include "audio/wav_file_reader.h"
#include "audio_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::ShellQuote;

enum class Expect { Rejected, Library, Wav, Aiff, Au };

Expect KindOf(const AudioSource* source) {
    if (!source) return Expect::Rejected;
    if (dynamic_cast<const BassAudioSource*>(source)) return Expect::Library;
    if (dynamic_cast<const WavFileReader*>(source)) return Expect::Wav;
    if (dynamic_cast<const AiffFileReader*>(source)) return Expect::Aiff;
    if (dynamic_cast<const AuFileReader*>(source)) return Expect::Au;
    return Expect::Rejected;
}

// A WAV whose odd-sized chunk lacks its pad byte: the WAV reader finds the
// next chunk by its letters, FFmpeg loses step and finds no sound data.
std::vector<std::uint8_t> UnpaddedWav(const std::vector<std::int16_t>& samples) {
    static const std::uint8_t kHead[] = {'R', 'I', 'F', 'F', 0,   0,   0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                         16,  0,   0,   0,   1,   0,   1,   0,   0x40, 0x1F, 0, 0,  0x80, 0x3E, 0, 0,
                                         2,   0,   16,  0,   'j', 'u', 'n', 'k', 3,   0,   0,   0,   'x', 'y', 'z',
                                         'd', 'a', 't', 'a'};
    std::vector<std::uint8_t> b(std::begin(kHead), std::end(kHead));
    auto bytes = static_cast<std::uint32_t>(samples.size() * 2);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(bytes >> (8 * i)));
    for (auto s : samples) {
        b.push_back(static_cast<std::uint8_t>(s & 0xFF));
        b.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    return b;
}

TEST(SourceSelection, ReaderByTypeCode) {
    if (!test::HaveTool("sox") || !test::HaveTool("ffmpeg") || !test::HaveTool("sndfile-convert"))
        GTEST_SKIP() << "sox, ffmpeg and sndfile-convert are needed";
    test::ScratchDir dir;
    auto signal = test::MakeSignal(8000, 1, 8000);
    const std::string wav = dir.File("plain.wav");
    test::WritePcm16Wav(wav, signal, 1, 8000);
    const std::string unpadded = dir.File("unpadded.wav");
    test::WriteAll(unpadded, UnpaddedWav(signal));
    const std::string au = dir.File("tone.au");
    ASSERT_TRUE(test::Run("sox " + ShellQuote(wav) + " " + ShellQuote(au)));
    const std::string aiff = dir.File("tone.aif");
    ASSERT_TRUE(test::Run("sox " + ShellQuote(wav) + " " + ShellQuote(aiff)));
    const std::string dwvw = dir.File("dwvw.aif");  // no FFmpeg decoder for DWVW
    ASSERT_TRUE(test::Run("sndfile-convert -dwvw16 " + ShellQuote(wav) + " " + ShellQuote(dwvw)));
    const std::string mp3 = dir.File("tone.mp3");
    ASSERT_TRUE(test::Run("ffmpeg -v error -y -i " + ShellQuote(wav) + " -c:a libmp3lame " + ShellQuote(mp3)));
    const std::string junk = dir.File("junk.bin");
    test::WriteAll(junk, std::vector<std::uint8_t>(5000, 0x5A));

    struct Case {
        const char* name;
        std::string path;
        int type;
        Expect expect;
    };
    const Case cases[] = {
        {"wav through the library", wav, kSourceTypeWav, Expect::Library},
        {"wav the library refuses", unpadded, kSourceTypeWav, Expect::Wav},
        {"same file typed other", unpadded, kSourceTypeOther, Expect::Rejected},
        {"same file typed aiff", unpadded, kSourceTypeAiff, Expect::Rejected},
        {"aiff through the library", aiff, kSourceTypeAiff, Expect::Library},
        {"dwvw falls back to the aiff reader", dwvw, kSourceTypeAiff, Expect::Aiff},
        {"dwvw typed wav", dwvw, kSourceTypeWav, Expect::Rejected},
        {"au only through the au reader", au, kSourceTypeAu, Expect::Au},
        {"wav typed au is not tried elsewhere", wav, kSourceTypeAu, Expect::Rejected},
        {"mp3 typed other", mp3, kSourceTypeOther, Expect::Library},
        {"junk typed wav", junk, kSourceTypeWav, Expect::Rejected},
        {"junk typed aiff", junk, kSourceTypeAiff, Expect::Rejected},
        {"junk typed au", junk, kSourceTypeAu, Expect::Rejected},
        {"missing file", dir.File("none.wav"), kSourceTypeWav, Expect::Rejected},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int rate : {0, 44100}) {
            auto source = OpenAudioSource(c.path, c.type, rate);
            ASSERT_EQ(KindOf(source.get()), c.expect);
            if (!source) continue;
            EXPECT_EQ(source->GetSampleRate(), 8000);
            EXPECT_EQ(source->GetChannels(), 1);
            auto got = test::ReadAll(*source);
            EXPECT_GE(got.left.size(), 7900u);
            if (c.expect != Expect::Library && c.expect != Expect::Aiff) {
                EXPECT_EQ(std::vector<std::int16_t>(got.left.begin(), got.left.begin() + 7900),
                          std::vector<std::int16_t>(signal.begin(), signal.begin() + 7900));
            }
        }
    }
}

}  // namespace
}  // namespace tembrel
