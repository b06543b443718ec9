#pragma once
// Starting a helper program that outlives the call: the file manager, the
// folder opener, an editor. Arguments go to the program as the bytes given,
// so a file name that is not UTF-8 reaches it as it is on disk (Qt's
// process arguments are strings and would replace such bytes).
#include <string>
#include <vector>

namespace tembrel {

// Runs `command` (program first, searched in PATH) without a shell and
// without waiting for it, its standard streams on /dev/null, in a child of
// its own that nobody needs to reap. True when the program was started.
bool StartDetached(const std::vector<std::string>& command);

}  // namespace tembrel
