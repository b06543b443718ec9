#pragma once
// Parts of a path as output naming and the progress texts use them.
#include <string>

namespace tembrel {

// Text after the last "/" (the whole path when there is none).
std::string FileNameOf(const std::string& path);
// From the last "." of the file name on, dot included; "" without a dot.
std::string ExtensionOf(const std::string& path);
// The file name without its extension.
std::string StemOf(const std::string& path);
// The path without the extension of its file name.
std::string WithoutExtension(const std::string& path);

}  // namespace tembrel
