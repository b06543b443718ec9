#include "tools/shape_builder.h"

#include <algorithm>
#include <cmath>

namespace tembrel {

namespace {

int UnsignedWidth(unsigned value) {
    int bits = 0;
    while (value) {
        ++bits;
        value >>= 1;
    }
    return bits;
}

// Matrix: optional scale pair, optional rotate/skew pair, translation.
void PutMatrix(ByteBuffer& out, bool hasScale, std::int32_t sx, std::int32_t sy, bool hasRotate,
               std::int32_t r0, std::int32_t r1, std::int32_t tx, std::int32_t ty) {
    int bit = 0;
    PutBits(out, bit, hasScale ? 1 : 0, 1);
    if (hasScale) {
        int n = std::max(SignedBitWidth(sx), SignedBitWidth(sy));
        PutBits(out, bit, static_cast<std::uint32_t>(n), 5);
        PutSignedBits(out, bit, sx, n);
        PutSignedBits(out, bit, sy, n);
    }
    PutBits(out, bit, hasRotate ? 1 : 0, 1);
    if (hasRotate) {
        int n = std::max(SignedBitWidth(r0), SignedBitWidth(r1));
        PutBits(out, bit, static_cast<std::uint32_t>(n), 5);
        PutSignedBits(out, bit, r0, n);
        PutSignedBits(out, bit, r1, n);
    }
    int n = (tx == 0 && ty == 0) ? 0 : std::max(SignedBitWidth(tx), SignedBitWidth(ty));
    PutBits(out, bit, static_cast<std::uint32_t>(n), 5);
    if (n) {
        PutSignedBits(out, bit, tx, n);
        PutSignedBits(out, bit, ty, n);
    }
    EndBits(bit);
}

void PutCount(ByteBuffer& out, std::size_t count) {
    if (count < 0xFF) {
        PutByte(out, static_cast<std::uint8_t>(count));
    } else {
        PutByte(out, 0xFF);
        Put16(out, static_cast<std::uint16_t>(count));
    }
}

}  // namespace

int ShapeBuilder::SolidFill(ColourRef colour) {
    fills_.push_back({0x00, colour, {}, 0, 0, 0, 0, false, false, 0, 0, 0});
    return static_cast<int>(fills_.size());
}

int ShapeBuilder::LinearFill(std::vector<GradientStop> stops, Point from, Point to) {
    // The gradient square spans -16384..16384 twips; map it onto from..to.
    std::int32_t dx = to.x - from.x, dy = to.y - from.y;
    Fill f{0x10, 0, std::move(stops), 0, 0, 0, 0, true, false, (from.x + to.x) / 2, (from.y + to.y) / 2, 0};
    if (dy == 0) {
        f.scaleX = dx * 2;  // dx / 32768 in 16.16
        f.scaleY = dx * 2;
    } else {
        f.hasRotate = true;  // a quarter turn: gradient x runs down the y axis
        f.rotate0 = dy * 2;
        f.rotate1 = -dy * 2;
    }
    fills_.push_back(std::move(f));
    return static_cast<int>(fills_.size());
}

int ShapeBuilder::RadialFill(std::vector<GradientStop> stops, Point centre, std::int32_t radius) {
    fills_.push_back({0x12, 0, std::move(stops), radius * 4, radius * 4, 0, 0, true, false, centre.x, centre.y, 0});
    return static_cast<int>(fills_.size());
}

int ShapeBuilder::BitmapFill(std::uint16_t bitmapId, Point origin) {
    // One bitmap pixel is 20 twips.
    fills_.push_back({0x41, 0, {}, 20 << 16, 20 << 16, 0, 0, true, false, origin.x, origin.y, bitmapId});
    return static_cast<int>(fills_.size());
}

int ShapeBuilder::LineStyle(std::uint16_t widthTwips, ColourRef colour) {
    lines_.emplace_back(widthTwips, colour);
    return static_cast<int>(lines_.size());
}

void ShapeBuilder::Polygon(int fill, int line, const std::vector<Point>& points) {
    if (points.empty()) return;
    Path p{fill, line, points.front(), {}};
    for (std::size_t i = 1; i <= points.size(); ++i) {
        const Point& a = points[i - 1];
        const Point& b = points[i % points.size()];
        if (a.x != b.x || a.y != b.y) p.edges.push_back({false, 0, 0, b.x - a.x, b.y - a.y});
    }
    paths_.push_back(std::move(p));
}

void ShapeBuilder::Rect(int fill, int line, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    Polygon(fill, line, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

void ShapeBuilder::Circle(int fill, int line, Point c, std::int32_t r) {
    // Eight quadratic arcs; controls lie on r / cos(22.5 deg).
    const double kPi = 3.14159265358979323846;
    const double rc = r / std::cos(kPi / 8);
    Path p{fill, line, {c.x + r, c.y}, {}};
    Point at = p.start;
    for (int k = 0; k < 8; ++k) {
        double mid = (k + 0.5) * kPi / 4, end = (k + 1) * kPi / 4;
        Point ctl{c.x + static_cast<std::int32_t>(std::lround(rc * std::cos(mid))),
                  c.y + static_cast<std::int32_t>(std::lround(rc * std::sin(mid)))};
        Point anc{c.x + static_cast<std::int32_t>(std::lround(r * std::cos(end))),
                  c.y + static_cast<std::int32_t>(std::lround(r * std::sin(end)))};
        if (k == 7) anc = p.start;
        p.edges.push_back({true, ctl.x - at.x, ctl.y - at.y, anc.x - ctl.x, anc.y - ctl.y});
        at = anc;
    }
    paths_.push_back(std::move(p));
}

void ShapeBuilder::RoundRect(int fill, int line, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                             std::int32_t r) {
    Path p{fill, line, {x0 + r, y0}, {}};
    auto straight = [&](std::int32_t dx, std::int32_t dy) { p.edges.push_back({false, 0, 0, dx, dy}); };
    auto corner = [&](std::int32_t cx, std::int32_t cy, std::int32_t ax, std::int32_t ay) {
        p.edges.push_back({true, cx, cy, ax, ay});
    };
    straight(x1 - x0 - 2 * r, 0);
    corner(r, 0, 0, r);
    straight(0, y1 - y0 - 2 * r);
    corner(0, r, -r, 0);
    straight(-(x1 - x0 - 2 * r), 0);
    corner(-r, 0, 0, -r);
    straight(0, -(y1 - y0 - 2 * r));
    corner(0, -r, r, 0);
    paths_.push_back(std::move(p));
}

void ShapeBuilder::Bounds(std::int32_t& x0, std::int32_t& x1, std::int32_t& y0, std::int32_t& y1) const {
    std::int32_t pad = 0;
    for (const auto& l : lines_) pad = std::max<std::int32_t>(pad, l.first / 2);
    bool first = true;
    for (const auto& p : paths_) {
        Point at = p.start;
        auto take = [&](Point q) {
            if (first) {
                x0 = x1 = q.x;
                y0 = y1 = q.y;
                first = false;
            }
            x0 = std::min(x0, q.x);
            x1 = std::max(x1, q.x);
            y0 = std::min(y0, q.y);
            y1 = std::max(y1, q.y);
        };
        take(at);
        for (const auto& e : p.edges) {
            if (e.curve) {
                at = {at.x + e.cx, at.y + e.cy};
                take(at);
            }
            at = {at.x + e.ax, at.y + e.ay};
            take(at);
        }
    }
    if (first) x0 = x1 = y0 = y1 = 0;
    x0 -= pad;
    y0 -= pad;
    x1 += pad;
    y1 += pad;
}

void ShapeBuilder::PutRecords(ByteBuffer& out, int fillBits, int lineBits) const {
    int bit = 0;
    for (const auto& p : paths_) {
        // Style change: line, fill1, fill0 and move-to.
        PutBits(out, bit, 0, 1);
        PutBits(out, bit, lineBits ? 0x0F : 0x07, 5);
        int n = std::max(SignedBitWidth(p.start.x), SignedBitWidth(p.start.y));
        PutBits(out, bit, static_cast<std::uint32_t>(n), 5);
        PutSignedBits(out, bit, p.start.x, n);
        PutSignedBits(out, bit, p.start.y, n);
        if (fillBits) {
            PutBits(out, bit, 0, fillBits);
            PutBits(out, bit, static_cast<std::uint32_t>(p.fill), fillBits);
        }
        if (lineBits) PutBits(out, bit, static_cast<std::uint32_t>(p.line), lineBits);
        for (const auto& e : p.edges) {
            PutBits(out, bit, 1, 1);
            if (e.curve) {
                int w = std::max({SignedBitWidth(e.cx), SignedBitWidth(e.cy), SignedBitWidth(e.ax),
                                  SignedBitWidth(e.ay), 2});
                PutBits(out, bit, 0, 1);
                PutBits(out, bit, static_cast<std::uint32_t>(w - 2), 4);
                PutSignedBits(out, bit, e.cx, w);
                PutSignedBits(out, bit, e.cy, w);
                PutSignedBits(out, bit, e.ax, w);
                PutSignedBits(out, bit, e.ay, w);
            } else if (e.ax != 0 && e.ay != 0) {
                int w = std::max({SignedBitWidth(e.ax), SignedBitWidth(e.ay), 2});
                PutBits(out, bit, 1, 1);
                PutBits(out, bit, static_cast<std::uint32_t>(w - 2), 4);
                PutBits(out, bit, 1, 1);
                PutSignedBits(out, bit, e.ax, w);
                PutSignedBits(out, bit, e.ay, w);
            } else {
                bool vertical = e.ax == 0;
                std::int32_t d = vertical ? e.ay : e.ax;
                int w = std::max(SignedBitWidth(d), 2);
                PutBits(out, bit, 1, 1);
                PutBits(out, bit, static_cast<std::uint32_t>(w - 2), 4);
                PutBits(out, bit, 0, 1);
                PutBits(out, bit, vertical ? 1 : 0, 1);
                PutSignedBits(out, bit, d, w);
            }
        }
    }
    PutBits(out, bit, 0, 6);  // end of shape
    EndBits(bit);
}

ByteBuffer ShapeBuilder::Tag(unsigned code, std::uint16_t id) const {
    ByteBuffer body;
    Put16(body, id);
    std::int32_t x0, x1, y0, y1;
    Bounds(x0, x1, y0, y1);
    PutRect(body, x0, x1, y0, y1);
    PutCount(body, fills_.size());
    for (const auto& f : fills_) {
        PutByte(body, f.type);
        if (f.type == 0x00) {
            PutRgb(body, f.colour);
        } else if (f.type & 0x10) {
            PutMatrix(body, f.hasScale, f.scaleX, f.scaleY, f.hasRotate, f.rotate0, f.rotate1, f.tx, f.ty);
            PutByte(body, static_cast<std::uint8_t>(f.stops.size()));
            for (const auto& s : f.stops) {
                PutByte(body, s.ratio);
                PutRgb(body, s.colour);
            }
        } else {
            Put16(body, f.bitmapId);
            PutMatrix(body, f.hasScale, f.scaleX, f.scaleY, false, 0, 0, f.tx, f.ty);
        }
    }
    PutCount(body, lines_.size());
    for (const auto& l : lines_) {
        Put16(body, l.first);
        PutRgb(body, l.second);
    }
    int fillBits = UnsignedWidth(static_cast<unsigned>(fills_.size()));
    int lineBits = UnsignedWidth(static_cast<unsigned>(lines_.size()));
    PutByte(body, static_cast<std::uint8_t>((fillBits << 4) | lineBits));
    PutRecords(body, fillBits, lineBits);
    ByteBuffer tag;
    PutTagHeader(tag, code, static_cast<std::uint32_t>(body.size()));
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

ByteBuffer ShapeBuilder::GlyphRecords() const {
    ByteBuffer out;
    PutByte(out, 0x10);  // one fill bit, no line bits
    PutRecords(out, 1, 0);
    return out;
}

}  // namespace tembrel
