#include "tools/player_parts.h"

#include "tools/tag_kit.h"

namespace tembrel {

std::uint16_t TemplateDraft::Shape(const ShapeBuilder& shape, unsigned code) {
    std::uint16_t id = NewId();
    Define(shape.Tag(code, id));
    return id;
}

void TemplateDraft::Place(std::uint16_t id, int xPx, int yPx, const std::string& name) {
    frame1_.push_back(PlaceTag({nextDepth_++, id, Px(xPx), Px(yPx), name}));
}

void AddButton(TemplateDraft& d, const std::vector<ShapeBuilder>& looks, int widthPx, int heightPx,
               const ByteBuffer& actions, int xPx, int yPx) {
    std::vector<std::uint16_t> ids;
    for (const auto& look : looks) ids.push_back(d.Shape(look));
    ShapeBuilder hit;
    hit.Rect(hit.SolidFill(MakeColourRef(0xFF, 0xFF, 0xFF)), 0, 0, 0, Px(widthPx), Px(heightPx));
    std::uint16_t hitId = d.Shape(hit);
    std::uint16_t id = d.NewId();
    d.Define(ButtonTag(id, ids, hitId, actions));
    d.Place(id, xPx, yPx);
}

ShapeBuilder PlayIcon(int s, ColourRef colour) {
    ShapeBuilder b;
    int f = b.SolidFill(colour);
    b.Polygon(f, 0, {{Px(s) * 3 / 8, Px(s) / 4}, {Px(s) * 3 / 4, Px(s) / 2}, {Px(s) * 3 / 8, Px(s) * 3 / 4}});
    return b;
}

ShapeBuilder StopIcon(int s, ColourRef colour) {
    ShapeBuilder b;
    b.Rect(b.SolidFill(colour), 0, Px(s) * 5 / 16, Px(s) * 5 / 16, Px(s) * 11 / 16, Px(s) * 11 / 16);
    return b;
}

std::uint16_t DigitSprite(TemplateDraft& d, ColourRef colour) {
    const int w = kDigitWidth, h = kDigitHeight, t = 2;
    struct Seg {
        int x0, y0, x1, y1;
    };
    // a b c d e f g; verticals own the corners so no two segments overlap
    const Seg segs[7] = {{t, 0, w - t, t},         {w - t, 0, w, h / 2}, {w - t, h / 2, w, h},
                         {t, h - t, w - t, h},     {0, h / 2, t, h},     {0, 0, t, h / 2},
                         {t, h / 2 - 1, w - t, h / 2 + 1}};
    const char* lit[10] = {"abcdef", "bc", "abged", "abgcd", "fgbc", "afgcd", "afgedc", "abc", "abcdefg", "abcdfg"};
    std::vector<ByteBuffer> frames;
    for (int n = 0; n < 10; ++n) {
        ShapeBuilder b;
        int f = b.SolidFill(colour);
        for (const char* c = lit[n]; *c; ++c) {
            const Seg& s = segs[*c - 'a'];
            b.Rect(f, 0, Px(s.x0), Px(s.y0), Px(s.x1), Px(s.y1));
        }
        std::uint16_t shape = d.Shape(b);
        if (n > 0) frames.push_back(RemoveTag(1));
        frames.push_back(PlaceTag({1, shape, 0, 0, ""}));
        if (n == 0) frames.push_back(DoActionTag(StopActions()));
        frames.push_back(ShowFrameTag());
    }
    std::uint16_t id = d.NewId();
    d.Define(SpriteTag(id, frames));
    return id;
}

std::uint16_t ShapeSprite(TemplateDraft& d, const std::vector<ShapeBuilder>& looks) {
    std::vector<ByteBuffer> tags;
    std::uint16_t depth = 1;
    for (const auto& look : looks) tags.push_back(PlaceTag({depth++, d.Shape(look), 0, 0, ""}));
    tags.push_back(ShowFrameTag());
    std::uint16_t id = d.NewId();
    d.Define(SpriteTag(id, tags));
    return id;
}

void AddDisplay(TemplateDraft& d, bool shell, const DisplayLayout& layout) {
    std::vector<ByteBuffer> inner;
    std::uint16_t depth = 1;
    if (layout.track) {
        ShapeBuilder fill;
        fill.Rect(fill.SolidFill(layout.fillColour), 0, 0, 0, Px(layout.track->width), Px(layout.fillHeight));
        // Scripts reach only sprites by name, so fill and knob are sprites.
        std::uint16_t fillId = ShapeSprite(d, {fill});
        inner.push_back(PlaceTag({depth++, fillId, Px(layout.track->x0), Px(layout.fillY), "fill"}));
        std::uint16_t knobId = ShapeSprite(d, layout.knobLooks);
        inner.push_back(PlaceTag({depth++, knobId, Px(layout.track->knobX0), Px(layout.knobY), "knob"}));
    }
    if (layout.withTime) {
        std::uint16_t digit = DigitSprite(d, layout.timeColour);
        ShapeBuilder marks;  // the two colons and the slash between the times
        int f = marks.SolidFill(layout.timeColour);
        for (int x : {12, 60}) {
            marks.Rect(f, 0, Px(x), Px(4), Px(x + 2), Px(6));
            marks.Rect(f, 0, Px(x), Px(10), Px(x + 2), Px(12));
        }
        marks.Polygon(f, 0, {{Px(44), 0}, {Px(46), 0}, {Px(42), Px(16)}, {Px(40), Px(16)}});
        std::uint16_t marksId = d.Shape(marks);
        const int x = layout.timeX, y = layout.timeY;
        inner.push_back(PlaceTag({depth++, marksId, Px(x), Px(y), ""}));
        const int at[3] = {0, 16, 28};
        for (int i = 0; i < 3; ++i) {
            inner.push_back(PlaceTag({depth++, digit, Px(x + at[i]), Px(y), "e" + std::to_string(i)}));
            inner.push_back(PlaceTag({depth++, digit, Px(x + 48 + at[i]), Px(y), "t" + std::to_string(i)}));
        }
    }
    ByteBuffer update = DisplayUpdateActions(shell, layout.track, layout.withTime);
    inner.push_back(DoActionTag(update));
    inner.push_back(ShowFrameTag());
    inner.push_back(DoActionTag(update));
    inner.push_back(ShowFrameTag());
    std::uint16_t id = d.NewId();
    d.Define(SpriteTag(id, inner));
    d.Place(id, 0, 0, "display");
}

}  // namespace tembrel
