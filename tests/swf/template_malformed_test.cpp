// Templates that are cut short, claim impossible lengths or counts, nest
// sprites deeply or are randomly damaged: every operation stays inside the
// data (the sanitizer build checks that) and recolours exactly the part
// that is well-formed.
#include <gtest/gtest.h>

#include <random>

#include "engine/template_action_blocks.h"
#include "support/swf_template_fixtures.h"
#include "support/test_support.h"
#include "swf/picture_embed.h"
#include "swf/template_kinds.h"

using namespace tembrel;
using namespace tembrel::test;

namespace {

constexpr ColourRef kKey = MakeColourRef(0x00, 0x33, 0x66);  // the square_gradient key
constexpr ColourRef kButton = MakeColourRef(0xEE, 0x01, 0x02);

// A tag the scan never looks into, full of key colours: it must come out
// of every scan unchanged.
ByteBuffer KeyFilledBody() {
    ByteBuffer body;
    for (int i = 0; i < 10; ++i) PutRgb(body, kKey);
    return body;
}

void SetKeyMap(SwfTemplate& tmpl) { SetKindColours(tmpl, kTemplateKindSquareGradient, kButton); }

ByteBuffer RecolouredCopy(ByteBuffer bytes, const std::vector<std::size_t>& colourAt, std::size_t limit,
                          std::size_t colourBytes) {
    for (std::size_t at : colourAt) {
        if (at + colourBytes > limit) continue;
        if (MakeColourRef(bytes[at], bytes[at + 1], bytes[at + 2]) != kKey) continue;
        bytes[at] = RedOf(kButton), bytes[at + 1] = GreenOf(kButton), bytes[at + 2] = BlueOf(kButton);
    }
    return bytes;
}

ByteBuffer FullTemplate(std::vector<std::size_t>& colourAt) {
    TemplateFixture movie;
    movie.Add(kTagSetBackgroundColor, ByteBuffer{1, 2, 3});
    movie.Add(kTagDefineShape, ShapeBody(1, false, {kKey, kKey, 0, kKey, kKey, kKey, kKey}));
    movie.Add(kTagDefineShape3, ShapeBody(2, true, {kKey, kKey, kKey, 0, kKey, kKey, kKey}));
    movie.Add(kTagDefineText, TextBody(3, kKey, kKey));
    movie.Add(kTagDefineEditText, EditTextBody(4, kKey, 9));
    FixtureBody inner = EncodedTag(kTagDefineShape2, ShapeBody(5, false, {kKey, kKey, kKey, kKey, kKey, kKey, kKey}));
    inner.bytes.insert(inner.bytes.end(), {0x00, 0x00});
    movie.Add(kTagDefineSprite, SpriteBody(6, 1, inner.bytes, inner.colourAt));
    movie.Add(kTagDefineBitsJpeg2, ByteBuffer{7, 0, 0xFF, 0xD8, 0xFF, 0xD9});
    for (int frame = 0; frame < 6; ++frame) {
        movie.Add(kTagDoAction, ActionsBody({0x96, 0x07, 0x00, 0x08, 0x02, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x1D}));
        movie.ShowFrame();
    }
    movie.End();
    colourAt = movie.ColourOffsets();
    return movie.Bytes();
}

ByteBuffer WithLength(ByteBuffer bytes, std::size_t length) {
    bytes.resize(length);
    SetMovieLength(bytes);
    return bytes;
}

void ExpectTagsInside(const SwfTemplate& tmpl) {
    for (const TagEntry& tag : tmpl.Tags()) {
        EXPECT_GE(tag.offset, tmpl.FirstTag());
        EXPECT_LE(static_cast<std::uint64_t>(tag.offset) + tag.length, tmpl.Size());
    }
}

}  // namespace

