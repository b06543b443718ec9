#pragma once
// Ordered (key, replacement) colour pairs that a template scan applies.
// Keys are file colours as R + G*256 + B*65536, the same 0x00BBGGRR layout
// as every ColourRef.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "swf/colour_ref.h"

namespace tembrel {

class ColourMap {
public:
    void Clear() { pairs_.clear(); }
    // Replaces the replacement of an equal key, else appends the pair.
    void Set(ColourRef key, ColourRef replacement);
    // The replacement of the first pair with this key, or null.
    const ColourRef* Find(ColourRef key) const;

    bool Empty() const { return pairs_.empty(); }
    std::size_t Size() const { return pairs_.size(); }
    const std::vector<std::pair<ColourRef, ColourRef>>& Pairs() const { return pairs_; }

    // Replaces the three bytes red, green, blue at `rgb` when their colour
    // is a key; a following alpha byte is never touched.
    void RecolourInPlace(std::uint8_t* rgb) const;

private:
    std::vector<std::pair<ColourRef, ColourRef>> pairs_;
};

}  // namespace tembrel
