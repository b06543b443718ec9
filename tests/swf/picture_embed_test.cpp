#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "support/swf_template_fixtures.h"
#include "support/test_support.h"
#include "swf/picture_embed.h"
#include "swf/template_kinds.h"

using namespace tembrel;
using namespace tembrel::test;

namespace {

constexpr std::uint8_t kPlaceholderJpeg[] = {0xFF, 0xD8, 0xFF, 0xD9};

// A frame drawn with a bitmap fill: move, four sides, a diagonal, one edge
// of `oddDelta` (no frame side) and a curve. The picture template draws it
// at 600 × 500 twips; the rewrite stretches it to w × h.
ByteBuffer FrameShapeBody(std::uint16_t id, std::int32_t w, std::int32_t h, std::int32_t oddDelta,
                          std::int32_t boundsMargin) {
    ByteBuffer out;
    Put16(out, id);
    PutRect(out, -boundsMargin, w + boundsMargin, -boundsMargin, h + boundsMargin);
    PutByte(out, 1);  // one bitmap fill
    PutByte(out, 0x41);
    Put16(out, 1);
    int bitPos = 0;
    PutBits(out, bitPos, 0, 1);  // matrix: translate only
    PutBits(out, bitPos, 0, 1);
    PutBits(out, bitPos, 0, 5);
    EndBits(bitPos);
    PutByte(out, 0);  // no line styles
    PutBits(out, bitPos, 1, 4);
    PutBits(out, bitPos, 0, 4);
    auto straight = [&](bool general, bool vertical, std::int32_t dx, std::int32_t dy) {
        int n = general ? std::max({2, SignedBitWidth(dx), SignedBitWidth(dy)})
                        : std::max(2, SignedBitWidth(vertical ? dy : dx));
        PutBits(out, bitPos, 0x3, 2);
        PutBits(out, bitPos, static_cast<std::uint32_t>(n - 2), 4);
        PutBits(out, bitPos, general ? 1 : 0, 1);
        if (general) {
            PutSignedBits(out, bitPos, dx, n);
            PutSignedBits(out, bitPos, dy, n);
        } else {
            PutBits(out, bitPos, vertical ? 1 : 0, 1);
            PutSignedBits(out, bitPos, vertical ? dy : dx, n);
        }
    };
    // Style change: MoveTo (w, -h), FillStyle1 = 1.
    int moveBits = std::max(SignedBitWidth(w), SignedBitWidth(-h));
    PutBits(out, bitPos, 0, 1);
    PutBits(out, bitPos, 0x05, 5);
    PutBits(out, bitPos, static_cast<std::uint32_t>(moveBits), 5);
    PutSignedBits(out, bitPos, w, moveBits);
    PutSignedBits(out, bitPos, -h, moveBits);
    PutBits(out, bitPos, 1, 1);
    straight(false, false, -w, 0);
    straight(false, true, 0, h);
    straight(false, false, w, 0);
    straight(false, true, 0, -h);
    straight(true, false, -w, h);
    straight(false, false, oddDelta, 0);
    PutBits(out, bitPos, 0x2, 2);  // curve, 5 bits per delta
    PutBits(out, bitPos, 3, 4);
    for (int v : {7, -8, 15, 0}) PutSignedBits(out, bitPos, v, 5);
    PutBits(out, bitPos, 0, 6);  // end
    return out;
}

ByteBuffer PictureTemplate(std::int32_t w, std::int32_t h, std::int32_t oddDelta, std::int32_t margin,
                           const ByteBuffer& jpegBody, std::uint16_t rate88) {
    TemplateFixture movie(7, w, h, rate88);
    movie.Add(kTagSetBackgroundColor, ByteBuffer{0x10, 0x20, 0x30});
    movie.Add(kTagDefineBitsJpeg2, jpegBody);
    movie.Add(kTagDefineShape, FrameShapeBody(2, w, h, oddDelta, margin));
    // DefineShape3 is not a frame of the picture: it stays as drawn.
    movie.Add(kTagDefineShape3, FrameShapeBody(3, 600, 500, 300, 20));
    movie.Add(26, ByteBuffer{0x06, 0x01, 0x00, 0x02, 0x00});  // PlaceObject2 of the frame
    movie.ShowFrame();
    movie.End();
    return movie.Bytes();
}

ByteBuffer JpegBody(std::uint16_t id, const ByteBuffer& jpeg, bool markers) {
    ByteBuffer body;
    Put16(body, id);
    if (markers) body.insert(body.end(), {0xFF, 0xD9, 0xFF, 0xD8});
    body.insert(body.end(), jpeg.begin(), jpeg.end());
    return body;
}

ByteBuffer MakeJpeg(const ScratchDir& dir) {
    std::string path = dir.File("picture.jpg");
    if (HaveTool("ffmpeg") &&
        RunCommand("ffmpeg -hide_banner -loglevel error -f lavfi -i color=c=red:s=100x75 -frames:v 1 -y " +
                   ShellQuote(path)) == 0)
        return ReadAll(path);
    ByteBuffer fake = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0xFF, 0xD9};
    WriteAll(path, fake);
    return fake;
}