TEST(MalformedTemplate, CutAnywhereRecoloursTheCompleteTagsOnly) {
    std::vector<std::size_t> colourAt;
    const ByteBuffer full = FullTemplate(colourAt);
    SwfTemplate whole;
    ASSERT_TRUE(whole.LoadTemplateBytes(full));
    SetKeyMap(whole);
    whole.ScanAndRecolour();

    for (std::size_t cut = 21; cut < full.size(); ++cut) {
        ByteBuffer bytes = WithLength(full, cut);
        SwfTemplate tmpl;
        if (!tmpl.LoadTemplateBytes(bytes)) continue;
        SetKeyMap(tmpl);
        tmpl.ScanAndRecolour();
        ExpectTagsInside(tmpl);
        std::size_t listedEnd = tmpl.FirstTag();
        if (!tmpl.Tags().empty()) listedEnd = tmpl.Tags().back().offset + tmpl.Tags().back().length;
        for (std::size_t i = 8; i < cut; ++i) {
            std::uint8_t expected = i < listedEnd ? whole.Data()[i] : bytes[i];
            ASSERT_EQ(tmpl.Data()[i], expected) << "cut " << cut << ", byte " << i;
        }
    }
}

TEST(MalformedTemplate, ShortTagBodiesStopTheirWalkAtTheTagEnd) {
    struct Kind {
        const char* name;
        unsigned code;
        FixtureBody body;
        std::size_t colourBytes;
    };
    const Kind kinds[] = {
        {"DefineShape", kTagDefineShape, ShapeBody(1, false, {kKey, kKey, kKey, kKey, kKey, kKey, kKey}), 3},
        {"DefineShape3", kTagDefineShape3, ShapeBody(1, true, {kKey, kKey, kKey, kKey, kKey, kKey, kKey}), 4},
        {"DefineText", kTagDefineText, TextBody(1, kKey, kKey), 3},
        {"DefineEditText", kTagDefineEditText, EditTextBody(1, kKey, 0x40), 4},
        {"DefineEditText with font class", kTagDefineEditText, EditTextBody(1, kKey, 0x40, true), 4},
    };
    for (const Kind& kind : kinds) {
        for (std::size_t length = 0; length <= kind.body.bytes.size(); ++length) {
            FixtureBody shortBody{ByteBuffer(kind.body.bytes.begin(), kind.body.bytes.begin() + length),
                                  kind.body.colourAt};
            TemplateFixture movie;
            std::size_t bodyAt = movie.Add(kind.code, shortBody, false);
            movie.Add(56, KeyFilledBody());
            movie.End();
            ByteBuffer bytes = movie.Bytes();
            SwfTemplate tmpl;
            ASSERT_TRUE(tmpl.LoadTemplateBytes(bytes));
            SetKeyMap(tmpl);
            tmpl.ScanAndRecolour();
            ASSERT_EQ(tmpl.Tags().size(), 3u);
            std::vector<std::size_t> colourAt;
            for (std::size_t at : kind.body.colourAt) colourAt.push_back(bodyAt + at);
            ByteBuffer expected = RecolouredCopy(bytes, colourAt, bodyAt + length, kind.colourBytes);
            ASSERT_EQ(tmpl.Data(), expected) << kind.name << " cut to " << length << " bytes";
        }
    }
}

TEST(MalformedTemplate, LengthsPastTheEndAreNotListed) {
    const std::uint32_t lengths[] = {0xFFFFFFFFu, 0x80000000u, 1000u, 64u};
    for (std::uint32_t length : lengths) {
        TemplateFixture movie;
        movie.Add(kTagDefineShape3, ShapeBody(1, true, {kKey, kKey, kKey, kKey, kKey, kKey, kKey}));
        ByteBuffer bytes = movie.Bytes();
        std::size_t claimAt = bytes.size();
        PutTagHeader(bytes, kTagDefineShape, length);
        ByteBuffer shape = ShapeBody(2, false, {kKey, kKey, kKey, kKey, kKey, kKey, kKey}).bytes;
        bytes.insert(bytes.end(), shape.begin(), shape.begin() + 40);
        SetMovieLength(bytes);

        SwfTemplate tmpl;
        ASSERT_TRUE(tmpl.LoadTemplateBytes(bytes));
        SetKeyMap(tmpl);
        tmpl.ScanAndRecolour();
        ASSERT_EQ(tmpl.Tags().size(), 1u) << length;
        EXPECT_TRUE(std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(claimAt), bytes.end(),
                               tmpl.Data().begin() + static_cast<std::ptrdiff_t>(claimAt)))
            << length;
        // A long header cut inside its length field is not a tag either.
        ByteBuffer cutHeader = WithLength(bytes, claimAt + 4);
        ASSERT_TRUE(tmpl.LoadTemplateBytes(cutHeader));
        tmpl.ScanAndRecolour();
        EXPECT_EQ(tmpl.Tags().size(), 1u);
    }
}

