#include <gtest/gtest.h>

#include "support/test_support.h"
#include "swf/swf_records.h"
#include "swf/swf_writer.h"

using namespace tembrel;
using tembrel::test::ReadAll;

namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(SwfWriter, EmptyMovieHasPatchedLengthAndNoFrames) {
    test::ScratchDir dir;
    SwfWriter writer;
    ASSERT_TRUE(writer.Open(dir.File("a.swf")));
    writer.SetMovie(6, 550, 400, 12);
    ASSERT_TRUE(writer.WriteHeader());
    ASSERT_TRUE(writer.WriteEnd());
    writer.Close();
    auto bytes = ReadAll(dir.File("a.swf"));
    const std::vector<std::uint8_t> expected = {
        'F', 'W', 'S', 6, 23, 0, 0, 0,                         // signature, version, length
        0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00,  // RECT (0, 11000, 0, 8000)
        0x00, 0x0C,                                            // frame rate 12.0
        0x00, 0x00,                                            // frame count
        0x00, 0x00};                                           // End
    EXPECT_EQ(bytes, expected);
}

TEST(SwfWriter, CountsShowFramesWhicheverWayTheyAreWritten) {
    test::ScratchDir dir;
    SwfWriter writer;
    ASSERT_TRUE(writer.Open(dir.File("b.swf")));
    writer.SetMovie(8, 1, 1, 30);
    ASSERT_TRUE(writer.WriteHeader());
    writer.WriteBackgroundColour(0x11, 0x22, 0x33);
    writer.WriteShowFrame();
    const std::uint8_t showFrame[] = {0x40, 0x00};
    writer.WriteTag(kTagShowFrame, showFrame, 2);
    ByteBuffer block;
    PutTagHeader(block, kTagSoundStreamBlock, 4);
    Put32(block, 0);
    writer.WriteTag(kTagSoundStreamBlock, block.data(), block.size());
    ByteBuffer action;
    PutTagHeader(action, kTagDoAction, 1);
    PutByte(action, 0);
    writer.WriteTag(kTagDoAction, action.data(), action.size());
    // Raw bytes appended by a caller count in the length but not as frames.
    const std::uint8_t raw[5] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(writer.OutputFile().Write(raw, sizeof raw));
    writer.WriteEnd();
    EXPECT_EQ(writer.FrameCount(), 2);
    writer.Close();

    auto bytes = ReadAll(dir.File("b.swf"));
    ASSERT_GE(bytes.size(), 16u);
    EXPECT_EQ(Le32(bytes, 4), bytes.size());
    // 1x1 stage: 4-byte RECT, so the rate sits at 12 and the count at 14.
    EXPECT_EQ(bytes[12], 0x00);
    EXPECT_EQ(bytes[13], 30);
    EXPECT_EQ(bytes[14], 2);
    EXPECT_EQ(bytes[15], 0);
    const std::vector<std::uint8_t> background = {0x43, 0x02, 0x11, 0x22, 0x33};
    EXPECT_TRUE(std::equal(background.begin(), background.end(), bytes.begin() + 16));
}

TEST(SwfWriter, ReuseAfterCloseStartsAfresh) {
    test::ScratchDir dir;
    SwfWriter writer;
    ASSERT_TRUE(writer.Open(dir.File("one.swf")));
    writer.SetMovie(6, 10, 10, 12);
    writer.WriteHeader();
    writer.WriteShowFrame();
    writer.WriteShowFrame();
    // Opening again closes (and patches) the first file.
    ASSERT_TRUE(writer.Open(dir.File("two.swf")));
    EXPECT_EQ(writer.FrameCount(), 0);
    writer.SetMovie(6, 10, 10, 12);
    writer.WriteHeader();
    writer.WriteShowFrame();
    writer.WriteEnd();
    writer.Close();
    auto one = ReadAll(dir.File("one.swf"));
    auto two = ReadAll(dir.File("two.swf"));
    // 8 bytes, RECT (0, 200, 0, 200) of 6 bytes, rate and count, then the tags.
    ASSERT_EQ(one.size(), 8u + 6u + 4u + 2u * 2u);
    EXPECT_EQ(one[4], one.size());
    EXPECT_EQ(one[16], 2);
    EXPECT_EQ(two[16], 1);
    EXPECT_EQ(two[4], two.size());
}

TEST(SwfWriter, OpenReplacesAnExistingFileAndFailsOnABadPath) {
    test::ScratchDir dir;
    test::WriteAll(dir.File("c.swf"), std::vector<std::uint8_t>(1000, 0xEE));
    SwfWriter writer;
    ASSERT_TRUE(writer.Open(dir.File("c.swf")));
    writer.SetMovie(6, 1, 1, 12);
    writer.WriteHeader();
    writer.WriteEnd();
    writer.Close();
    EXPECT_EQ(ReadAll(dir.File("c.swf")).size(), 8u + 4u + 4u + 2u);
    EXPECT_FALSE(writer.Open(dir.File("missing/folder/d.swf")));
    writer.Close();  // harmless when nothing is open
}

TEST(SwfWriter, CloseWithoutHeaderLeavesTheFileAlone) {
    test::ScratchDir dir;
    SwfWriter writer;
    ASSERT_TRUE(writer.Open(dir.File("e.swf")));
    writer.SetMovie(6, 60000000, 1, 12);  // 1.2e9 twips: needs 32 bits
    EXPECT_FALSE(writer.WriteHeader());
    writer.Close();
    EXPECT_TRUE(ReadAll(dir.File("e.swf")).empty());
}

}  // namespace
