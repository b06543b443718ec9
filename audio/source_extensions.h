#pragma once
// What a source file's name says about it: the type code that picks its
// reader, and whether folder scans collect it.
#include <array>
#include <string>
#include <string_view>

namespace tembrel {

// 2000 WAV, 2100 AIFF, 3000 AU/SND, 6000 anything else (letter case ignored).
int SourceTypeCode(std::string_view path);

// The extensions folder scans collect, in lower case.
inline constexpr std::array<std::string_view, 40> kSupportedExtensions = {
    ".mp3", ".aac", ".aiff", ".aif", ".aifc", ".afc", ".au",   ".cda", ".adx", ".ac3",
    ".flac", ".fla", ".mo3", ".mod", ".xm",  ".it",   ".s3m",  ".mtm", ".umx", ".ape",
    ".mac", ".mp2", ".mp1", ".m4a",  ".m4b", ".mp4",  ".mpc",  ".mp+", ".mpp", ".snd",
    ".ogg", ".oga", ".spx", ".tta",  ".wav", ".wave", ".wv",   ".wma", ".wmv", ".asf"};

// True when extension (with its dot, any letter case, at most 15
// characters) is one of kSupportedExtensions.
bool IsSupportedExtension(std::string_view extension);

}  // namespace tembrel
