#include <gtest/gtest.h>

#include "engine/template_action_blocks.h"
#include "support/swf_template_fixtures.h"

using namespace tembrel;
using namespace tembrel::test;

namespace {

// Push (constant 2, integer 12), SetVariable: the frame-rate constant.
const ByteBuffer kRatePush = {0x96, 0x07, 0x00, 0x08, 0x02, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x1D};

ByteBuffer Tag(unsigned code, const ByteBuffer& body) {
    ByteBuffer tag;
    PutTag(tag, code, body);
    return tag;
}

struct Frames {
    std::vector<std::vector<ByteBuffer>> actions;  // DoAction bodies per frame, from frame 1
};

SwfTemplate TemplateWithFrames(const Frames& frames) {
    TemplateFixture movie;
    movie.Add(kTagDefineShape, ShapeBody(1, false, {1, 2, 3, 4, 5, 6, 7}));
    for (const auto& frame : frames.actions) {
        for (const ByteBuffer& body : frame) movie.Add(kTagDoAction, body);
        movie.ShowFrame();
    }
    movie.End();
    SwfTemplate tmpl;
    EXPECT_TRUE(tmpl.LoadTemplateBytes(movie.Bytes()));
    tmpl.ScanAndRecolour();
    return tmpl;
}

}  // namespace

TEST(ExtractActionBlocks, TakesTheDoActionsOfFramesThreeToSix) {
    const ByteBuffer play = ActionsBody({0x06});                   // Play
    const ByteBuffer stopEarly = ActionsBody({0x07, 0x07});
    const ByteBuffer stop = ActionsBody({0x07});                   // Stop
    const ByteBuffer loop = ActionsBody({0x81, 0x02, 0x00, 0x01, 0x00, 0x06});  // GotoFrame 1, Play
    ByteBuffer longEnd(70, 0x02);  // a block of 70 bytes needs the long header
    longEnd.push_back(0x00);
    SwfTemplate tmpl = TemplateWithFrames({{{ActionsBody({0x01})}, {}, {play}, {stopEarly, stop}, {loop},
                                            {longEnd}, {ActionsBody({0x04})}}});

    ActionBlock slots[4];
    slots[2].patchAt = 3;  // stale state from an earlier run goes
    ASSERT_TRUE(ExtractActionBlocks(tmpl, slots[0], slots[1], slots[2], slots[3]));
    EXPECT_EQ(slots[0].data, Tag(kTagDoAction, play));
    EXPECT_EQ(slots[1].data, Tag(kTagDoAction, stop));  // the later block of a frame wins
    EXPECT_EQ(slots[2].data, Tag(kTagDoAction, loop));
    EXPECT_EQ(slots[3].data, Tag(kTagDoAction, longEnd));
    EXPECT_EQ(slots[3].Length(), 6u + 71u);
    for (const ActionBlock& slot : slots) EXPECT_FALSE(slot.patchAt.has_value());
}

TEST(ExtractActionBlocks, FailsWithoutAllFourBlocks) {
    const ByteBuffer a = ActionsBody({0x06});
    const struct {
        const char* name;
        Frames frames;
    } cases[] = {
        {"frame 6 missing", {{{}, {}, {a}, {a}, {a}}}},
        {"frame 4 without DoAction", {{{}, {}, {a}, {}, {a}, {a}}}},
        {"blocks one frame early", {{{}, {a}, {a}, {a}, {a}, {}}}},
        {"no frames at all", {}},
    };
    for (const auto& c : cases) {
        SwfTemplate tmpl = TemplateWithFrames(c.frames);
        ActionBlock slots[4];
        EXPECT_FALSE(ExtractActionBlocks(tmpl, slots[0], slots[1], slots[2], slots[3])) << c.name;
    }
    // A template that was never scanned has no tag list to take blocks from.
    SwfTemplate unscanned;
    ActionBlock slots[4];
    slots[0].data = {1, 2, 3};
    EXPECT_FALSE(ExtractActionBlocks(unscanned, slots[0], slots[1], slots[2], slots[3]));
    EXPECT_TRUE(slots[0].Empty());
}

TEST(TimingTemplate, RecognisedByTimeAnywhereInThePath) {
    EXPECT_TRUE(IsTimingTemplatePath("/opt/tembrel/ControlSWF/square_time.swf"));
    EXPECT_TRUE(IsTimingTemplatePath("/opt/tembrel/ControlSWF/Square_TIME.swf"));
    EXPECT_TRUE(IsTimingTemplatePath("/home/Timers/square.swf"));
    EXPECT_FALSE(IsTimingTemplatePath("/opt/tembrel/ControlSWF/square_tim.swf"));
    EXPECT_FALSE(IsTimingTemplatePath(""));
}

TEST(TimingTemplate, PatchLocationIsTheFirstConstantTwelve) {
    ByteBuffer body = {0x88, 0x03, 0x00, 0x01, 0x00, 0x00};  // a constant pool
    body.insert(body.end(), kRatePush.begin(), kRatePush.end());
    body.insert(body.end(), kRatePush.begin(), kRatePush.end());  // a second one stays
    body.push_back(0x00);
    ActionBlock block;
    block.data = Tag(kTagDoAction, body);
    ASSERT_TRUE(LocateFrameRatePatch(block));
    ASSERT_TRUE(block.patchAt.has_value());
    EXPECT_EQ(*block.patchAt, 2u + 6u + 6u);  // header, constant pool, Push up to the integer
    block.PatchFrameRate(31);
    EXPECT_EQ(block.data[14], 31);
    EXPECT_EQ(block.data[15], 0);
    EXPECT_EQ(block.data[14 + 11], 0x0C);  // the later copy is not touched

    ByteBuffer nearMiss = body;
    nearMiss[6 + 6] = 0x0D;   // integer 13
    nearMiss[6 + 17] = 0x0C;  // second copy: SetVariable replaced
    nearMiss[6 + 21] = 0x1C;
    block.data = Tag(kTagDoAction, nearMiss);
    EXPECT_FALSE(LocateFrameRatePatch(block));
    EXPECT_FALSE(block.patchAt.has_value());
}

TEST(TimingTemplate, ExtractedStartBlockCarriesThePatch) {
    ByteBuffer timed = kRatePush;
    timed.push_back(0x06);
    timed.push_back(0x00);
    const ByteBuffer plain = ActionsBody({0x07});
    SwfTemplate tmpl = TemplateWithFrames({{{}, {}, {timed}, {plain}, {plain}, {plain}}});
    ActionBlock play, stop, loop, end;
    ASSERT_TRUE(ExtractActionBlocks(tmpl, play, stop, loop, end));
    EXPECT_TRUE(LocateFrameRatePatch(play));
    EXPECT_EQ(*play.patchAt, 2u + 6u);
    EXPECT_FALSE(LocateFrameRatePatch(stop));  // a stop block without the constant cannot time a template
}
