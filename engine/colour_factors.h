#pragma once
// Process-wide colour factors stored beside the options: GC shades the button
// colour (0 darkens; 2 and 3 lighten; 1 is kept but unused), TBC scales the
// track-bar greys.
#include <array>

namespace tembrel {

struct ColourFactors {
    std::array<float, 4> GC{0.4f, 1.0f, 0.3f, 0.8f};
    float TBC = 1.0f;
};

// The one instance the program edits, loads and saves.
inline ColourFactors& ProcessColourFactors() {
    static ColourFactors factors;
    return factors;
}

}  // namespace tembrel
