#pragma once
#include <string>

namespace tembrel {

// Folder of the running executable, with a trailing "/". Templates, the page
// template and the sample picture are looked up there.
std::string ProgramFolder();

}  // namespace tembrel
