#pragma once
// Builds DefineShape tags from rectangles, polygons and circles, with solid,
// gradient and bitmap fills. Coordinates are twips.
#include <cstdint>
#include <utility>
#include <vector>

#include "swf/swf_records.h"

namespace tembrel {

struct GradientStop {
    std::uint8_t ratio;
    ColourRef colour;
};

struct Point {
    std::int32_t x, y;
};

class ShapeBuilder {
public:
    // Style indices (1-based) for the paths below.
    int SolidFill(ColourRef colour);
    // Linear gradient running from (x0, y0) to (x1, y1) along one axis.
    int LinearFill(std::vector<GradientStop> stops, Point from, Point to);
    int RadialFill(std::vector<GradientStop> stops, Point centre, std::int32_t radius);
    // Clipped bitmap at its pixel size with its top-left corner at `origin`.
    int BitmapFill(std::uint16_t bitmapId, Point origin);
    int LineStyle(std::uint16_t widthTwips, ColourRef colour);

    // Closed paths; fill or line 0 means none.
    void Polygon(int fill, int line, const std::vector<Point>& points);
    void Rect(int fill, int line, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
    void Circle(int fill, int line, Point centre, std::int32_t radius);
    void RoundRect(int fill, int line, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                   std::int32_t radius);

    // The whole tag (header included) as DefineShape (2) or DefineShape2 (22).
    ByteBuffer Tag(unsigned code, std::uint16_t id) const;
    // A font glyph: the path records only (one fill bit, no line bits).
    ByteBuffer GlyphRecords() const;

private:
    struct Edge {
        bool curve;
        std::int32_t cx, cy, ax, ay;  // control and anchor deltas (straight: anchor only)
    };
    struct Path {
        int fill, line;
        Point start;
        std::vector<Edge> edges;
    };
    struct Fill {
        std::uint8_t type;
        ColourRef colour;
        std::vector<GradientStop> stops;
        std::int32_t scaleX, scaleY, rotate0, rotate1;  // 16.16 fixed
        bool hasScale, hasRotate;
        std::int32_t tx, ty;
        std::uint16_t bitmapId;
    };
    void Bounds(std::int32_t& x0, std::int32_t& x1, std::int32_t& y0, std::int32_t& y1) const;
    void PutRecords(ByteBuffer& out, int fillBits, int lineBits) const;

    std::vector<Fill> fills_;
    std::vector<std::pair<std::uint16_t, ColourRef>> lines_;
    std::vector<Path> paths_;
};

}  // namespace tembrel
