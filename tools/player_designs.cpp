#include "tools/player_designs.h"

#include "tools/tag_kit.h"

namespace tembrel {

namespace {

constexpr ColourRef Rgb(unsigned rgb) {
    return MakeColourRef(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                         static_cast<std::uint8_t>(rgb));
}
constexpr ColourRef kWhite = Rgb(0xFFFFFF);
constexpr ColourRef kInk = Rgb(0x1A1A1A);

// Key colours by kind.
constexpr ColourRef kSquareKey = Rgb(0x003366);
constexpr ColourRef kCircleDark = Rgb(0x004A00), kCircleBase = Rgb(0x1DA400), kCircleLight = Rgb(0x61EF01),
                    kCircleLighter = Rgb(0xD5FFD7);
constexpr ColourRef kBlackKey = Rgb(0x000000);
constexpr ColourRef kTrumpetKey = Rgb(0x3366CC);
constexpr ColourRef kTrackButton = Rgb(0x666666), kTrackDark = Rgb(0x171717), kTrackMid = Rgb(0x878787),
                    kTrackGroove = Rgb(0x555555), kTrackEdge = Rgb(0x474747), kTrackShine = Rgb(0xE7E7E7),
                    kTrackTop = Rgb(0x888888), kTrackBottom = Rgb(0xD5D5D5), kTrackBorder = Rgb(0x383838);

constexpr int kButton = 32;

ShapeBuilder Face(Look look) {
    const std::int32_t s = Px(kButton);
    ShapeBuilder b;
    switch (look) {
    case Look::SquareGradient: {
        // Key colour over the top half, shading lighter towards the foot.
        int f = b.LinearFill({{0, kSquareKey}, {120, kSquareKey}, {255, Rgb(0x9DB8D2)}}, {0, 0}, {0, s});
        b.Rect(f, b.LineStyle(20, kSquareKey), 0, 0, s, s);
        break;
    }
    case Look::CircleGradient: {
        // Rings of the four shades, lightest in the middle.
        int f = b.RadialFill({{0, kCircleLighter}, {100, kCircleLighter}, {115, kCircleLight}, {155, kCircleLight},
                              {170, kCircleBase}, {210, kCircleBase}, {225, kCircleDark}, {255, kCircleDark}},
                             {s / 2, s / 2}, s / 2);
        b.Circle(f, 0, {s / 2, s / 2}, s / 2);
        break;
    }
    case Look::CirclePlain:
        b.Circle(b.SolidFill(kBlackKey), 0, {s / 2, s / 2}, s / 2);
        break;
    case Look::RoundRect: {
        int f = b.LinearFill({{0, Rgb(0xBBBBBB)}, {36, Rgb(0xA6A6A6)}, {72, Rgb(0x999999)}, {108, Rgb(0x888888)},
                              {144, Rgb(0x777777)}, {180, Rgb(0x737373)}, {216, Rgb(0x6F6F6F)}, {255, Rgb(0x666666)}},
                             {0, 0}, {0, s});
        b.RoundRect(f, b.LineStyle(40, Rgb(0x5E5E5E)), 0, 0, s, s, Px(7));
        break;
    }
    case Look::Trumpet:
        b.RoundRect(b.SolidFill(kTrumpetKey), 0, 0, 0, s, s, Px(5));
        break;
    case Look::Text:
        break;
    }
    return b;
}

ShapeBuilder TrumpetBell() {
    // A horn seen from the side: mouthpiece, tube and flared bell.
    ShapeBuilder b;
    b.Polygon(b.SolidFill(kTrumpetKey), 0,
              {{Px(1), Px(12)}, {Px(4), Px(14)}, {Px(17), Px(14)}, {Px(31), Px(2)}, {Px(31), Px(30)},
               {Px(17), Px(18)}, {Px(4), Px(18)}, {Px(1), Px(20)}});
    return b;
}

// 5 x 7 pixel capitals for the text player, glyph order P L A Y S T O.
const char* const kGlyphRows[7][7] = {
    {"1111.", "1....", ".111.", "1...1", ".1111", "11111", ".111."},
    {"1...1", "1....", "1...1", "1...1", "1....", "..1..", "1...1"},
    {"1...1", "1....", "1...1", ".1.1.", "1....", "..1..", "1...1"},
    {"1111.", "1....", "11111", "..1..", ".111.", "..1..", "1...1"},
    {"1....", "1....", "1...1", "..1..", "....1", "..1..", "1...1"},
    {"1....", "1....", "1...1", "..1..", "....1", "..1..", "1...1"},
    {"1....", "11111", "1...1", "..1..", "1111.", "..1..", ".111."},
};
constexpr int kCell = 140;  // font units (1024 to the em)

std::uint16_t PixelFont(TemplateDraft& d) {
    std::vector<ByteBuffer> glyphs;
    for (int g = 0; g < 7; ++g) {
        ShapeBuilder b;
        for (int row = 0; row < 7; ++row) {
            const char* bits = kGlyphRows[row][g];
            for (int col = 0; col < 5;) {
                if (bits[col] != '1') {
                    ++col;
                    continue;
                }
                int end = col;
                while (end < 5 && bits[end] == '1') ++end;
                b.Rect(1, 0, col * kCell, (row - 7) * kCell, end * kCell, (row - 6) * kCell);
                col = end;
            }
        }
        glyphs.push_back(b.GlyphRecords());
    }
    std::uint16_t id = d.NewId();
    d.Define(FontTag(id, glyphs));
    return id;
}

void TextButton(TemplateDraft& d, std::uint16_t font, std::vector<std::uint8_t> glyphs, const ByteBuffer& actions,
                int xPx) {
    // Text 7 cells of 3 pixels high: the em is 1024 / 140 cells.
    const std::uint16_t height = static_cast<std::uint16_t>(Px(3) * 1024 / kCell);
    const std::int32_t advance = Px(18);
    std::uint16_t textId = d.NewId();
    d.Define(TextTag(textId, {font, kBlackKey, Px(4), Px(27), height, glyphs, advance}, 0, 0, Px(76), Px(32)));
    ShapeBuilder frame;
    frame.RoundRect(0, frame.LineStyle(40, kBlackKey), Px(1), Px(1), Px(75), Px(31), Px(5));
    std::uint16_t frameId = d.Shape(frame);
    ShapeBuilder hit;
    hit.Rect(hit.SolidFill(kWhite), 0, 0, 0, Px(76), Px(32));
    std::uint16_t hitId = d.Shape(hit);
    std::uint16_t id = d.NewId();
    d.Define(ButtonTag(id, {frameId, textId}, hitId, actions));
    d.Place(id, xPx, 4);
}

}  // namespace

Design ButtonPlayer(Look look, bool shell, bool withTime) {
    Design out;
    TemplateDraft& d = out.draft;
    int right;
    ColourRef timeColour = kSquareKey;
    if (look == Look::Text) {
        std::uint16_t font = PixelFont(d);
        TextButton(d, font, {0, 1, 2, 3}, PlayButtonActions(shell), 4);
        TextButton(d, font, {4, 5, 6, 0}, StopButtonActions(shell), 88);
        right = 168;
        timeColour = kBlackKey;
    } else {
        ColourRef icon = look == Look::CircleGradient ? kInk : kWhite;
        std::vector<ShapeBuilder> play{look == Look::Trumpet ? TrumpetBell() : Face(look)};
        if (look != Look::Trumpet) play.push_back(PlayIcon(kButton, icon));
        AddButton(d, play, kButton, kButton, PlayButtonActions(shell), 4, 4);
        AddButton(d, {Face(look), StopIcon(kButton, icon)}, kButton, kButton, StopButtonActions(shell), 44, 4);
        right = 80;
        if (look == Look::CircleGradient) timeColour = kCircleDark;
        if (look == Look::CirclePlain) timeColour = kBlackKey;
        if (look == Look::Trumpet) timeColour = kTrumpetKey;
        if (look == Look::RoundRect) timeColour = Rgb(0x6F6F6F);
    }
    // A shell always needs the display sprite: it holds and rewinds the
    // sound SWF.
    if (withTime || shell) {
        DisplayLayout layout;
        layout.withTime = withTime;
        layout.timeColour = timeColour;
        layout.timeX = right + 8;
        layout.timeY = 12;
        AddDisplay(d, shell, layout);
        if (withTime) right += 8 + kTimeWidth + 6;
    }
    out.width = right;
    out.height = 40;
    return out;
}

Design TrackPlayer(bool shell, bool withTime) {
    Design out;
    TemplateDraft& d = out.draft;
    static const TrackGeometry track{66, 224, 66};
    out.width = withTime ? 396 : 300;
    out.height = 32;

    ShapeBuilder panel;
    int pf = panel.LinearFill({{0, kTrackTop}, {90, kTrackTop}, {165, kTrackBottom}, {255, kTrackBottom}}, {0, 0},
                              {0, Px(out.height)});
    panel.Rect(pf, panel.LineStyle(40, kTrackBorder), Px(1), Px(1), Px(out.width - 1), Px(out.height - 1));
    d.Place(d.Shape(panel), 0, 0);

    auto face = [] {
        ShapeBuilder b;
        int f = b.LinearFill({{0, kTrackShine}, {110, kTrackMid}, {255, kTrackButton}}, {0, 0}, {0, Px(24)});
        b.RoundRect(f, b.LineStyle(20, kTrackEdge), 0, 0, Px(24), Px(24), Px(4));
        return b;
    };
    AddButton(d, {face(), PlayIcon(24, kTrackDark)}, 24, 24, PlayButtonActions(shell), 6, 4);
    AddButton(d, {face(), StopIcon(24, kTrackDark)}, 24, 24, StopButtonActions(shell), 34, 4);

    ShapeBuilder groove;
    groove.Rect(groove.SolidFill(kTrackGroove), groove.LineStyle(20, kTrackBorder), Px(track.x0), Px(12),
                Px(track.x0 + track.width), Px(20));
    d.Place(d.Shape(groove), 0, 0);

    DisplayLayout layout;
    layout.track = &track;
    layout.fillColour = kTrackButton;
    layout.fillY = 12;
    layout.fillHeight = 8;
    ShapeBuilder knob;
    int kf = knob.LinearFill({{0, kTrackShine}, {255, kTrackMid}}, {0, 0}, {0, Px(20)});
    knob.RoundRect(kf, knob.LineStyle(20, kTrackDark), Px(-4), 0, Px(4), Px(20), Px(2));
    layout.knobLooks.push_back(knob);
    layout.knobY = 6;
    if (withTime) {
        layout.withTime = true;
        layout.timeColour = kTrackBorder;
        layout.timeX = track.x0 + track.width + 12;
        layout.timeY = 8;
    }
    AddDisplay(d, shell, layout);
    // Invisible seek area over the groove, above everything else.
    AddButton(d, {}, track.width + 8, 24, SeekButtonActions(shell, track), track.x0 - 4, 4);
    // The seek area starts 4 pixels left of the groove; the script works
    // in stage coordinates, so the offset does not matter.
    return out;
}

Design PicturePlayer(const ByteBuffer& placeholder) {
    Design out;
    TemplateDraft& d = out.draft;
    out.width = 30;
    out.height = 25;
    std::uint16_t jpeg = d.NewId();
    d.Define(JpegTag(jpeg, placeholder));
    // The frame is exactly 600 x 500 twips from the origin: the picture
    // embedding stretches these edges to the picture's size.
    ShapeBuilder picture;
    picture.Rect(picture.BitmapFill(jpeg, {0, 0}), 0, 0, 0, 600, 500);
    std::uint16_t pictureId = d.Shape(picture, kTagDefineShape);
    std::uint16_t id = d.NewId();
    d.Define(ButtonTag(id, {pictureId}, pictureId, ToggleButtonActions()));
    d.Place(id, 0, 0);
    return out;
}

}  // namespace tembrel
