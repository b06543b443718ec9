#include "swf/template_kinds.h"

#include <cmath>
#include <string>

namespace tembrel {

namespace {

struct KindName {
    const char* part;
    int kind;
};

// Tested in this order: "text" before "square_gradient" decides paths that
// hold both.
constexpr KindName kKindNames[] = {
    {"circle_gradient", kTemplateKindCircleGradient},
    {"circle_plain", kTemplateKindCirclePlain},
    {"text", kTemplateKindText},
    {"square_gradient", kTemplateKindSquareGradient},
    {"track_", kTemplateKindTrack},
    {"trumpet", kTemplateKindTrumpet},
    {"round_rect", kTemplateKindRoundRect},
    {"use_a_jpeg", kTemplateKindPicture},
};

// Truncated toward zero, clamped to a channel. NaN counts as 0.
std::uint8_t ClampChannel(double value) {
    if (!(value > 0)) return 0;
    if (value >= 255) return 255;
    return static_cast<std::uint8_t>(value);
}

ColourRef PerChannel(ColourRef colour, auto&& channelFunction) {
    return MakeColourRef(channelFunction(RedOf(colour)), channelFunction(GreenOf(colour)),
                         channelFunction(BlueOf(colour)));
}

constexpr ColourRef Key(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return MakeColourRef(red, green, blue);
}

constexpr ColourRef Grey(std::uint8_t level) { return MakeColourRef(level, level, level); }

// Round-rect greys as multiples of the button grey 0x6F, kept in single
// precision like the stored factors.
struct ScaledKey {
    ColourRef key;
    float factor;
};
constexpr ScaledKey kRoundRectKeys[] = {
    {Grey(0x77), 1.0720720f}, {Grey(0x88), 1.2252252f}, {Grey(0x66), 0.9189189f},
    {Grey(0x99), 1.3783784f}, {Grey(0xBB), 1.6846846f}, {Grey(0xA6), 1.4954954f},
    {Grey(0x5E), 0.8468468f}, {Grey(0x73), 1.0360360f},
};

constexpr float kTrackStep = 0.009803922f;  // 1/102: one grey level of the button grey 0x66

}  // namespace

int TemplateKindFromName(std::string_view path) {
    std::string lower(path);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const KindName& entry : kKindNames)
        if (lower.find(entry.part) != std::string::npos) return entry.kind;
    return kTemplateKindNone;
}

ColourRef ScaleColour(ColourRef colour, double factor) {
    return PerChannel(colour, [factor](std::uint8_t x) { return ClampChannel(std::trunc(x * factor)); });
}

GradientShadeSet GradientShades(ColourRef button, float darkFactor, float lightFactor, float lighterFactor) {
    auto lighten = [](float factor) {
        return [factor](std::uint8_t x) {
            return ClampChannel(x + std::trunc((255 - x) * static_cast<double>(factor)));
        };
    };
    GradientShadeSet shades;
    shades.dark = ScaleColour(button, darkFactor);
    shades.base = button & 0xFFFFFF;
    shades.light = PerChannel(button, lighten(lightFactor));
    shades.lighter = PerChannel(button, lighten(lighterFactor));
    return shades;
}

bool SetKindColours(SwfTemplate& tmpl, int kind, ColourRef button, float darkFactor, float lightFactor,
                    float lighterFactor) {
    ColourMap& map = tmpl.Colours();
    map.Clear();
    switch (kind) {
    case kTemplateKindCircleGradient: {
        GradientShadeSet shades = GradientShades(button, darkFactor, lightFactor, lighterFactor);
        map.Set(Key(0x00, 0x4A, 0x00), shades.dark);
        map.Set(Key(0x1D, 0xA4, 0x00), shades.base);
        map.Set(Key(0x61, 0xEF, 0x01), shades.light);
        map.Set(Key(0xD5, 0xFF, 0xD7), shades.lighter);
        break;
    }
    case kTemplateKindCirclePlain:
    case kTemplateKindText:
        map.Set(Key(0x00, 0x00, 0x00), button);
        break;
    case kTemplateKindSquareGradient:
        map.Set(Key(0x00, 0x33, 0x66), button);
        break;
    case kTemplateKindTrumpet:
        map.Set(Key(0x33, 0x66, 0xCC), button);
        break;
    case kTemplateKindRoundRect:
        map.Set(Grey(0x6F), button);
        for (const ScaledKey& entry : kRoundRectKeys) map.Set(entry.key, ScaleColour(button, entry.factor));
        break;
    default:
        break;
    }
    return true;
}

bool SetTrackColours(SwfTemplate& tmpl, ColourRef button, ColourRef top, ColourRef bottom, ColourRef border,
                     float trackFactor) {
    ColourMap& map = tmpl.Colours();
    map.Clear();
    // The bracketed factors are formed first, in single precision.
    float factor55 = trackFactor * 85 * kTrackStep;
    float factor47 = trackFactor * 71 * kTrackStep;
    map.Set(Grey(0x66), ScaleColour(button, trackFactor));
    map.Set(Grey(0x17), ScaleColour(button, 0.2254902f));
    map.Set(Grey(0x87), ScaleColour(button, 1.3235294f));
    map.Set(Grey(0x55), ScaleColour(button, factor55));
    map.Set(Grey(0x47), ScaleColour(button, factor47));
    map.Set(Grey(0xE7), ScaleColour(button, 2.2647059f));
    map.Set(Grey(0x88), top);
    map.Set(Grey(0xD5), bottom);
    map.Set(Grey(0x38), border);
    return true;
}

}  // namespace tembrel
