#include "engine/output_naming.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path_parts.h"
#include "platform/documents_folder.h"
#include "platform/file_identity.h"

namespace tembrel {
namespace {

std::string WithPath(const char* format, const std::string& path) {
    std::string text = format;
    text.replace(text.find("%s"), 2, path);
    return text;
}

// The source's folder below the root, as mirrored under a custom folder:
// "/home/u/Music/pop/1.mp3" gives "home/u/Music/pop/". Resolved lexically so
// that "." and ".." can never lead outside the custom folder.
std::string MirroredFolder(const std::string& sourcePath) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(sourcePath).parent_path().lexically_normal().relative_path();
    std::string mirrored;
    for (const fs::path& part : folder) {
        const std::string level = part.string();
        if (level.empty() || level == "." || level == "..") continue;
        mirrored += level + "/";
    }
    return mirrored;
}

// Makes sure the SWF can be created at target: an existing file there (only
// when overwriting was chosen) is removed by name first, so that a link at
// target is replaced rather than followed into the file it points at.
bool ProbeTarget(const std::string& target) {
    if (AnythingExistsAt(target) && !IsFolderAt(target)) ::unlink(target.c_str());
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(target.c_str());
    return true;
}

enum class Step { Named, Refused, FallBack };

}  // namespace

bool EnsureFolder(const std::string& path) {
    if (path.empty()) return false;
    if (IsFolderAt(path)) return true;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string level = path.substr(0, slash);
        if (level.back() == '/') continue;  // "//" in the path
        if (!AnythingExistsAt(level)) {
            if (::mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) return false;
        } else if (!IsFolderAt(level)) {
            return false;
        }
    }
    if (AnythingExistsAt(path)) return IsFolderAt(path);
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool NameOutputs(const ConversionSettings& settings, SourceFileEntry& entry, std::string* status) {
    entry.outputSwfPath.clear();
    entry.htmlPath.clear();
    entry.playerSwfPath.clear();

    int mode = settings.SWFOutputFolderOpt;
    std::string folder = settings.SWFSpecifiedFolder;
    bool mirror = settings.CreateDirs != 0;
    bool fallenBack = false;
    const std::string& source = entry.sourcePath;

    for (;;) {
        // One attempt at the current folder choice: Named, Refused (no
        // fallback) or FallBack (status set, the documents folder may help).
        auto attempt = [&]() -> Step {
            std::string base;
            if (mode == kOutputFolderPerFile) {
                const std::string perFile = WithoutExtension(source);
                if (!EnsureFolder(perFile)) {
                    *status = WithPath(kStatusFailedFolder, perFile);
                    return Step::FallBack;
                }
                base = perFile + "/" + StemOf(source);
            } else if (mode == kOutputCustomFolder) {
                if (folder.empty() || !EnsureFolder(folder)) {
                    *status = WithPath(kStatusFailedFolder, folder);
                    return Step::FallBack;
                }
                base = folder;
                if (base.back() != '/') base += '/';
                if (mirror) {
                    base += MirroredFolder(source);
                    if (!EnsureFolder(base)) {
                        *status = WithPath(kStatusFailedFolder, base);
                        return Step::FallBack;
                    }
                }
                base += StemOf(source);
            } else {
                base = WithoutExtension(source);
            }

            std::string target = base + ".swf";
            if (AnythingExistsAt(target)) {
                if (settings.TargetExistsOpt == kTargetOverwrite) {
                    // Decided by identity, not by name: no spelling, link or
                    // letter case may turn the source into the target.
                    if (IsSameFile(target, source)) {
                        *status = kStatusTargetIsSource;
                        return Step::Refused;
                    }
                } else if (settings.TargetExistsOpt == kTargetSkip) {
                    *status = kStatusTargetSkipped;
                    return Step::Refused;
                } else {
                    for (int n = 1;; ++n) {
                        target = base + "_" + std::to_string(n) + ".swf";
                        if (!AnythingExistsAt(target)) {
                            base += "_" + std::to_string(n);
                            break;
                        }
                        if (n == 1000000) {  // a folder that cannot hold another name
                            *status = WithPath(kStatusFailedFile, target);
                            return Step::FallBack;
                        }
                    }
                }
            }

            if (!ProbeTarget(target)) {
                *status = WithPath(kStatusFailedFile, target);
                return Step::FallBack;
            }
            entry.outputSwfPath = target;
            entry.htmlPath = settings.CreateHtmlFile != 0 ? base + ".htm" : std::string();
            // Only the shell-player kind writes a player; a stale player
            // choice must not send the page to a file that never comes.
            const bool shellPlayer = settings.CreateCtrlSWF != 0 && settings.ButtonSWFType == kPlayerWithShell;
            entry.playerSwfPath = shellPlayer ? base + ".player.swf" : std::string();
            return Step::Named;
        };

        const Step step = attempt();
        if (step == Step::Named) return true;
        if (step == Step::Refused || fallenBack || settings.OutputFiles2MyDocuments != 1) return false;
        fallenBack = true;
        const std::string documents = UserDocumentsFolder();
        if (documents.empty()) return false;
        folder = documents;
        mirror = settings.SWFOutputFolderOpt == kOutputCustomFolder && settings.CreateDirs != 0;
        mode = kOutputCustomFolder;
    }
}

}  // namespace tembrel
