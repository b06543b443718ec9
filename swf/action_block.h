#pragma once
// One DoAction tag copied whole (header included) from a template, with an
// optional place where a builder writes the movie's frame rate.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tembrel {

struct ActionBlock {
    std::vector<std::uint8_t> data;        // the complete tag
    std::optional<std::size_t> patchAt;    // offset into data of a 32-bit LE frame rate

    std::uint32_t Length() const { return static_cast<std::uint32_t>(data.size()); }
    bool Empty() const { return data.empty(); }
    void Clear() {
        data.clear();
        patchAt.reset();
    }
    // Writes the frame rate at the patch location, when there is one that
    // lies inside the tag.
    void PatchFrameRate(std::uint32_t rate) {
        if (!patchAt || *patchAt + 4 > data.size()) return;
        for (int i = 0; i < 4; ++i) data[*patchAt + i] = static_cast<std::uint8_t>(rate >> (8 * i));
    }
};

}  // namespace tembrel
