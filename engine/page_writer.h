#pragma once
// The HTML page written beside a SWF: a template from the program folder
// (or the built-in one) with the movie's name, size, colour and reference
// filled in.
#include <string>

#include "audio/source_file_entry.h"
#include "engine/conversion_settings.h"
#include <cstdint>

namespace tembrel {

// What the page tells of the movie: its stage and (for players that show
// the time) the sound's whole seconds.
struct PageMovie {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t durationSeconds = 0;
};

// The built-in page: 13 lines, each ended by CR LF.
const std::string& BuiltInPageTemplate();

// The whole file at settings.PageTemplatePath, or the built-in page when it
// cannot be opened or read completely.
std::string LoadPageTemplate(const ConversionSettings& settings);

// The page for the entry's output SWF (and player SWF), from a template:
// %T%, %BKG%, %W%, %H%, %SWF% and %SWFNAME% replaced, in this order, in the
// template's own text only (names that look like placeholders stay as they
// are). Names go in HTML-escaped, the movie reference URL-escaped.
std::string FillPageTemplate(const std::string& pageTemplate, const ConversionSettings& settings,
                             const SourceFileEntry& entry, const PageMovie& movie);

// Writes the page at entry.htmlPath. False when the file cannot be created
// or written, or when that path leads to the source file itself.
bool WritePage(const ConversionSettings& settings, const SourceFileEntry& entry, const PageMovie& movie);

// Writes the page into the file already made at entry.htmlPath (a
// temporary name the conversion moves into place itself).
bool WritePageInto(const ConversionSettings& settings, const SourceFileEntry& entry, const PageMovie& movie);

}  // namespace tembrel