TEST(MalformedTemplate, NonsenseCountsStopAtTheTagEnd) {
    // Huge fill, gradient and line counts and glyph widths, each followed
    // by a few real entries and the end of the tag.
    FixtureBody fills;
    Put16(fills.bytes, 1);
    PutRect(fills.bytes, 0, 20, 0, 20);
    fills.bytes.insert(fills.bytes.end(), {0xFF, 0xFF, 0xFF});  // 65535 fill styles
    for (int i = 0; i < 3; ++i) {
        PutByte(fills.bytes, 0x00);
        PutColour(fills, kKey, false);
    }
    FixtureBody gradient;
    Put16(gradient.bytes, 1);
    PutRect(gradient.bytes, 0, 20, 0, 20);
    PutByte(gradient.bytes, 1);
    PutByte(gradient.bytes, 0x10);
    PutTestMatrix(gradient.bytes);
    PutByte(gradient.bytes, 0xFF);  // 255 stops
    PutByte(gradient.bytes, 0);
    PutColour(gradient, kKey, true);
    PutByte(gradient.bytes, 0);  // a stop cut inside its colour
    PutRgb(gradient.bytes, kKey);
    FixtureBody lines;
    Put16(lines.bytes, 1);
    PutRect(lines.bytes, 0, 20, 0, 20);
    PutByte(lines.bytes, 0);
    lines.bytes.insert(lines.bytes.end(), {0xFF, 0x00, 0xF0});  // 61440 line styles
    Put16(lines.bytes, 20);
    PutColour(lines, kKey, false);
    FixtureBody glyphs;
    Put16(glyphs.bytes, 1);
    PutRect(glyphs.bytes, 0, 20, 0, 20);
    PutTestMatrix(glyphs.bytes);
    glyphs.bytes.insert(glyphs.bytes.end(), {0xFF, 0xFF, 0x84});  // 255-bit glyph fields
    PutColour(glyphs, kKey, false);
    glyphs.bytes.insert(glyphs.bytes.end(), {0x7F, 0x01, 0x02});  // 127 glyphs of 510 bits

    const struct {
        const char* name;
        unsigned code;
        const FixtureBody& body;
        std::size_t colourBytes;
    } cases[] = {
        {"fill count", kTagDefineShape, fills, 3},
        {"gradient stops", kTagDefineShape3, gradient, 4},
        {"line count", kTagDefineShape2, lines, 3},
        {"glyph bits", kTagDefineText, glyphs, 3},
    };
    for (const auto& c : cases) {
        TemplateFixture movie;
        std::size_t bodyAt = movie.Add(c.code, c.body, false);
        movie.Add(56, KeyFilledBody());
        movie.End();
        ByteBuffer bytes = movie.Bytes();
        SwfTemplate tmpl;
        ASSERT_TRUE(tmpl.LoadTemplateBytes(bytes));
        SetKeyMap(tmpl);
        tmpl.ScanAndRecolour();
        std::vector<std::size_t> colourAt;
        for (std::size_t at : c.body.colourAt) colourAt.push_back(bodyAt + at);
        EXPECT_EQ(tmpl.Data(), RecolouredCopy(bytes, colourAt, bytes.size(), c.colourBytes)) << c.name;
        EXPECT_EQ(tmpl.Tags().size(), 3u) << c.name;
    }
}

