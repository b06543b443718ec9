#include <gtest/gtest.h>

#include "support/swf_template_fixtures.h"
#include "platform/os_file.h"
#include "support/test_support.h"
#include "swf/swf_template.h"

using namespace tembrel;
using namespace tembrel::test;

namespace {

constexpr ColourRef kKeyBlue = MakeColourRef(0x00, 0x33, 0x66);
constexpr ColourRef kKeyGrey = MakeColourRef(0x11, 0x22, 0x33);
constexpr ColourRef kOther = MakeColourRef(0x00, 0x33, 0x67);  // one step off a key
constexpr ColourRef kNewBlue = MakeColourRef(0xC0, 0x10, 0x20);
constexpr ColourRef kNewGrey = MakeColourRef(0x01, 0x02, 0x03);
constexpr ColourRef kBackground = MakeColourRef(0xAB, 0xCD, 0xEF);

// Every kind of recolourable colour, interleaved with colours that are no key.
struct RichTemplate {
    ByteBuffer bytes;
    std::vector<std::size_t> colourAt;
    std::size_t backgroundAt = 0;
    std::size_t longTagAt = 0;  // body of the 63-byte tag
};

RichTemplate BuildRichTemplate() {
    TemplateFixture movie;
    RichTemplate result;
    result.backgroundAt = movie.Add(kTagSetBackgroundColor, ByteBuffer{0x00, 0x33, 0x66});
    movie.Add(kTagDefineShape, ShapeBody(1, false, {kKeyBlue, kOther, kKeyGrey, kKeyBlue, kOther, kKeyGrey, kKeyBlue}));
    movie.Add(kTagDefineShape2, ShapeBody(2, false, {kOther, kKeyBlue, kKeyBlue, kKeyGrey, kKeyBlue, kOther, kKeyGrey}));
    movie.Add(kTagDefineShape3, ShapeBody(3, true, {kKeyGrey, kKeyBlue, kOther, kKeyBlue, kKeyGrey, kKeyBlue, kOther}));
    movie.Add(kTagDefineText, TextBody(4, kKeyBlue, kKeyGrey));
    movie.Add(kTagDefineEditText, EditTextBody(5, kKeyBlue, 0x7F));
    movie.Add(kTagDefineEditText, EditTextBody(6, kKeyGrey, 0x01, true));
    // Codes the scan does not look into keep their key colours.
    movie.Add(83, ShapeBody(7, true, {kKeyBlue, kKeyBlue, kKeyBlue, kKeyBlue, kKeyBlue, kKeyBlue, kKeyBlue}), false);
    movie.Add(kTagDefineText2, TextBody(8, kKeyBlue, kKeyBlue), false);
    FixtureBody inner = EncodedTag(kTagDefineShape3, ShapeBody(9, true, {kKeyBlue, kKeyGrey, kOther, kKeyBlue,
                                                                           kKeyGrey, kKeyBlue, kKeyBlue}));
    inner.bytes.insert(inner.bytes.end(), {0x40, 0x00, 0x00, 0x00});  // ShowFrame, End
    movie.Add(kTagDefineSprite, SpriteBody(10, 1, inner.bytes, inner.colourAt));
    // A 63-byte body needs the long header; the key inside is not a colour.
    ByteBuffer padding(63, 0x00);
    padding[10] = 0x00, padding[11] = 0x33, padding[12] = 0x66;
    result.longTagAt = movie.Add(56, padding);
    movie.ShowFrame();
    movie.End();
    result.bytes = movie.Bytes();
    result.colourAt = movie.ColourOffsets();
    return result;
}

void RecolourExpected(ByteBuffer& bytes, const std::vector<std::size_t>& colourAt) {
    for (std::size_t at : colourAt) {
        ColourRef found = MakeColourRef(bytes[at], bytes[at + 1], bytes[at + 2]);
        ColourRef to = found == kKeyBlue ? kNewBlue : found == kKeyGrey ? kNewGrey : found;
        bytes[at] = RedOf(to), bytes[at + 1] = GreenOf(to), bytes[at + 2] = BlueOf(to);
    }
}

SwfTemplate LoadedRich(const RichTemplate& rich) {
    SwfTemplate tmpl;
    EXPECT_TRUE(tmpl.LoadTemplateBytes(rich.bytes));
    return tmpl;
}

}  // namespace

