#pragma once
// Pieces the player templates are put together from: a draft of frame 1
// (definitions and placements), buttons, digit and display sprites.
#include <cstdint>
#include <string>
#include <vector>

#include "swf/swf_records.h"
#include "tools/player_scripts.h"
#include "tools/shape_builder.h"

namespace tembrel {

constexpr std::int32_t Px(int pixels) { return pixels * 20; }

class TemplateDraft {
public:
    std::uint16_t NewId() { return nextId_++; }
    // Defines a shape (DefineShape2 unless told) and returns its id.
    std::uint16_t Shape(const ShapeBuilder& shape, unsigned code = kTagDefineShape2);
    void Define(ByteBuffer tag) { frame1_.push_back(std::move(tag)); }
    // Places a character on the main timeline at the next depth.
    void Place(std::uint16_t id, int xPx, int yPx, const std::string& name = "");
    const std::vector<ByteBuffer>& Frame1() const { return frame1_; }

private:
    std::uint16_t nextId_ = 1;
    std::uint16_t nextDepth_ = 1;
    std::vector<ByteBuffer> frame1_;
};

// A push button of one or more looks (shapes drawn in local pixels
// 0..size), hit anywhere in its bounding square.
void AddButton(TemplateDraft& d, const std::vector<ShapeBuilder>& looks, int widthPx, int heightPx,
               const ByteBuffer& actions, int xPx, int yPx);

// White (or given) icons for the play and stop buttons, centred in a square.
ShapeBuilder PlayIcon(int sizePx, ColourRef colour);
ShapeBuilder StopIcon(int sizePx, ColourRef colour);

// A one-frame sprite of the given shapes, so scripts can move it by name.
std::uint16_t ShapeSprite(TemplateDraft& d, const std::vector<ShapeBuilder>& looks);

// Seven-segment digits 10 x 16 pixels with 2-pixel strokes; frame n+1
// shows n. Returns the sprite id.
std::uint16_t DigitSprite(TemplateDraft& d, ColourRef colour);
constexpr int kDigitWidth = 10, kDigitHeight = 16, kTimeWidth = 86;

// The display sprite: progress fill and knob of the track (when given) and
// elapsed/total time digits at `timeXPx` (when asked), updated every frame.
struct DisplayLayout {
    const TrackGeometry* track = nullptr;
    ColourRef fillColour = 0;
    int fillY = 0, fillHeight = 0;
    std::vector<ShapeBuilder> knobLooks;  // drawn around x = 0
    int knobY = 0;
    bool withTime = false;
    ColourRef timeColour = 0;
    int timeX = 0, timeY = 0;
};
void AddDisplay(TemplateDraft& d, bool shell, const DisplayLayout& layout);

}  // namespace tembrel