TEST(MalformedTemplate, DeepSpritesAreScannedToALimitOnly) {
    FixtureBody shape = EncodedTag(kTagDefineShape, ShapeBody(1, false, {kKey, 0, 0, 0, 0, 0, 0}));
    // Built from the inside out: depth 3 is recoloured, depth 3000 is not
    // followed all the way (and does not exhaust the stack).
    for (int depth : {3, 3000}) {
        ByteBuffer level = shape.bytes;
        for (int i = 0; i < depth; ++i) {
            ByteBuffer body;
            Put16(body, static_cast<std::uint16_t>(i + 2));
            Put16(body, 1);
            body.insert(body.end(), level.begin(), level.end());
            level.clear();
            PutTag(level, kTagDefineSprite, body);
        }
        TemplateFixture movie;
        ByteBuffer bytes = movie.Bytes();
        std::size_t tagAt = bytes.size();
        bytes.insert(bytes.end(), level.begin(), level.end());
        bytes.insert(bytes.end(), {0x00, 0x00});
        SetMovieLength(bytes);
        // The shape's first colour lies at the same distance from the end of
        // the nesting whatever the depth.
        std::size_t colourAt = tagAt + level.size() - shape.bytes.size() + shape.colourAt.front();
        SwfTemplate tmpl;
        ASSERT_TRUE(tmpl.LoadTemplateBytes(bytes));
        SetKeyMap(tmpl);
        tmpl.ScanAndRecolour();
        EXPECT_EQ(tmpl.Tags().size(), 2u);
        ColourRef found = MakeColourRef(tmpl.Data()[colourAt], tmpl.Data()[colourAt + 1], tmpl.Data()[colourAt + 2]);
        EXPECT_EQ(found, depth == 3 ? kButton : kKey) << depth;
    }
}

TEST(MalformedTemplate, RandomDamageNeverLeavesTheData) {
    ScratchDir dir;
    WriteAll(dir.File("p.jpg"), {0xFF, 0xD8, 0xFF, 0xD9});
    std::vector<std::size_t> colourAt;
    const ByteBuffer full = FullTemplate(colourAt);
    std::mt19937 random(20261208);
    int loaded = 0;
    for (int round = 0; round < 600; ++round) {
        ByteBuffer bytes = full;
        int damage = 1 + static_cast<int>(random() % 8);
        for (int d = 0; d < damage; ++d) {
            std::size_t at = 8 + random() % (bytes.size() - 8);
            switch (random() % 4) {
            case 0: bytes[at] = static_cast<std::uint8_t>(random()); break;
            case 1: bytes[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
            case 2: bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at)); break;
            default: bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::uint8_t>(random())); break;
            }
        }
        if (random() % 3 == 0) bytes.resize(21 + random() % (bytes.size() - 21));
        SetMovieLength(bytes);

        SwfTemplate tmpl;
        if (!tmpl.LoadTemplateBytes(bytes)) continue;
        ++loaded;
        SetTrackColours(tmpl, kButton, 1, 2, 3);
        tmpl.Colours().Set(kKey, kButton);
        tmpl.SetBackgroundColour(kButton);
        tmpl.ScanAndRecolour();
        ASSERT_EQ(tmpl.Size(), bytes.size());
        ExpectTagsInside(tmpl);
        ActionBlock blocks[4];
        if (ExtractActionBlocks(tmpl, blocks[0], blocks[1], blocks[2], blocks[3])) LocateFrameRatePatch(blocks[0]);
        for (const ActionBlock& block : blocks) EXPECT_LE(block.data.size(), tmpl.Size());

        ByteBuffer before = tmpl.Data();
        if (EmbedPicture(tmpl, dir.File("p.jpg"), 1 + static_cast<int>(random() % 500), 1 + static_cast<int>(random() % 500))) {
            tmpl.ScanAndRecolour();
            ExpectTagsInside(tmpl);
        } else {
            EXPECT_EQ(tmpl.Data(), before);
        }
    }
    EXPECT_GT(loaded, 300);
}
