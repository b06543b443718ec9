#pragma once
// Text as JSON string literals for the converter's --json lines.
#include <string>

#include "engine/conversion_events.h"

namespace tembrel::cli {

// text as a JSON string literal, quotes included. Always valid JSON: quotes,
// backslashes and control characters are escaped, well-formed UTF-8 is kept
// as it is, and each ill-formed part (file names are bytes, not text) becomes
// one U+FFFD, one per maximal ill-formed subpart as UTF-8 decoders do.
std::string JsonString(const std::string& text);

// One --json object and its newline: the fields in this order, every one a
// string (empty when there is nothing to say). A source that is not UTF-8
// gets "sourceBytes" after "source": its exact bytes in base64.
std::string JsonLine(const std::string& source, const std::string& status, const std::string& swf,
                     const std::string& page, const std::string& player, const std::string& reason);

// The --json object of a file the run reached or not: the fields above,
// then what the run made of it (samples per channel, whole seconds, bytes
// of the SWF) as numbers.
std::string OutcomeJsonLine(const std::string& source, const FileOutcome& outcome);

}  // namespace tembrel::cli
