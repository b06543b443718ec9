// The shipped templates through the program's own template code, as a
// conversion uses them: every kind's colours replace every key the design
// draws in, the four action blocks come out, timing templates give a
// frame-rate place, and the picture template takes a picture.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/template_action_blocks.h"
#include "swf/action_block.h"
#include "swf/picture_embed.h"
#include "swf/swf_template.h"
#include "swf/template_kinds.h"

namespace tembrel {
namespace {

const std::string kProgram = TEMBREL_PROGRAM_DIR;

// How often the RGB triple of `c` occurs in the template's shape, text and
// sprite tags (where the key colours live).
int KeyOccurrences(const SwfTemplate& t, ColourRef c) {
    const std::uint8_t rgb[3] = {RedOf(c), GreenOf(c), BlueOf(c)};
    int found = 0;
    for (const auto& tag : t.Tags()) {
        if (tag.code != 2 && tag.code != 22 && tag.code != 32 && tag.code != 11 && tag.code != 39) continue;
        auto begin = t.Data().begin() + tag.offset, end = begin + tag.length;
        for (auto it = std::search(begin, end, rgb, rgb + 3); it != end; it = std::search(it + 1, end, rgb, rgb + 3))
            ++found;
    }
    return found;
}

TEST(ShippedTemplatesApi, EveryKeyTakesTheUsersColourAndTheBlocksComeOut) {
    const std::vector<std::string> names = {
        "ControlSWF/square_gradient_3.swf",  "ControlSWF/square_gradient_time.swf",
        "ControlSWF/circle_gradient_1.swf",  "ControlSWF/circle_plain_1.swf",
        "ControlSWF/text_1.swf",             "ControlSWF/trumpet_1.swf",
        "ControlSWF/round_rect_1.swf",       "ControlSWF/track_bar.swf",
        "ControlSWF/track_time.swf",         "ControlSWF/ShellPlayer/square_gradient_3.swf",
        "ControlSWF/ShellPlayer/circle_plain_1.swf", "ControlSWF/ShellPlayer/track_bar.swf",
        "ControlSWF/ShellPlayer/track_time.swf", "empty.swf"};
    const ColourRef button = MakeColourRef(0xCC, 0x33, 0x01);
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const std::string path = kProgram + "/" + name;
        // Scanned with an empty colour map: the tags as drawn.
        SwfTemplate plain;
        ASSERT_TRUE(plain.LoadTemplate(path));
        plain.ScanAndRecolour();
        SwfTemplate t;
        ASSERT_TRUE(t.LoadTemplate(path));
        int kind = TemplateKindFromName(path);
        if (kind == kTemplateKindTrack) {
            SetTrackColours(t, button, MakeColourRef(1, 2, 3), MakeColourRef(4, 5, 6), MakeColourRef(7, 8, 9));
        } else {
            SetKindColours(t, kind, button);
        }
        std::vector<ColourRef> drawn;
        for (const auto& [key, replacement] : t.Colours().Pairs())
            if (KeyOccurrences(plain, key) > 0) drawn.push_back(key);
        EXPECT_EQ(drawn.size(), t.Colours().Size()) << "every key of the kind is drawn";
        t.SetBackgroundColour(MakeColourRef(0xFE, 0xFD, 0xFC));
        t.ScanAndRecolour();
        for (ColourRef key : drawn) {
            if (key == 0) continue;  // zero bytes are everywhere, not only in colours
            EXPECT_EQ(KeyOccurrences(t, key), 0) << ColourToHex(key);
        }
        ActionBlock blocks[4];
        ASSERT_TRUE(ExtractActionBlocks(t, blocks[0], blocks[1], blocks[2], blocks[3]));
        if (IsTimingTemplatePath(path)) {
            EXPECT_TRUE(LocateFrameRatePatch(blocks[0]));
            EXPECT_TRUE(LocateFrameRatePatch(blocks[1]));
        }
    }
}

TEST(ShippedTemplatesApi, PictureTemplateTakesThePictureAtItsSize) {
    SwfTemplate t;
    ASSERT_TRUE(t.LoadTemplate(kProgram + "/ControlSWF/use_a_jpeg_1.swf"));
    EXPECT_EQ(TemplateKindFromName(kProgram + "/ControlSWF/use_a_jpeg_1.swf"), kTemplateKindPicture);
    ASSERT_TRUE(EmbedPicture(t, kProgram + "/sample.jpg", 100, 75));
    // Reload the rebuilt bytes to read the new stage as a conversion would.
    SwfTemplate rebuilt;
    ASSERT_TRUE(rebuilt.LoadTemplateBytes(t.Data()));
    EXPECT_EQ(rebuilt.Width(), 100);
    EXPECT_EQ(rebuilt.Height(), 75);
    rebuilt.ScanAndRecolour();
    ActionBlock blocks[4];
    EXPECT_TRUE(ExtractActionBlocks(rebuilt, blocks[0], blocks[1], blocks[2], blocks[3]));
}

}  // namespace
}  // namespace tembrel
