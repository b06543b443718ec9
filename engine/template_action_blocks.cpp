#include "engine/template_action_blocks.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "swf/swf_records.h"

namespace tembrel {

namespace {

// Push (length 7): constant-pool index 2, then the 32-bit integer 12; SetVariable.
constexpr std::array<std::uint8_t, 11> kFrameRatePush = {0x96, 0x07, 0x00, 0x08, 0x02, 0x07,
                                                         0x0C, 0x00, 0x00, 0x00, 0x1D};
constexpr std::size_t kIntegerOffset = 6;

}  // namespace

bool ExtractActionBlocks(SwfTemplate& tmpl, ActionBlock& startPlay, ActionBlock& startStop, ActionBlock& endLoop,
                         ActionBlock& endStop) {
    std::array<ActionBlock*, 4> slots = {&startPlay, &startStop, &endLoop, &endStop};
    for (ActionBlock* slot : slots) slot->Clear();

    // Frames 1 and 2 hold no blocks: counting from -2 puts frame 3 at slot 0.
    int frame = -2;
    unsigned code = 0;
    std::uint32_t length = 0;
    tmpl.ResetIteration();
    while (const std::uint8_t* tag = tmpl.NextTag(code, length)) {
        if (code == kTagShowFrame) {
            ++frame;
        } else if (code == kTagDoAction && frame >= 0 && frame < 4) {
            ActionBlock& slot = *slots[static_cast<std::size_t>(frame)];
            slot.Clear();
            slot.data.assign(tag, tag + length);
        }
    }
    return std::all_of(slots.begin(), slots.end(), [](const ActionBlock* slot) { return !slot->Empty(); });
}

bool IsTimingTemplatePath(std::string_view path) {
    static constexpr std::string_view kTime = "time";
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    auto it = std::search(path.begin(), path.end(), kTime.begin(), kTime.end(),
                          [&](char a, char b) { return lower(a) == b; });
    return it != path.end();
}

bool LocateFrameRatePatch(ActionBlock& block) {
    block.patchAt.reset();
    auto it = std::search(block.data.begin(), block.data.end(), kFrameRatePush.begin(), kFrameRatePush.end());
    if (it == block.data.end()) return false;
    block.patchAt = static_cast<std::size_t>(it - block.data.begin()) + kIntegerOffset;
    return true;
}

}  // namespace tembrel
