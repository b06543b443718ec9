#pragma once
// Output files are written under a temporary name in their target folder and
// moved to their real name only when complete, so that a failure, a Cancel
// or a crash never leaves a half-written file, nor destroys the file that
// stood at the name before. Moving by rename also replaces a link standing
// at the name instead of writing through it.
#include <string>

namespace tembrel {

// The text of an errno value ("Permission denied").
std::string ErrorText(int error);

// Creates a new, empty, uniquely named file "TBRxxxxxx.tmp" in the folder of
// target and returns its path; "" with the reason when none can be made.
std::string CreateTempBeside(const std::string& target, std::string* reason);

enum class Placement { Placed, NameTaken, Failed };

// Moves the finished file at temp to target. With replace, whatever stands
// at target (a link included) is replaced at once; without it the move never
// replaces anything: NameTaken when something appeared at target, so that
// two runs can never both claim one name.
Placement PlaceFile(const std::string& temp, const std::string& target, bool replace, std::string* reason);

}  // namespace tembrel
