#include "swf/colour_map.h"

namespace tembrel {

void ColourMap::Set(ColourRef key, ColourRef replacement) {
    for (auto& pair : pairs_) {
        if (pair.first == key) {
            pair.second = replacement;
            return;
        }
    }
    pairs_.emplace_back(key, replacement);
}

const ColourRef* ColourMap::Find(ColourRef key) const {
    for (const auto& pair : pairs_)
        if (pair.first == key) return &pair.second;
    return nullptr;
}

void ColourMap::RecolourInPlace(std::uint8_t* rgb) const {
    const ColourRef* replacement = Find(MakeColourRef(rgb[0], rgb[1], rgb[2]));
    if (!replacement) return;
    rgb[0] = RedOf(*replacement);
    rgb[1] = GreenOf(*replacement);
    rgb[2] = BlueOf(*replacement);
}

}  // namespace tembrel
