#pragma once
// Escapings of file names written into the HTML page.
#include <string>

namespace tembrel {

// For URLs (the movie reference): ASCII letters and digits, "." and bytes of
// 0x80 and above stay; every other byte becomes "%" and two upper-case hex
// digits ("my song_1.swf" -> "my%20song%5F1.swf").
std::string EscapeForUrl(const std::string& text);

// For the shell player's "soundswf" value: the player decodes the query and
// hands the value to loadMovie as an address, where "%", "#" and "?" would
// mean an escape, a fragment or a query. So those three are escaped once
// before the value itself is ("a#1.swf" -> "a%25231.swf"); other names read
// as EscapeForUrl gives them.
std::string EscapeSoundSwfForQuery(const std::string& fileName);

// For HTML text and attribute values: & < > " ' become entities.
std::string EscapeForHtml(const std::string& text);

// True when text is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF). A page is UTF-8: a file name that is not
// cannot be written into it as the address of that file.
bool IsWellFormedUtf8(const std::string& text);

}  // namespace tembrel
