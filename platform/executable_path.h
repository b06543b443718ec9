#pragma once
// Where the running program's executable lies.
#include <string>

namespace tembrel {

// Full path of the executable, or empty when the system does not say.
std::string ExecutablePath();

}  // namespace tembrel
