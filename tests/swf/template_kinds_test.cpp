#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "swf/template_kinds.h"

using namespace tembrel;

namespace {

using Pairs = std::vector<std::pair<ColourRef, ColourRef>>;

constexpr ColourRef Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return MakeColourRef(r, g, b); }
constexpr ColourRef Grey(std::uint8_t level) { return MakeColourRef(level, level, level); }

}  // namespace

TEST(TemplateKind, RecognisedByNameInAnyCaseAndFolder) {
    const struct {
        const char* path;
        int kind;
    } cases[] = {
        {"/opt/tembrel/ControlSWF/circle_gradient_1.swf", 100},
        {"/opt/tembrel/ControlSWF/Circle_Plain.swf", 150},
        {"/opt/tembrel/ControlSWF/square_gradient_3.swf", 200},
        {"/opt/tembrel/ControlSWF/ShellPlayer/square_gradient_3.swf", 200},
        {"/opt/tembrel/ControlSWF/TRACK_blue.swf", 300},
        {"/opt/tembrel/ControlSWF/trumpet.swf", 400},
        {"/opt/tembrel/ControlSWF/round_rect_2.swf", 500},
        {"/opt/tembrel/ControlSWF/use_a_jpeg.swf", 600},
        {"/opt/tembrel/ControlSWF/text_time.swf", 700},
        // "text" is tested before "square_gradient", folders count too.
        {"/opt/tembrel/ControlSWF/square_gradient_text.swf", 700},
        {"/home/u/TextPlayers/square_gradient_3.swf", 700},
        {"/opt/tembrel/ControlSWF/track.swf", 0},  // "track_" needs the underscore
        {"/opt/tembrel/empty.swf", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(TemplateKindFromName(c.path), c.kind) << c.path;
}

TEST(GradientShades, SpreadsTheButtonColour) {
    GradientShadeSet shades = GradientShades(Rgb(0x00, 0xAA, 0x00), 0.4f, 0.3f, 0.8f);
    EXPECT_EQ(ColourToHex(shades.dark), "#004400");
    EXPECT_EQ(ColourToHex(shades.base), "#00AA00");
    EXPECT_EQ(ColourToHex(shades.light), "#4CC34C");
    EXPECT_EQ(ColourToHex(shades.lighter), "#CCEECC");

    GradientShadeSet extremes = GradientShades(Rgb(0xFF, 0x00, 0x80), 1.0f, 0.0f, 1.0f);
    EXPECT_EQ(ColourToHex(extremes.dark), "#FF0080");
    EXPECT_EQ(ColourToHex(extremes.light), "#FF0080");
    EXPECT_EQ(ColourToHex(extremes.lighter), "#FFFFFF");
}

TEST(SetKindColours, FillsEachKindsKeysInOrder) {
    const ColourRef button = Rgb(0x00, 0xAA, 0x00);
    const struct {
        int kind;
        Pairs pairs;
    } cases[] = {
        {100, {{Rgb(0x00, 0x4A, 0x00), Rgb(0x00, 0x44, 0x00)}, {Rgb(0x1D, 0xA4, 0x00), button},
               {Rgb(0x61, 0xEF, 0x01), Rgb(0x4C, 0xC3, 0x4C)}, {Rgb(0xD5, 0xFF, 0xD7), Rgb(0xCC, 0xEE, 0xCC)}}},
        {150, {{Rgb(0, 0, 0), button}}},
        {700, {{Rgb(0, 0, 0), button}}},
        {200, {{Rgb(0x00, 0x33, 0x66), button}}},
        {400, {{Rgb(0x33, 0x66, 0xCC), button}}},
        {0, {}},
        {600, {}},
        {300, {}},  // track templates have their own setter
        {123, {}},
    };
    for (const auto& c : cases) {
        SwfTemplate tmpl;
        tmpl.Colours().Set(Grey(0x42), Grey(0x24));  // a previous kind's pair goes
        EXPECT_TRUE(SetKindColours(tmpl, c.kind, button, 0.4f, 0.3f, 0.8f));
        EXPECT_EQ(tmpl.Colours().Pairs(), c.pairs) << "kind " << c.kind;
    }
}

TEST(SetKindColours, RoundRectScalesAndClampsTheButtonColour) {
    SwfTemplate tmpl;
    SetKindColours(tmpl, kTemplateKindRoundRect, Grey(100));
    // 100 × each factor, truncated.
    const Pairs greys = {{Grey(0x6F), Grey(100)}, {Grey(0x77), Grey(107)}, {Grey(0x88), Grey(122)},
                         {Grey(0x66), Grey(91)},  {Grey(0x99), Grey(137)}, {Grey(0xBB), Grey(168)},
                         {Grey(0xA6), Grey(149)}, {Grey(0x5E), Grey(84)},  {Grey(0x73), Grey(103)}};
    EXPECT_EQ(tmpl.Colours().Pairs(), greys);

    SetKindColours(tmpl, kTemplateKindRoundRect, Rgb(0xFF, 0x00, 0xC8));
    const Pairs red = {{Grey(0x6F), Rgb(0xFF, 0x00, 0xC8)}, {Grey(0x77), Rgb(0xFF, 0, 214)},
                       {Grey(0x88), Rgb(0xFF, 0, 245)},     {Grey(0x66), Rgb(234, 0, 183)},
                       {Grey(0x99), Rgb(0xFF, 0, 0xFF)},    {Grey(0xBB), Rgb(0xFF, 0, 0xFF)},
                       {Grey(0xA6), Rgb(0xFF, 0, 0xFF)},    {Grey(0x5E), Rgb(215, 0, 169)},
                       {Grey(0x73), Rgb(0xFF, 0, 207)}};
    EXPECT_EQ(tmpl.Colours().Pairs(), red);
    ASSERT_NE(tmpl.Colours().Find(Grey(0xBB)), nullptr);
    EXPECT_EQ(ColourToHex(*tmpl.Colours().Find(Grey(0xBB))), "#FF00FF");
}

TEST(SetTrackColours, FollowsButtonAndTrackFactorWithClamping) {
    const ColourRef top = Rgb(1, 2, 3), bottom = Rgb(4, 5, 6), border = Rgb(7, 8, 9);
    const struct {
        const char* name;
        ColourRef button;
        float trackFactor;
        Pairs pairs;
    } cases[] = {
        {"grey 100, factor 1", Grey(100), 1.0f,
         {{Grey(0x66), Grey(100)}, {Grey(0x17), Grey(22)}, {Grey(0x87), Grey(132)}, {Grey(0x55), Grey(83)},
          {Grey(0x47), Grey(69)}, {Grey(0xE7), Grey(226)}, {Grey(0x88), top}, {Grey(0xD5), bottom},
          {Grey(0x38), border}}},
        {"factor 0 blackens the middle greys", Grey(100), 0.0f,
         {{Grey(0x66), Grey(0)}, {Grey(0x17), Grey(22)}, {Grey(0x87), Grey(132)}, {Grey(0x55), Grey(0)},
          {Grey(0x47), Grey(0)}, {Grey(0xE7), Grey(226)}, {Grey(0x88), top}, {Grey(0xD5), bottom},
          {Grey(0x38), border}}},
        {"factor 5 and a bright channel clamp", Rgb(200, 40, 0), 5.0f,
         {{Grey(0x66), Rgb(255, 200, 0)}, {Grey(0x17), Rgb(45, 9, 0)}, {Grey(0x87), Rgb(255, 52, 0)},
          {Grey(0x55), Rgb(255, 166, 0)}, {Grey(0x47), Rgb(255, 139, 0)}, {Grey(0xE7), Rgb(255, 90, 0)},
          {Grey(0x88), top}, {Grey(0xD5), bottom}, {Grey(0x38), border}}},
    };
    for (const auto& c : cases) {
        SwfTemplate tmpl;
        SetKindColours(tmpl, kTemplateKindSquareGradient, c.button);
        EXPECT_TRUE(SetTrackColours(tmpl, c.button, top, bottom, border, c.trackFactor));
        EXPECT_EQ(tmpl.Colours().Pairs(), c.pairs) << c.name;
    }
}
