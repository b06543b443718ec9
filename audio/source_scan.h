#pragma once
// Collecting sound files from folders and links. On this platform a
// symbolic link is the shortcut: a link is followed to its target, a bounded
// number of hops, so a loop of links ends.
#include <string>
#include <vector>

namespace tembrel {

// Hops a chain of links may take before it counts as unresolvable.
inline constexpr int kMaxLinkHops = 32;

// When path is a symbolic link whose target can be read, stores the target
// (made absolute against the link's folder) and returns true.
bool ResolveShortcut(const std::string& linkPath, std::string& target);

// Follows links from path; collects the final target into paths when it is
// an existing file with a supported extension. Anything else is dropped.
void ApplyShortcutRule(std::vector<std::string>& paths, const std::string& path);

// Appends the supported files of folder and of all its subfolders, parent
// folders' files first (depth-first order of the folders, names sorted
// within a folder). Other files go through the shortcut rule. A folder
// reached twice (through a linked folder) is scanned once.
void ScanFolder(std::vector<std::string>& paths, const std::string& folder);

// A dropped or named item: folders are scanned, supported files collected,
// anything else goes through the shortcut rule.
void CollectDroppedItem(std::vector<std::string>& paths, const std::string& item);

}  // namespace tembrel
