// The templates the build writes into the program folder: layout, action
// blocks by frame, the frame-rate place of timing templates, key colours.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace tembrel {
namespace {

struct Tag {
    unsigned code;
    std::vector<std::uint8_t> whole;  // header included
};

struct Movie {
    unsigned version = 0, rate = 0, frames = 0, width = 0, height = 0;
    std::vector<Tag> tags;
};

// A bounded reader of the top-level tags of an uncompressed SWF.
bool ParseMovie(const std::vector<std::uint8_t>& d, Movie& m) {
    if (d.size() < 21 || d[0] != 'F' || d[1] != 'W' || d[2] != 'S') return false;
    std::uint32_t length = d[4] | d[5] << 8 | d[6] << 16 | static_cast<std::uint32_t>(d[7]) << 24;
    if (length != d.size()) return false;
    m.version = d[3];
    unsigned nbits = d[8] >> 3;
    std::size_t rectBytes = (5 + 4 * nbits + 7) / 8;
    auto field = [&](int index) {  // unsigned read of the index-th RECT field
        std::uint32_t v = 0;
        for (unsigned b = 0; b < nbits; ++b) {
            std::size_t bit = 5 + index * nbits + b;
            v = v << 1 | ((d[8 + bit / 8] >> (7 - bit % 8)) & 1);
        }
        return v;
    };
    m.width = (field(1) - field(0)) / 20;
    m.height = (field(3) - field(2)) / 20;
    std::size_t p = 8 + rectBytes;
    m.rate = d[p + 1];
    m.frames = d[p + 2] | d[p + 3] << 8;
    p += 4;
    while (p + 2 <= d.size()) {
        unsigned v = d[p] | d[p + 1] << 8;
        std::size_t header = 2, body = v & 63;
        if (body == 63) {
            if (p + 6 > d.size()) return false;
            body = d[p + 2] | d[p + 3] << 8 | d[p + 4] << 16 | static_cast<std::size_t>(d[p + 5]) << 24;
            header = 6;
        }
        if (p + header + body > d.size()) return false;
        m.tags.push_back({v >> 6, {d.begin() + p, d.begin() + p + header + body}});
        p += header + body;
        if ((v >> 6) == 0) return p == d.size();
    }
    return false;
}

bool Contains(const std::vector<std::uint8_t>& hay, const std::vector<std::uint8_t>& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

struct Shipped {
    const char* path;
    unsigned width, height;
    std::vector<std::vector<std::uint8_t>> keys;  // RGB keys the design must use
};

const std::vector<std::uint8_t> kFrameRatePlace = {0x96, 0x07, 0x00, 0x08, 0x02, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x1D};
const std::vector<std::vector<std::uint8_t>> kTrackKeys = {
    {0x66, 0x66, 0x66}, {0x17, 0x17, 0x17}, {0x87, 0x87, 0x87}, {0x55, 0x55, 0x55}, {0x47, 0x47, 0x47},
    {0xE7, 0xE7, 0xE7}, {0x88, 0x88, 0x88}, {0xD5, 0xD5, 0xD5}, {0x38, 0x38, 0x38}};

TEST(ShippedTemplates, FollowTheLayoutTheBuildersRelyOn) {
    const std::vector<Shipped> shipped = {
        {"ControlSWF/square_gradient_3.swf", 80, 40, {{0x00, 0x33, 0x66}}},
        {"ControlSWF/square_gradient_time.swf", 180, 40, {{0x00, 0x33, 0x66}}},
        {"ControlSWF/circle_gradient_1.swf", 80, 40,
         {{0x00, 0x4A, 0x00}, {0x1D, 0xA4, 0x00}, {0x61, 0xEF, 0x01}, {0xD5, 0xFF, 0xD7}}},
        {"ControlSWF/circle_plain_1.swf", 80, 40, {{0, 0, 0}}},
        {"ControlSWF/text_1.swf", 168, 40, {{0, 0, 0}}},
        {"ControlSWF/trumpet_1.swf", 80, 40, {{0x33, 0x66, 0xCC}}},
        {"ControlSWF/round_rect_1.swf", 80, 40,
         {{0x6F, 0x6F, 0x6F}, {0x77, 0x77, 0x77}, {0x88, 0x88, 0x88}, {0x66, 0x66, 0x66}, {0x99, 0x99, 0x99},
          {0xBB, 0xBB, 0xBB}, {0xA6, 0xA6, 0xA6}, {0x5E, 0x5E, 0x5E}, {0x73, 0x73, 0x73}}},
        {"ControlSWF/track_bar.swf", 300, 32, kTrackKeys},
        {"ControlSWF/track_time.swf", 396, 32, kTrackKeys},
        {"ControlSWF/use_a_jpeg_1.swf", 30, 25, {}},
        {"ControlSWF/ShellPlayer/square_gradient_3.swf", 80, 40, {{0x00, 0x33, 0x66}}},
        {"ControlSWF/ShellPlayer/circle_plain_1.swf", 80, 40, {{0, 0, 0}}},
        {"ControlSWF/ShellPlayer/track_bar.swf", 300, 32, kTrackKeys},
        {"ControlSWF/ShellPlayer/track_time.swf", 396, 32, kTrackKeys},
        {"empty.swf", 1, 1, {}},
    };
    for (const auto& s : shipped) {
        SCOPED_TRACE(s.path);
        auto bytes = test::ReadAll(std::string(TEMBREL_PROGRAM_DIR) + "/" + s.path);
        Movie m;
        ASSERT_TRUE(ParseMovie(bytes, m));
        EXPECT_EQ(m.version, 6u);
        EXPECT_EQ(m.rate, 12u);
        EXPECT_EQ(m.frames, 6u);
        EXPECT_EQ(m.width, s.width);
        EXPECT_EQ(m.height, s.height);
        // Action blocks by frame as the conversion takes them: counter from
        // -2, one up per ShowFrame, slots 0..3 at counter 0..3.
        std::vector<std::vector<std::uint8_t>> slots(4);
        int counter = -2, frame1Tags = 0;
        bool backgroundInFrame1 = false;
        for (const auto& t : m.tags) {
            if (t.code == 1) ++counter;
            if (counter == -2 && t.code != 1) {
                ++frame1Tags;
                backgroundInFrame1 |= t.code == 9;
            }
            if (t.code == 12 && counter >= 0 && counter <= 3) {
                EXPECT_TRUE(slots[counter].empty()) << "one block per frame";
                slots[counter] = t.whole;
            }
            if (counter >= -1) {
                EXPECT_TRUE(t.code == 1 || t.code == 12 || t.code == 0) << "code " << t.code;
            }
        }
        EXPECT_TRUE(backgroundInFrame1);
        for (const auto& slot : slots) EXPECT_GT(slot.size(), 2u);
        bool timing = std::string(s.path).find("time") != std::string::npos;
        if (timing) {
            EXPECT_TRUE(Contains(slots[0], kFrameRatePlace));
            EXPECT_TRUE(Contains(slots[1], kFrameRatePlace));
        }
        // Every key of the kind is drawn somewhere in frame 1.
        for (const auto& key : s.keys) EXPECT_TRUE(Contains(bytes, key)) << int(key[0]) << "," << int(key[1]);
        if (s.keys.empty() && std::string(s.path) != "empty.swf") {
            EXPECT_GT(frame1Tags, 3);
        }
    }
}

TEST(ShippedTemplates, PictureTemplateHasThePlaceholderFrame) {
    auto bytes = test::ReadAll(std::string(TEMBREL_PROGRAM_DIR) + "/ControlSWF/use_a_jpeg_1.swf");
    Movie m;
    ASSERT_TRUE(ParseMovie(bytes, m));
    int jpegs = 0, frames = 0;
    for (const auto& t : m.tags) {
        if (t.code == 21) {
            ++jpegs;
            // A real JPEG after the character id: SOI marker.
            std::size_t body = t.whole.size() > 6 && (t.whole[0] & 63) == 63 ? 6 : 2;
            EXPECT_EQ(t.whole[body + 2], 0xFF);
            EXPECT_EQ(t.whole[body + 3], 0xD8);
        }
        if (t.code == 2) ++frames;  // the frame the embedding stretches
    }
    EXPECT_EQ(jpegs, 1);
    EXPECT_EQ(frames, 1);
}

TEST(ShippedTemplates, PictureAndPageTemplateLieBesideTheProgram) {
    const std::string dir = TEMBREL_PROGRAM_DIR;
    auto jpeg = test::ReadAll(dir + "/sample.jpg");
    ASSERT_GT(jpeg.size(), 100u);
    std::string probe;
    ASSERT_EQ(test::RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height "
                               "-of csv=p=0 " + test::ShellQuote(dir + "/sample.jpg"), &probe), 0);
    EXPECT_EQ(probe, "mjpeg,100,75\n");
    auto page = test::ReadAll(dir + "/Template.htm");
    std::string text(page.begin(), page.end());
    for (const char* placeholder : {"%T%", "%BKG%", "%W%", "%H%", "%SWF%", "%SWFNAME%"})
        EXPECT_NE(text.find(placeholder), std::string::npos) << placeholder;
    EXPECT_NE(text.find("ruffle"), std::string::npos);
}

}  // namespace
}  // namespace tembrel