SwfTemplate LoadedPictureTemplate() {
    SwfTemplate tmpl;
    EXPECT_TRUE(tmpl.LoadTemplateBytes(
        PictureTemplate(600, 500, 300, 20, JpegBody(1, ByteBuffer(std::begin(kPlaceholderJpeg), std::end(kPlaceholderJpeg)), false), 0x0C80)));
    return tmpl;
}

}  // namespace

TEST(EmbedPicture, RebuildsTemplateAtThePictureSize) {
    ScratchDir dir;
    ByteBuffer jpeg = MakeJpeg(dir);
    SwfTemplate tmpl = LoadedPictureTemplate();
    ASSERT_TRUE(EmbedPicture(tmpl, dir.File("picture.jpg"), 100, 75));

    // The same template drawn at 2000 × 1500 twips from the start, the odd
    // edge collapsed to 0 in two bits, the frame rate without its fraction.
    ByteBuffer expected = PictureTemplate(2000, 1500, 0, 0, JpegBody(1, jpeg, true), 0x0C00);
    EXPECT_EQ(tmpl.Data(), expected);
    // RECT (0, 2000, 0, 1500): Nbits 12.
    const ByteBuffer rect = {0x60, 0x00, 0x3E, 0x80, 0x00, 0x2E, 0xE0};
    EXPECT_TRUE(std::equal(rect.begin(), rect.end(), tmpl.Data().begin() + 8));
    EXPECT_EQ(tmpl.Width(), 100);
    EXPECT_EQ(tmpl.Height(), 75);
    EXPECT_EQ(tmpl.PictureWidth(), 2000);
    EXPECT_EQ(tmpl.PictureHeight(), 1500);
    EXPECT_EQ(tmpl.FirstTag(), 8u + 7u + 4u);
    EXPECT_TRUE(tmpl.Tags().empty());

    // The rebuilt data is a template again, and a scan lists its tags.
    SwfTemplate reloaded;
    ASSERT_TRUE(reloaded.LoadTemplateBytes(tmpl.Data()));
    EXPECT_EQ(reloaded.Width(), 100);
    EXPECT_EQ(reloaded.FrameRate(), 12);
    tmpl.ScanAndRecolour();
    ASSERT_EQ(tmpl.Tags().size(), 7u);
    const TagEntry& bits = tmpl.Tags()[1];
    EXPECT_EQ(bits.code, kTagDefineBitsJpeg2);
    const std::uint8_t* body = tmpl.Data().data() + bits.offset + TagHeaderSize(static_cast<std::uint32_t>(jpeg.size() + 6));
    EXPECT_TRUE(std::equal(jpeg.begin(), jpeg.end(), body + 6));
    EXPECT_EQ(body[2], 0xFF);
    EXPECT_EQ(body[3], 0xD9);
    EXPECT_EQ(body[4], 0xFF);
    EXPECT_EQ(body[5], 0xD8);
}

TEST(EmbedPicture, FfmpegDecodesTheEmbeddedPicture) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
    ScratchDir dir;
    MakeJpeg(dir);
    SwfTemplate tmpl = LoadedPictureTemplate();
    ASSERT_TRUE(EmbedPicture(tmpl, dir.File("picture.jpg"), 100, 75));
    ASSERT_TRUE(tmpl.SaveTemplate(dir.File("picture.swf")));
    auto decode = [](const std::string& path) {
        std::string pixels;
        EXPECT_EQ(RunCommand("ffmpeg -hide_banner -loglevel error -i " + ShellQuote(path) +
                                 " -frames:v 1 -f rawvideo -pix_fmt rgb24 -",
                             &pixels),
                  0);
        return pixels;
    };
    // The movie's picture decodes to exactly the pixels of the JPEG file.
    std::string fromSwf = decode(dir.File("picture.swf"));
    ASSERT_FALSE(fromSwf.empty());
    EXPECT_EQ(fromSwf, decode(dir.File("picture.jpg")));
    EXPECT_GT(static_cast<std::uint8_t>(fromSwf[0]), 200);  // red
    EXPECT_LT(static_cast<std::uint8_t>(fromSwf[1]), 60);
}

