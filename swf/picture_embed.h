#pragma once
// Puts the user's JPEG picture into a picture template (kind 600): the
// placeholder DefineBitsJPEG2 receives the file, the stage and the
// DefineShape frames take the picture's size.
#include <string>

#include "swf/swf_template.h"

namespace tembrel {

// Largest side the shape edges can encode: 3276 px = 65520 twips still fits
// the 17-bit deltas that the 4-bit NumBits field allows.
constexpr int kMaxPicturePixels = 3276;

// Rebuilds the template for a picture of width × height pixels. False, with
// the template unchanged, when nothing is loaded, a side is not in
// 1..kMaxPicturePixels, or the picture is not a regular file that can be
// read in full and starts as a JPEG (FF D8); *problem then says which
// ("it is a folder", "it is not a JPEG file", ...), when given. Running out
// of memory is one of these failures (kPictureOutOfMemory): the picture is
// lost, not the template.
inline constexpr char kPictureOutOfMemory[] = "there is not enough memory to embed it";
bool EmbedPicture(SwfTemplate& tmpl, const std::string& jpegPath, int width, int height,
                  std::string* problem = nullptr);

}  // namespace tembrel
