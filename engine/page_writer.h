#pragma once
// The HTML page written beside a SWF: a template from the program folder
// (or the built-in one) with the movie's name, size, colour and reference
// filled in.
#include <string>

#include "audio/source_file_entry.h"
#include "engine/conversion_settings.h"

namespace tembrel {

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
                             const SourceFileEntry& entry);

// Writes the page at entry.htmlPath. False when the file cannot be created
// or written, or when that path leads to the source file itself.
bool WritePage(const ConversionSettings& settings, const SourceFileEntry& entry);

}  // namespace tembrel