TEST(EmbedPicture, OnlyFilesThatStartAsAJpegAreEmbeddedAndEveryRefusalSaysWhy) {
    ScratchDir dir;
    WriteAll(dir.File("empty.jpg"), {});
    WriteAll(dir.File("random.jpg"), {0x3A, 0x91, 0x07, 0xD8, 0xFF, 0x12, 0x55});
    WriteAll(dir.File("end-marker.jpg"), {0xFF, 0xD9, 0xFF, 0xD8});
    ASSERT_EQ(::mkfifo(dir.File("fifo.jpg").c_str(), 0644), 0);
    const struct {
        std::string file, problem;
    } refused[] = {
        {"empty.jpg", "it is not a JPEG file"},
        {"random.jpg", "it is not a JPEG file"},
        {"end-marker.jpg", "it is not a JPEG file"},
        {"fifo.jpg", "not a regular file"},  // refused without waiting for a writer
        {"", "it is a folder"},
    };
    for (const auto& c : refused) {
        SwfTemplate tmpl = LoadedPictureTemplate();
        const ByteBuffer before = tmpl.Data();
        std::string problem;
        EXPECT_FALSE(EmbedPicture(tmpl, dir.File(c.file), 30, 25, &problem)) << c.file;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.file << ": " << problem;
        EXPECT_EQ(tmpl.Data(), before) << c.file;
    }
    // The start of a JPEG is all that is asked: two bytes are embedded as
    // they are, after the id and the markers, and nothing is left to say.
    WriteAll(dir.File("start.jpg"), {0xFF, 0xD8});
    SwfTemplate tmpl = LoadedPictureTemplate();
    std::string problem = "stale";
    ASSERT_TRUE(EmbedPicture(tmpl, dir.File("start.jpg"), 30, 25, &problem));
    EXPECT_EQ(problem, "");
    EXPECT_EQ(tmpl.Data(), PictureTemplate(600, 500, 0, 0, JpegBody(1, {0xFF, 0xD8}, true), 0x0C00));
}

TEST(EmbedPicture, RefusalsLeaveTheTemplateUnchanged) {
    ScratchDir dir;
    MakeJpeg(dir);
    const std::string jpeg = dir.File("picture.jpg");
    const struct {
        const char* name;
        std::string path;
        int width, height;
    } cases[] = {
        {"missing JPEG", dir.File("missing.jpg"), 100, 75},
        {"JPEG path is a folder", dir.Path(), 100, 75},
        {"zero width", jpeg, 0, 75},
        {"negative height", jpeg, 100, -1},
        {"width past the 4-bit NumBits", jpeg, kMaxPicturePixels + 1, 75},
        {"height past the 4-bit NumBits", jpeg, 100, 100000},
    };
    for (const auto& c : cases) {
        SwfTemplate tmpl = LoadedPictureTemplate();
        ByteBuffer before = tmpl.Data();
        EXPECT_FALSE(EmbedPicture(tmpl, c.path, c.width, c.height)) << c.name;
        EXPECT_EQ(tmpl.Data(), before) << c.name;
        EXPECT_EQ(tmpl.Width(), 30) << c.name;
    }
    SwfTemplate unloaded;
    EXPECT_FALSE(EmbedPicture(unloaded, jpeg, 100, 75));
}

TEST(EmbedPicture, LargestEncodablePictureStillFits) {
    ScratchDir dir;
    ByteBuffer jpeg = MakeJpeg(dir);
    SwfTemplate tmpl = LoadedPictureTemplate();
    ASSERT_TRUE(EmbedPicture(tmpl, dir.File("picture.jpg"), kMaxPicturePixels, kMaxPicturePixels));
    const std::int32_t side = kMaxPicturePixels * 20;
    EXPECT_EQ(tmpl.Data(), PictureTemplate(side, side, 0, 0, JpegBody(1, jpeg, true), 0x0C00));
}

TEST(EmbedPicture, PictureKindKeepsTheColourMapEmpty) {
    ScratchDir dir;
    MakeJpeg(dir);
    SwfTemplate tmpl = LoadedPictureTemplate();
    SetKindColours(tmpl, TemplateKindFromName("/p/ControlSWF/use_a_jpeg.swf"), MakeColourRef(0x10, 0x20, 0x30));
    ASSERT_TRUE(EmbedPicture(tmpl, dir.File("picture.jpg"), 40, 40));
    ByteBuffer embedded = tmpl.Data();
    tmpl.SetBackgroundColour(0x000000);
    tmpl.ScanAndRecolour();
    EXPECT_EQ(tmpl.Data(), embedded);  // the template's own background stays
}
