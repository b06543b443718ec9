#pragma once
// Which key colours a template is drawn in, recognised from its path, and
// the colour maps that spread the user's colours over those keys.
#include <string_view>

#include "swf/colour_ref.h"
#include "swf/swf_template.h"

namespace tembrel {

// Stored codes of the template designs.
enum TemplateKind : int {
    kTemplateKindNone = 0,
    kTemplateKindCircleGradient = 100,
    kTemplateKindCirclePlain = 150,
    kTemplateKindSquareGradient = 200,
    kTemplateKindTrack = 300,
    kTemplateKindTrumpet = 400,
    kTemplateKindRoundRect = 500,
    kTemplateKindPicture = 600,
    kTemplateKindText = 700,
};

// First name part found in the lower-cased whole path (folders included):
// "circle_gradient", "circle_plain", "text", "square_gradient", "track_",
// "trumpet", "round_rect", "use_a_jpeg"; none of them gives 0.
int TemplateKindFromName(std::string_view path);

// Four shades of the button colour, channel by channel (x):
// dark = x*darkFactor, base = x, light = x + (255-x)*lightFactor,
// lighter = x + (255-x)*lighterFactor, each truncated. The factors are the
// first, third and fourth gradient factors of the options (0.4, 0.3, 0.8 by
// default).
struct GradientShadeSet {
    ColourRef dark = 0;
    ColourRef base = 0;
    ColourRef light = 0;
    ColourRef lighter = 0;
};
GradientShadeSet GradientShades(ColourRef button, float darkFactor, float lightFactor, float lighterFactor);

// Clears the template's colour map and fills it for `kind` from the button
// colour (kinds without keys, 0 and 600 among them, leave it empty). The
// gradient factors matter only to kind 100. Always true.
bool SetKindColours(SwfTemplate& tmpl, int kind, ColourRef button, float darkFactor = 0.4f,
                    float lightFactor = 0.3f, float lighterFactor = 0.8f);

// Clears the colour map and fills it for a track-bar template (kind 300).
// `trackFactor` (0..5) scales the three middle greys together. Always true.
bool SetTrackColours(SwfTemplate& tmpl, ColourRef button, ColourRef top, ColourRef bottom, ColourRef border,
                     float trackFactor = 1.0f);

// Each channel times `factor`, truncated toward zero and clamped to 0..255.
ColourRef ScaleColour(ColourRef colour, double factor);

}  // namespace tembrel
