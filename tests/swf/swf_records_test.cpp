#include <functional>
#include <ostream>
#include <gtest/gtest.h>

#include "swf/swf_records.h"

using namespace tembrel;

namespace {

struct EncodingCase {
    const char* name;
    std::function<void(ByteBuffer&)> encode;
    ByteBuffer expected;
};

const EncodingCase kCases[] = {
    {"byte", [](ByteBuffer& b) { PutByte(b, 0xAB); }, {0xAB}},
    {"16-bit little-endian", [](ByteBuffer& b) { Put16(b, 0x1234); }, {0x34, 0x12}},
    {"32-bit little-endian", [](ByteBuffer& b) { Put32(b, 0x12345678); }, {0x78, 0x56, 0x34, 0x12}},
    {"RGB from 0x00BBGGRR", [](ByteBuffer& b) { PutRgb(b, 0x00332211); }, {0x11, 0x22, 0x33}},
    {"RGBA", [](ByteBuffer& b) { PutRgba(b, 0x00332211, 0x80); }, {0x11, 0x22, 0x33, 0x80}},
    {"short tag header, 62 bytes", [](ByteBuffer& b) { PutTagHeader(b, 19, 62); }, {0xFE, 0x04}},
    {"long tag header, 63 bytes", [](ByteBuffer& b) { PutTagHeader(b, 19, 63); }, {0xFF, 0x04, 63, 0, 0, 0}},
    {"ShowFrame header", [](ByteBuffer& b) { PutTagHeader(b, 1, 0); }, {0x40, 0x00}},
    {"long header, large body", [](ByteBuffer& b) { PutTagHeader(b, 14, 0x012345); },
     {0xBF, 0x03, 0x45, 0x23, 0x01, 0x00}},
    {"RECT of a 1x1 stage", [](ByteBuffer& b) { ASSERT_TRUE(PutRect(b, 0, 20, 0, 20)); },
     // Nbits 6: 00110 000000 010100 000000 010100, then 3 zero bits
     {0x30, 0x0A, 0x00, 0xA0}},
    {"RECT of a 550x400 stage", [](ByteBuffer& b) { ASSERT_TRUE(PutRect(b, 0, 11000, 0, 8000)); },
     {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00}},
    {"all-zero RECT has Nbits 1", [](ByteBuffer& b) { ASSERT_TRUE(PutRect(b, 0, 0, 0, 0)); }, {0x08, 0x00}},
    {"negative RECT coordinates", [](ByteBuffer& b) { ASSERT_TRUE(PutRect(b, -1, 1, -1, 1)); },
     // Nbits 2: 00010 11 01 11 01 -> 0001 0110 1110 1000
     {0x16, 0xE8}},
    {"bit fields continue across bytes and pad with zeros",
     [](ByteBuffer& b) {
         int pos = 0;
         PutBits(b, pos, 0x5, 3);
         PutBits(b, pos, 0x3FF, 10);
         PutSignedBits(b, pos, -2, 4);
         EndBits(pos);
         PutByte(b, 0x77);
     },
     // 101 1111111111 1110, then seven zero bits
     {0xBF, 0xFF, 0x00, 0x77}},
};

void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.name; }

class RecordEncoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(RecordEncoding, WritesExpectedBytes) {
    ByteBuffer buffer;
    GetParam().encode(buffer);
    EXPECT_EQ(buffer, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, RecordEncoding, testing::ValuesIn(kCases), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

TEST(RecordHelpers, ReturnThePositionAfterWhatTheyWrote) {
    ByteBuffer buffer{1, 2};
    EXPECT_EQ(Put16(buffer, 7), 4u);
    EXPECT_EQ(PutTagHeader(buffer, 14, 100), 10u);
    int pos = 0;
    EXPECT_EQ(PutBits(buffer, pos, 1, 1), 11u);
    EXPECT_EQ(PutBits(buffer, pos, 1, 7), 11u);  // same byte until it fills
}

TEST(RecordHelpers, SignedBitWidthExamples) {
    EXPECT_EQ(SignedBitWidth(0), 1);
    EXPECT_EQ(SignedBitWidth(1), 2);
    EXPECT_EQ(SignedBitWidth(-1), 2);
    EXPECT_EQ(SignedBitWidth(600), 11);
    EXPECT_EQ(SignedBitWidth(-600), 11);
    EXPECT_EQ(SignedBitWidth(11000), 15);
    EXPECT_EQ(SignedBitWidth(-1024), 12);
    EXPECT_EQ(SignedBitWidth(INT32_MIN), 33);
}

TEST(RecordHelpers, RectThatNeedsMoreThan31BitsIsRefused) {
    ByteBuffer buffer{9};
    EXPECT_FALSE(PutRect(buffer, 0, 0x40000000, 0, 20));  // 31 digits + 1
    EXPECT_FALSE(PutRect(buffer, INT32_MIN, 0, 0, 0));
    EXPECT_EQ(buffer, ByteBuffer{9});
    EXPECT_TRUE(PutRect(buffer, 0, 0x3FFFFFFF, 0, 0));  // 30 digits: Nbits 31
}

}  // namespace
