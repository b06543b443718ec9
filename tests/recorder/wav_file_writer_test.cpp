// WavFileWriter: the 44-byte header, sizes filled in at Close, and files that
// sox and ffprobe read back as written.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "recorder/wav_file_writer.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::ScratchDir;

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::string Text(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t n) {
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

struct FormatCase {
    bool stereo;
    int bits;
    int rate;
    std::uint32_t avgBytes;
    std::uint16_t blockAlign;
};

class WavWriterFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(WavWriterFormat, EmptyFileHasTheHeaderAndZeroData) {
    const FormatCase c = GetParam();
    ScratchDir dir;
    const std::string path = dir.File("empty.wav");
    WavFileWriter writer;
    ASSERT_EQ(writer.Open(path, c.stereo, c.bits, c.rate), 1);
    // Placeholders while open.
    std::vector<std::uint8_t> open = test::ReadAll(path);
    ASSERT_EQ(open.size(), 44u);
    EXPECT_EQ(Le32(open, 4), 4u);
    EXPECT_EQ(Le32(open, 40), 4u);
    writer.Close();

    const std::vector<std::uint8_t> b = test::ReadAll(path);
    ASSERT_EQ(b.size(), 44u);
    EXPECT_EQ(Text(b, 0, 4), "RIFF");
    EXPECT_EQ(Le32(b, 4), 36u);
    EXPECT_EQ(Text(b, 8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(b, 16), 16u);
    EXPECT_EQ(Le16(b, 20), 1);
    EXPECT_EQ(Le16(b, 22), c.stereo ? 2 : 1);
    EXPECT_EQ(Le32(b, 24), static_cast<std::uint32_t>(c.rate));
    EXPECT_EQ(Le32(b, 28), c.avgBytes);
    EXPECT_EQ(Le16(b, 32), c.blockAlign);
    EXPECT_EQ(Le16(b, 34), c.bits);
    EXPECT_EQ(Text(b, 36, 4), "data");
    EXPECT_EQ(Le32(b, 40), 0u);
    EXPECT_EQ(writer.GetFormat().avgBytesPerSec, c.avgBytes);
    EXPECT_EQ(writer.GetFormat().extraSize, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, WavWriterFormat,
                         ::testing::Values(FormatCase{true, 16, 44100, 176400, 4}, FormatCase{false, 16, 11025, 22050, 2},
                                           FormatCase{false, 8, 8000, 8000, 1}, FormatCase{true, 8, 22050, 44100, 2}),
                         [](const auto& info) {
                             const FormatCase& c = info.param;
                             return std::string(c.stereo ? "Stereo" : "Mono") + std::to_string(c.bits) + "Bit" +
                                    std::to_string(c.rate);
                         });

// Data appended in uneven pieces lands as written; sox reads the file back
// with the declared format and the same samples.
TEST(WavFileWriter, PiecesRoundTripThroughSoxAndFfprobe) {
    ScratchDir dir;
    const std::string path = dir.File("rec.wav");
    std::mt19937 random(5);
    std::vector<std::uint8_t> data(4 * 10000);
    for (auto& b : data) b = static_cast<std::uint8_t>(random());
    {
        WavFileWriter writer;
        ASSERT_EQ(writer.Open(path, true, 16, 22050), 1);
        std::size_t at = 0;
        for (std::size_t piece : {1u, 3u, 4096u, 17u, 0u}) {
            EXPECT_EQ(writer.Write(data.data() + at, piece), 1);
            at += piece;
        }
        EXPECT_EQ(writer.Write(data.data() + at, data.size() - at), 1);
        // The destructor finalises what is still open.
    }
    const std::vector<std::uint8_t> b = test::ReadAll(path);
    ASSERT_EQ(b.size(), 44 + data.size());
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    EXPECT_EQ(Le32(b, 40), data.size());

    std::string out;
    const std::string q = test::ShellQuote(path);
    ASSERT_EQ(test::RunCommand("(sox --i -c " + q + "; sox --i -r " + q + "; sox --i -s " + q + ") | tr '\\n' ' '", &out), 0);
    EXPECT_EQ(out, "2 22050 10000 ");
    ASSERT_EQ(test::RunCommand("sox " + test::ShellQuote(path) + " -t raw -", &out), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.end()), data);
    ASSERT_EQ(test::RunCommand("ffprobe -v error -show_entries stream=codec_name,channels,sample_rate,duration_ts "
                               "-of default=nw=1:nk=1 " + test::ShellQuote(path) + " | tr '\\n' ' '", &out), 0);
    EXPECT_EQ(out, "pcm_s16le 22050 2 10000 ");
}

TEST(WavFileWriter, OddLengthAndSecondCloseAndReopen) {
    ScratchDir dir;
    const std::string path = dir.File("odd.wav");
    WavFileWriter writer;
    ASSERT_EQ(writer.Open(path, false, 8, 8000), 1);
    const std::uint8_t bytes[3] = {0x80, 0xFF, 0x00};
    writer.Write(bytes, 3);
    writer.Close();
    EXPECT_FALSE(writer.IsOpen());
    std::vector<std::uint8_t> b = test::ReadAll(path);
    ASSERT_EQ(b.size(), 47u);
    EXPECT_EQ(Le32(b, 4), 39u);
    EXPECT_EQ(Le32(b, 40), 3u);
    writer.Close();  // nothing more happens
    EXPECT_EQ(test::ReadAll(path), b);

    // The same writer makes a new file, replacing an existing one.
    ASSERT_EQ(writer.Open(path, true, 16, 44100), 1);
    writer.Close();
    b = test::ReadAll(path);
    ASSERT_EQ(b.size(), 44u);
    EXPECT_EQ(Le32(b, 40), 0u);
    EXPECT_EQ(Le16(b, 22), 2);
}

TEST(WavFileWriter, OpenFailureLeavesNothingOpen) {
    ScratchDir dir;
    WavFileWriter writer;
    EXPECT_EQ(writer.Open(dir.File("no/such/folder/x.wav"), true, 16, 44100), 0);
    EXPECT_FALSE(writer.IsOpen());
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(writer.Write(bytes, 4), 1);
    writer.Close();
    EXPECT_FALSE(writer.IsOpen());
}

}  // namespace
}  // namespace tembrel
