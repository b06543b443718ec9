#include "platform/executable_path.h"

#include <climits>
#include <unistd.h>

namespace tembrel {

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    // A path that fills the buffer may have been cut short.
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace tembrel
