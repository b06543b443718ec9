// The Quick-start demo must leave a SWF whose sound FFmpeg plays whole.
#include <gtest/gtest.h>

#include "platform/os_file.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::RunCommand;
using test::ShellQuote;

TEST(DemoStreamSwfTest, WritesAStreamingSwfFfmpegDecodes) {
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe not installed";
    test::ScratchDir dir;
    const std::string program = std::string(TEMBREL_PROGRAM_DIR) + "/demo_stream_swf";
    const std::string swf = dir.File("melody.swf");
    for (int rate : {12, 120}) {
        ASSERT_EQ(RunCommand(ShellQuote(program) + " " + ShellQuote(swf) + " " + std::to_string(rate)), 0);
        ASSERT_TRUE(FileExists(dir.File("melody.mp3")));
        std::string out;
        ASSERT_EQ(RunCommand("ffprobe -v fatal -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 " +
                                 ShellQuote(swf),
                             &out),
                  0);
        EXPECT_EQ(out, "mp3,44100,2\n");
        // Sixteen half-second notes, plus the encoder's padding.
        const std::string raw = dir.File("melody.raw");
        ASSERT_EQ(RunCommand("ffmpeg -nostdin -v fatal -y -i " + ShellQuote(swf) + " -f s16le -acodec pcm_s16le " +
                             ShellQuote(raw)),
                  0);
        double seconds = static_cast<double>(FileSizeAt(raw)) / (4.0 * 44100);
        EXPECT_NEAR(seconds, 8.05, 0.1) << rate << " fps";
    }
    EXPECT_NE(RunCommand(ShellQuote(program) + " " + ShellQuote(swf) + " 0 2>/dev/null"), 0);
    EXPECT_NE(RunCommand(ShellQuote(program) + " 2>/dev/null"), 0);
}

}  // namespace
}  // namespace tembrel
