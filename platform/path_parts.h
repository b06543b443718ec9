#pragma once
// Parts of a "/"-separated path: file name, extension, stem.
#include <string>
#include <string_view>

namespace tembrel {

// Text after the last "/" (the whole path when there is none).
std::string FileNameOf(std::string_view path);
// From the last "." of the file name on, dot included; "" without a dot.
std::string ExtensionOf(std::string_view path);
// The file name without its extension.
std::string StemOf(std::string_view path);
// The path without the extension of its file name.
std::string WithoutExtension(std::string_view path);

}  // namespace tembrel
