// The G.711 expanders agree with sox's decoding of every code.
#include <gtest/gtest.h>

#include "audio/g711.h"
#include "audio_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

TEST(G711, EveryCodeMatchesSox) {
    if (!test::HaveTool("sox")) GTEST_SKIP() << "sox is needed";
    test::ScratchDir dir;
    std::vector<std::uint8_t> codes(256);
    for (int i = 0; i < 256; ++i) codes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    test::WriteAll(dir.File("codes.raw"), codes);
    for (const char* encoding : {"a-law", "mu-law"}) {
        SCOPED_TRACE(encoding);
        std::string command = "sox -t raw -r 8000 -c 1 -e " + std::string(encoding) + " " +
                              test::ShellQuote(dir.File("codes.raw")) + " -t raw -e signed-integer -b 16 -L " +
                              test::ShellQuote(dir.File("linear.raw"));
        ASSERT_TRUE(test::Run(command));
        auto linear = test::ReadAll(dir.File("linear.raw"));
        ASSERT_EQ(linear.size(), 512u);
        for (int i = 0; i < 256; ++i) {
            auto expected = static_cast<std::int16_t>(linear[2 * i] | (linear[2 * i + 1] << 8));
            auto code = static_cast<std::uint8_t>(i);
            EXPECT_EQ(encoding[0] == 'a' ? ALawToLinear(code) : MuLawToLinear(code), expected) << "code " << i;
        }
    }
}

}  // namespace
}  // namespace tembrel
