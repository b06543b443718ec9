// The spool file behind the stage: what goes in comes back byte for byte
// from wherever reading starts, across the edges of its buffer, and the
// file is never seen in the temporary folder.
#include "engine/temp_spool_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/scoped_env.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

TEST(TempSpoolFileTest, BytesComeBackAsWrittenFromAnyOffsetAndTheFileLeavesNoName) {
    test::ScratchDir scratch;
    test::ScopedEnv env;
    env.Set("TMPDIR", scratch.Path());
    constexpr std::size_t kBlock = 2304;  // one block of 16-bit samples, as the stage writes them
    std::vector<std::uint8_t> data(3 * TempSpoolFile::kBufferBytes + 1000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);

    TempSpoolFile spool;
    ASSERT_TRUE(spool.Create());
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
    for (std::size_t at = 0; at < data.size(); at += kBlock)
        ASSERT_TRUE(spool.Write(data.data() + at, std::min(kBlock, data.size() - at)));
    ASSERT_TRUE(spool.Flush());

    for (std::size_t from : {std::size_t{0}, std::size_t{2}, TempSpoolFile::kBufferBytes - 2,
                             2 * TempSpoolFile::kBufferBytes + 2}) {
        SCOPED_TRACE(from);
        ASSERT_TRUE(spool.SeekTo(from));
        std::vector<std::uint8_t> back;
        std::vector<std::uint8_t> block(kBlock);
        std::int64_t got;
        while ((got = spool.Read(block.data(), block.size())) > 0)
            back.insert(back.end(), block.begin(), block.begin() + got);
        EXPECT_EQ(got, 0);
        EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + static_cast<std::ptrdiff_t>(from),
                               data.end()) &&
                    back.size() == data.size() - from);
    }

    // Written after a read, bytes land where the reading stopped.
    ASSERT_TRUE(spool.SeekTo(0));
    std::vector<std::uint8_t> head(100);
    ASSERT_EQ(spool.Read(head.data(), head.size()), 100);
    const std::uint8_t mark[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    ASSERT_TRUE(spool.Write(mark, sizeof mark));
    ASSERT_TRUE(spool.SeekTo(98));
    std::uint8_t around[8] = {};
    ASSERT_EQ(spool.Read(around, sizeof around), 8);
    const std::uint8_t expected[8] = {data[98], data[99], 0xDE, 0xAD, 0xBE, 0xEF, data[104], data[105]};
    EXPECT_TRUE(std::equal(std::begin(around), std::end(around), std::begin(expected)));

    spool.Close();
    EXPECT_FALSE(spool.IsOpen());
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}

}  // namespace
}  // namespace tembrel
