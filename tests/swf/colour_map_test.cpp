#include <gtest/gtest.h>

#include "swf/colour_map.h"

using namespace tembrel;

TEST(ColourMap, SetReplacesEqualKeyAndOtherwiseAppends) {
    ColourMap map;
    EXPECT_TRUE(map.Empty());
    map.Set(0x112233, 0x000001);
    map.Set(0x445566, 0x000002);
    map.Set(0x112233, 0x000003);
    ASSERT_EQ(map.Size(), 2u);
    EXPECT_EQ(map.Pairs()[0], std::make_pair(ColourRef{0x112233}, ColourRef{0x000003}));
    EXPECT_EQ(map.Pairs()[1], std::make_pair(ColourRef{0x445566}, ColourRef{0x000002}));
    ASSERT_NE(map.Find(0x445566), nullptr);
    EXPECT_EQ(*map.Find(0x445566), 0x000002u);
    EXPECT_EQ(map.Find(0x445567), nullptr);
    map.Clear();
    EXPECT_TRUE(map.Empty());
    EXPECT_EQ(map.Find(0x112233), nullptr);
}

TEST(ColourMap, RecolourComparesRedGreenBlueAndKeepsAlpha) {
    ColourMap map;
    // Key of the file bytes 10 20 30 is 0x302010 (red in the low byte).
    map.Set(MakeColourRef(0x10, 0x20, 0x30), MakeColourRef(0xA1, 0xB2, 0xC3));
    std::uint8_t rgba[4] = {0x10, 0x20, 0x30, 0x44};
    map.RecolourInPlace(rgba);
    EXPECT_EQ(rgba[0], 0xA1);
    EXPECT_EQ(rgba[1], 0xB2);
    EXPECT_EQ(rgba[2], 0xC3);
    EXPECT_EQ(rgba[3], 0x44);

    std::uint8_t reversed[3] = {0x30, 0x20, 0x10};  // same bytes, other order: no key
    map.RecolourInPlace(reversed);
    EXPECT_EQ(reversed[0], 0x30);
    EXPECT_EQ(reversed[2], 0x10);
}
