#pragma once
// The shipped player designs: each fills a draft's frame 1 and tells the
// stage size. Key colours are the ones the colour setters replace.
#include <string>

#include "tools/player_parts.h"

namespace tembrel {

struct Design {
    int width = 0, height = 0;  // stage, pixels
    TemplateDraft draft;
};

enum class Look { SquareGradient, CircleGradient, CirclePlain, Text, Trumpet, RoundRect };

// Play and stop buttons of one look; with `withTime` also the elapsed and
// total time beside them.
Design ButtonPlayer(Look look, bool shell, bool withTime);
// The track-bar player: buttons, progress bar that seeks, optional time.
Design TrackPlayer(bool shell, bool withTime);
// The picture player: a 30 x 25 pixel picture frame that plays and stops
// when clicked; `placeholder` is the JPEG shown until a picture is embedded.
Design PicturePlayer(const ByteBuffer& placeholder);

}  // namespace tembrel
