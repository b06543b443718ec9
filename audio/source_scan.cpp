#include "audio/source_scan.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <set>
#include <utility>

#include "audio/source_extensions.h"
#include "platform/path_parts.h"

namespace tembrel {
namespace {

using FileId = std::pair<dev_t, ino_t>;

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string RealPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string real = resolved;
    std::free(resolved);
    return real;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Names in a folder, sorted so that scans give the same order everywhere.
std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void CollectFolders(std::vector<std::string>& folders, std::set<FileId>& seen, const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    if (!seen.insert({st.st_dev, st.st_ino}).second) return;  // a link back up the tree
    folders.push_back(folder);
    for (const std::string& name : FolderNames(folder)) {
        const std::string path = Join(folder, name);
        struct stat child {};
        if (::stat(path.c_str(), &child) == 0 && S_ISDIR(child.st_mode)) CollectFolders(folders, seen, path);
    }
}

}  // namespace

bool ResolveShortcut(const std::string& linkPath, std::string& target) {
    target.clear();
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(linkPath.c_str(), buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) return false;
    std::string text(buffer, static_cast<std::size_t>(length));
    target = text.front() == '/' ? text : Join(FolderOf(linkPath), text);
    return true;
}

void ApplyShortcutRule(std::vector<std::string>& paths, const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops && IsLink(current); ++hop) {
        std::string target;
        if (!ResolveShortcut(current, target)) return;
        if (IsSupportedExtension(ExtensionOf(target))) {
            // The real path, so that the list spots the same file reached
            // through another link or a path with "..".
            if (IsRegularFile(target)) paths.push_back(RealPath(target));
            return;
        }
        current = std::move(target);
    }
}

void ScanFolder(std::vector<std::string>& paths, const std::string& folder) {
    std::vector<std::string> folders;
    std::set<FileId> seen;
    CollectFolders(folders, seen, folder);
    for (const std::string& each : folders) {
        for (const std::string& name : FolderNames(each)) {
            const std::string path = Join(each, name);
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
            if (path.size() >= PATH_MAX) continue;
            if (IsSupportedExtension(ExtensionOf(path)))
                paths.push_back(path);
            else
                ApplyShortcutRule(paths, path);
        }
    }
}

void CollectDroppedItem(std::vector<std::string>& paths, const std::string& item) {
    struct stat st {};
    if (::stat(item.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        ScanFolder(paths, item);
    else if (IsSupportedExtension(ExtensionOf(item)))
        paths.push_back(item);
    else
        ApplyShortcutRule(paths, item);
}

}  // namespace tembrel