TEST(SwfTemplateLoad, ReadsHeaderFieldsFromFile) {
    ScratchDir dir;
    TemplateFixture movie(8, 11000, 8010, 0x0C80);  // 550 × 400.5 px at 12.5 fps
    movie.ShowFrame();
    movie.ShowFrame();
    movie.End();
    ByteBuffer bytes = movie.Bytes();
    ByteBuffer withTail = bytes;
    withTail.insert(withTail.end(), {0xDE, 0xAD});  // beyond the length field
    WriteAll(dir.File("t.swf"), withTail);

    SwfTemplate tmpl;
    ASSERT_TRUE(tmpl.LoadTemplate(dir.File("t.swf")));
    EXPECT_EQ(tmpl.Width(), 550);
    EXPECT_EQ(tmpl.Height(), 400);
    EXPECT_EQ(tmpl.FrameRate(), 12);
    EXPECT_EQ(tmpl.FrameCount(), 2);
    EXPECT_EQ(tmpl.Version(), 8);
    EXPECT_EQ(tmpl.Data(), bytes);
    EXPECT_EQ(tmpl.Size(), bytes.size());
    EXPECT_EQ(tmpl.FirstTag(), 8u + 9u + 4u);  // header, 9-byte RECT, rate and count
    EXPECT_EQ(tmpl.BackgroundColour(), 0xFFFFFFu);
    EXPECT_TRUE(tmpl.Tags().empty());
}

TEST(SwfTemplateLoad, RefusesWhatIsNoUsableTemplate) {
    ScratchDir dir;
    TemplateFixture movie;
    movie.End();
    const ByteBuffer good = movie.Bytes();
    auto patched = [&](std::size_t at, std::uint8_t value) {
        ByteBuffer b = good;
        b[at] = value;
        return b;
    };
    ByteBuffer twentyBytes = good;
    twentyBytes.resize(20);
    twentyBytes[4] = 20;
    ByteBuffer shortRead = good;
    shortRead[4] = static_cast<std::uint8_t>(good.size() + 1);
    ByteBuffer hugeLength = good;
    hugeLength[7] = 0x7F;
    ByteBuffer rectPastEnd = {'F', 'W', 'S', 6, 21, 0, 0, 0, 0xF8};  // Nbits 31: 17 bytes of RECT
    rectPastEnd.resize(21, 0xFF);

    const struct {
        const char* name;
        ByteBuffer bytes;
    } cases[] = {
        {"compressed", patched(0, 'C')},
        {"not a SWF", patched(1, 'X')},
        {"20 bytes", twentyBytes},
        {"length beyond the file", shortRead},
        {"length of 2 GiB", hugeLength},
        {"header runs past the length", rectPastEnd},
        {"only 5 bytes", ByteBuffer{'F', 'W', 'S', 6, 0}},
    };
    for (const auto& c : cases) {
        WriteAll(dir.File("bad.swf"), c.bytes);
        SwfTemplate tmpl;
        EXPECT_FALSE(tmpl.LoadTemplate(dir.File("bad.swf"))) << c.name;
        EXPECT_FALSE(tmpl.IsLoaded()) << c.name;
        EXPECT_FALSE(tmpl.LoadTemplateBytes(c.bytes)) << c.name;
    }
    SwfTemplate tmpl;
    EXPECT_FALSE(tmpl.LoadTemplate(dir.File("missing.swf")));
}

TEST(SwfTemplateLoad, NewLoadStartsOverButKeepsColourMap) {
    RichTemplate rich = BuildRichTemplate();
    SwfTemplate tmpl = LoadedRich(rich);
    tmpl.Colours().Set(kKeyBlue, kNewBlue);
    tmpl.SetBackgroundColour(kBackground);
    tmpl.ScanAndRecolour();
    ASSERT_FALSE(tmpl.Tags().empty());

    TemplateFixture small;
    small.End();
    ASSERT_TRUE(tmpl.LoadTemplateBytes(small.Bytes()));
    EXPECT_TRUE(tmpl.Tags().empty());
    EXPECT_EQ(tmpl.BackgroundColour(), 0xFFFFFFu);
    EXPECT_EQ(tmpl.Colours().Size(), 1u);
    unsigned code = 0;
    std::uint32_t length = 0;
    tmpl.ResetIteration();
    EXPECT_EQ(tmpl.NextTag(code, length), nullptr);
}

