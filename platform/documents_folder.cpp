#include "platform/documents_folder.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace tembrel {
namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
    return {};
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The value of XDG_DOCUMENTS_DIR in user-dirs.dirs: a shell-style line
// XDG_DOCUMENTS_DIR="$HOME/Documents" (or an absolute path). "" when absent.
std::string FromUserDirsFile(const std::string& home) {
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') config = xdg;
    else if (!home.empty()) config = home + "/.config";
    else return {};

    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    std::string found;
    while (std::getline(in, line)) {
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        if (line.compare(start, key.size(), key) != 0) continue;
        std::string value = line.substr(start + key.size());
        if (value.size() < 2 || value.front() != '"') continue;
        const std::size_t close = value.find('"', 1);
        if (close == std::string::npos) continue;
        value = value.substr(1, close - 1);
        if (value.rfind("$HOME", 0) == 0) {
            if (home.empty()) continue;
            value = home + value.substr(5);
        } else if (value.empty() || value.front() != '/') {
            continue;  // only absolute or $HOME-relative paths are valid there
        }
        found = value;  // the last assignment wins, as in the shell
    }
    return found;
}

}  // namespace

std::string UserDocumentsFolder() {
    if (const char* env = std::getenv("XDG_DOCUMENTS_DIR"); env && *env == '/') return WithoutTrailingSlashes(env);
    const std::string home = HomeFolder();
    if (std::string fromFile = FromUserDirsFile(home); !fromFile.empty()) return WithoutTrailingSlashes(fromFile);
    if (home.empty()) return {};
    return WithoutTrailingSlashes(home) + "/Documents";
}

}  // namespace tembrel
