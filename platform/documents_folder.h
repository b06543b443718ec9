#pragma once
#include <string>

namespace tembrel {

// The user's documents folder as the XDG user directories name it:
// $XDG_DOCUMENTS_DIR when set, else XDG_DOCUMENTS_DIR of
// ${XDG_CONFIG_HOME:-~/.config}/user-dirs.dirs, else ~/Documents. No
// trailing "/"; "" when not even the home folder is known. The folder is
// not created here.
std::string UserDocumentsFolder();

}  // namespace tembrel