TEST(SwfTemplateScan, ListsTopLevelTagsWithLongHeaders) {
    RichTemplate rich = BuildRichTemplate();
    SwfTemplate tmpl = LoadedRich(rich);
    tmpl.ScanAndRecolour();

    const std::vector<std::uint16_t> expectedCodes = {9, 2, 22, 32, 11, 37, 37, 83, 33, 39, 56, 1, 0};
    std::vector<std::uint16_t> codes;
    std::uint32_t expectedOffset = tmpl.FirstTag();
    for (const TagEntry& tag : tmpl.Tags()) {
        codes.push_back(tag.code);
        EXPECT_EQ(tag.offset, expectedOffset);  // tags follow each other without gaps
        expectedOffset += tag.length;
    }
    EXPECT_EQ(codes, expectedCodes);  // the sprite's own tags are not listed
    EXPECT_EQ(expectedOffset, tmpl.Size());
    const TagEntry& longTag = tmpl.Tags()[10];
    EXPECT_EQ(longTag.length, 6u + 63u);
    EXPECT_EQ(longTag.offset + 6, rich.longTagAt);

    // NextTag walks the same list, then reports the end until reset.
    tmpl.ResetIteration();
    unsigned code = 0;
    std::uint32_t length = 0;
    for (const TagEntry& tag : tmpl.Tags()) {
        const std::uint8_t* at = tmpl.NextTag(code, length);
        ASSERT_NE(at, nullptr);
        EXPECT_EQ(at, tmpl.Data().data() + tag.offset);
        EXPECT_EQ(code, tag.code);
        EXPECT_EQ(length, tag.length);
    }
    EXPECT_EQ(tmpl.NextTag(code, length), nullptr);
    tmpl.ResetIteration();
    EXPECT_NE(tmpl.NextTag(code, length), nullptr);
    EXPECT_EQ(code, 9u);
}

TEST(SwfTemplateScan, RecolourChangesExactlyTheKeyColours) {
    RichTemplate rich = BuildRichTemplate();
    SwfTemplate tmpl = LoadedRich(rich);
    tmpl.Colours().Set(kKeyBlue, kNewBlue);
    tmpl.Colours().Set(kKeyGrey, kNewGrey);
    tmpl.SetBackgroundColour(kBackground);
    EXPECT_TRUE(tmpl.ScanAndRecolour());

    ByteBuffer expected = rich.bytes;
    RecolourExpected(expected, rich.colourAt);
    expected[rich.backgroundAt] = 0xAB, expected[rich.backgroundAt + 1] = 0xCD, expected[rich.backgroundAt + 2] = 0xEF;
    ASSERT_EQ(tmpl.Data().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(tmpl.Data()[i], expected[i]) << "byte " << i;

    // A second scan finds the new colours are no keys and changes nothing.
    tmpl.ScanAndRecolour();
    EXPECT_EQ(tmpl.Data(), expected);
}

TEST(SwfTemplateScan, EmptyColourMapTouchesNothing) {
    RichTemplate rich = BuildRichTemplate();
    SwfTemplate tmpl = LoadedRich(rich);
    tmpl.SetBackgroundColour(kBackground);
    tmpl.ScanAndRecolour();
    EXPECT_EQ(tmpl.Data(), rich.bytes);
    EXPECT_EQ(tmpl.Tags().size(), 13u);
}

TEST(SwfTemplateSave, WritesTheRecolouredDataWhole) {
    ScratchDir dir;
    RichTemplate rich = BuildRichTemplate();
    SwfTemplate tmpl = LoadedRich(rich);
    tmpl.Colours().Set(kKeyGrey, kNewGrey);
    tmpl.ScanAndRecolour();
    ASSERT_TRUE(tmpl.SaveTemplate(dir.File("player.swf")));
    EXPECT_EQ(ReadAll(dir.File("player.swf")), tmpl.Data());
    ASSERT_TRUE(tmpl.SaveTemplate(dir.File("player.swf")));  // replaces
    EXPECT_EQ(ReadAll(dir.File("player.swf")), tmpl.Data());

    EXPECT_FALSE(tmpl.SaveTemplate(dir.File("no/such/folder/player.swf")));
    SwfTemplate empty;
    EXPECT_FALSE(empty.SaveTemplate(dir.File("empty.swf")));
    EXPECT_FALSE(FileExists(dir.File("empty.swf")));
}
