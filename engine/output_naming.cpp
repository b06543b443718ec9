#include "engine/output_naming.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <unordered_map>
#include <unordered_set>

#include "platform/path_parts.h"
#include "platform/documents_folder.h"
#include "platform/file_identity.h"
#include "platform/output_placement.h"

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

// Makes sure files can be created in the target's folder, without touching
// whatever stands at the target's own name.
bool ProbeFolderOf(const std::string& target, std::string* reason) {
    const std::string probe = CreateTempBeside(target, reason);
    if (probe.empty()) return false;
    ::unlink(probe.c_str());
    return true;
}

// The longest name a file may have in folder (255 on most file systems),
// asked of its nearest level that exists: a folder still to be made gets
// the limit of the one it will be made in.
std::size_t NameLimitOf(std::string folder) {
    while (folder.size() > 1 && !AnythingExistsAt(folder)) {
        if (folder.back() == '/') folder.pop_back();
        const std::size_t slash = folder.rfind('/');
        folder.resize(slash == std::string::npos ? 0 : slash + 1);
    }
    errno = 0;
    const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

// Only the shell-player kind writes a player; a stale player choice must
// not send the page to a file that never comes.
bool WritesPlayer(const ConversionSettings& settings) {
    return settings.CreateCtrlSWF != 0 && settings.ButtonSWFType == kPlayerWithShell;
}

// The names a file's outputs get for one base.
struct OutputNames {
    std::string swf, page, player;

    OutputNames(const ConversionSettings& settings, const std::string& base) : swf(base + ".swf") {
        if (settings.CreateHtmlFile != 0) page = base + ".htm";
        if (WritesPlayer(settings)) player = base + ".player.swf";
    }
    bool AnyExists() const {
        return AnythingExistsAt(swf) || AnythingExistsAt(page) || AnythingExistsAt(player);
    }
    // The first of them that no file can have: longer than its folder
    // allows, or a path longer than the system takes. "" when all can be.
    std::string TooLong() const {
        for (const std::string* name : {&swf, &page, &player}) {
            if (name->empty()) continue;
            const std::size_t slash = name->rfind('/');
            const std::string folder = slash == std::string::npos ? "." : name->substr(0, slash + 1);
            const std::size_t length = slash == std::string::npos ? name->size() : name->size() - slash - 1;
            if (name->size() >= PATH_MAX || length > NameLimitOf(folder)) return *name;
        }
        return {};
    }
    // Any of them leads to the source itself (links and other spellings too).
    bool AnyIsSource(const std::string& source) const {
        return IsSameFile(swf, source) || IsSameFile(page, source) || IsSameFile(player, source);
    }
};

// Why a folder could not be made: something else stands at a level, or the
// system said no (errno of the failed mkdir).
std::string FolderFailure(const std::string& path) {
    const int error = errno;
    std::string level = path;
    while (!level.empty() && !AnythingExistsAt(level)) {
        const std::size_t slash = level.rfind('/');
        if (slash == std::string::npos || slash == 0) break;
        level.resize(slash);
    }
    if (AnythingExistsAt(level) && !IsFolderAt(level)) return "\"" + level + "\" is not a folder";
    return ErrorText(error != 0 ? error : ENOENT);
}

// The longest ending a file's outputs add to its base: the player's, and
// with a page the script that carries each movie for a page opened from
// disk ("<name>.swf.js", under the Ruffle folder beside the page).
std::size_t LongestEnding(const ConversionSettings& settings) {
    const bool page = settings.CreateHtmlFile != 0;
    const std::string longest = std::string(WritesPlayer(settings) ? ".player.swf" : ".swf") + (page ? ".js" : "");
    return longest.size();
}

// base + suffix, with the file-name part of base cut short (never inside a
// UTF-8 character) so that the name with its longest ending still fits the
// folder's name limit. A base that fits is left as it is.
std::string FittedBase(const std::string& base, const std::string& suffix, std::size_t longestEnding,
                       std::size_t nameLimit) {
    const std::size_t slash = base.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t keep = base.size() - nameStart;
    const std::size_t fixed = suffix.size() + longestEnding;
    const std::size_t room = nameLimit > fixed ? nameLimit - fixed : 1;
    if (keep > room) {
        keep = room;
        // Back up to the first byte of a character: continuation bytes are 10xxxxxx.
        while (keep > 1 && (static_cast<unsigned char>(base[nameStart + keep]) & 0xC0) == 0x80) --keep;
    }
    return base.substr(0, nameStart + keep) + suffix;
}

std::string NumberSuffix(int n) { return n > 0 ? "_" + std::to_string(n) : std::string(); }

// The base of a source's outputs (its folder and stem, no ending) for a
// folder choice, before any numbering; "" when there is no folder to name.
std::string OwnBase(int mode, const std::string& folder, bool mirror, const std::string& source) {
    if (mode == kOutputFolderPerFile) return WithoutExtension(source) + "/" + StemOf(source);
    if (mode != kOutputCustomFolder) return WithoutExtension(source);
    if (folder.empty()) return {};
    return folder + (folder.back() == '/' ? "" : "/") + (mirror ? MirroredFolder(source) : "") + StemOf(source);
}

enum class Step { Named, Refused, FallBack };

thread_local MadeFoldersLog* madeFoldersLog = nullptr;

// mkdir that notes what it made.
bool MakeOneFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0) return false;
    if (madeFoldersLog) madeFoldersLog->folders.push_back(path);
    return true;
}

}  // namespace

MadeFoldersLog::MadeFoldersLog() : outer_(madeFoldersLog) { madeFoldersLog = this; }
MadeFoldersLog::~MadeFoldersLog() { madeFoldersLog = outer_; }

bool EnsureFolder(const std::string& path) {
    if (path.empty()) return false;
    if (IsFolderAt(path)) return true;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string level = path.substr(0, slash);
        if (level.back() == '/') continue;  // "//" in the path
        if (!AnythingExistsAt(level)) {
            if (!MakeOneFolder(level) && errno != EEXIST) return false;
        } else if (!IsFolderAt(level)) {
            return false;
        }
    }
    if (AnythingExistsAt(path)) return IsFolderAt(path);
    return MakeOneFolder(path);
}

bool NameOutputs(const ConversionSettings& settings, SourceFileEntry& entry, std::string* status,
                 std::string* reason) {
    std::string why;
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
            if (mode == kOutputFolderPerFile) {
                const std::string perFile = WithoutExtension(source);
                if (!EnsureFolder(perFile)) {
                    *status = WithPath(kStatusFailedFolder, perFile);
                    why = FolderFailure(perFile);
                    return Step::FallBack;
                }
            } else if (mode == kOutputCustomFolder) {
                if (folder.empty() || !EnsureFolder(folder)) {
                    *status = WithPath(kStatusFailedFolder, folder);
                    why = folder.empty() ? "no output folder is set" : FolderFailure(folder);
                    return Step::FallBack;
                }
            }
            const std::string whole = OwnBase(mode, folder, mirror, source);
            const std::string baseFolder = whole.substr(0, whole.rfind('/') + 1);
            if (mode == kOutputCustomFolder && mirror && !EnsureFolder(baseFolder)) {
                *status = WithPath(kStatusFailedFolder, baseFolder);
                why = FolderFailure(baseFolder);
                return Step::FallBack;
            }

            // Every output's name must fit, the longest included: a long
            // name is cut short rather than lose its player or page.
            const std::size_t nameLimit = NameLimitOf(baseFolder);
            const std::size_t longestEnding = LongestEnding(settings);
            const bool overwrite = settings.TargetExistsOpt == kTargetOverwrite;
            std::string base = FittedBase(whole, overwrite ? NumberSuffix(entry.listNameNumber) : "",
                                          longestEnding, nameLimit);
            OutputNames names(settings, base);
            if (names.AnyExists()) {
                if (overwrite) {
                    // Decided by identity, not by name: no spelling, link or
                    // letter case may turn the source into an output.
                    if (names.AnyIsSource(source)) {
                        *status = kStatusTargetIsSource;
                        why = "an output name leads to the source file itself";
                        return Step::Refused;
                    }
                    if (IsFolderAt(names.swf)) {
                        *status = WithPath(kStatusFailedFile, names.swf);
                        why = "a folder stands at that name";
                        return Step::FallBack;
                    }
                } else if (settings.TargetExistsOpt == kTargetSkip) {
                    *status = kStatusTargetSkipped;
                    why.clear();
                    return Step::Refused;
                } else {
                    for (int n = 1;; ++n) {
                        const std::string numbered = FittedBase(whole, NumberSuffix(n), longestEnding, nameLimit);
                        names = OutputNames(settings, numbered);
                        if (!names.AnyExists()) {
                            base = numbered;
                            break;
                        }
                        if (n == 1000000) {  // a folder that cannot hold another name
                            *status = WithPath(kStatusFailedFile, names.swf);
                            why = "no free name left";
                            return Step::FallBack;
                        }
                    }
                }
            }

            // Names are cut to fit their folder above; what still cannot be
            // made is a path past the system's limit, which no cutting mends.
            if (const std::string tooLong = names.TooLong(); !tooLong.empty()) {
                *status = WithPath(kStatusFailedFile, tooLong);
                why = ErrorText(ENAMETOOLONG);
                return Step::FallBack;
            }
            if (!ProbeFolderOf(names.swf, &why)) {
                *status = WithPath(kStatusFailedFile, names.swf);
                return Step::FallBack;
            }
            entry.outputSwfPath = names.swf;
            entry.htmlPath = names.page;
            entry.playerSwfPath = names.player;
            return Step::Named;
        };

        const Step step = attempt();
        if (reason) *reason = why;
        if (step == Step::Named) return true;
        if (step == Step::Refused || fallenBack || settings.OutputFiles2MyDocuments == 0) return false;
        fallenBack = true;
        const std::string documents = UserDocumentsFolder();
        if (documents.empty()) return false;
        folder = documents;
        mirror = settings.SWFOutputFolderOpt == kOutputCustomFolder && settings.CreateDirs != 0;
        mode = kOutputCustomFolder;
    }
}

std::vector<int> ListNameNumbers(const ConversionSettings& settings, const std::vector<std::string>& sources) {
    const std::size_t longestEnding = LongestEnding(settings);
    std::unordered_set<std::string> taken;  // every output name of the files so far
    // Per base, the lowest number not yet known to be taken: names once
    // taken stay taken, so the search for a base goes on where it ended.
    std::unordered_map<std::string, int> nextNumber;
    std::unordered_map<std::string, std::size_t> limits;  // per folder
    std::unordered_map<std::string, int> numberOf;  // per source: one listed twice is one file
    std::vector<int> numbers;
    numbers.reserve(sources.size());
    for (const std::string& source : sources) {
        if (const auto seen = numberOf.find(source); seen != numberOf.end()) {
            numbers.push_back(seen->second);
            continue;
        }
        std::string whole = OwnBase(settings.SWFOutputFolderOpt, settings.SWFSpecifiedFolder, settings.CreateDirs != 0,
                                    source);
        if (whole.empty()) {
            numbers.push_back(0);
            continue;
        }
        // One folder spelled two ways ("a//b", "a/./b") is one folder.
        const std::size_t slash = whole.rfind('/');
        std::string folder = slash == std::string::npos ? std::string() : whole.substr(0, slash + 1);
        if (!folder.empty()) folder = std::filesystem::path(folder).lexically_normal().string();
        if (!folder.empty() && folder.back() != '/') folder += '/';
        whole = folder + whole.substr(slash == std::string::npos ? 0 : slash + 1);
        auto limit = limits.find(folder);
        if (limit == limits.end()) limit = limits.emplace(folder, NameLimitOf(folder)).first;

        int& n = nextNumber[whole];
        for (;; ++n) {
            const OutputNames names(settings, FittedBase(whole, NumberSuffix(n), longestEnding, limit->second));
            const auto isTaken = [&](const std::string& name) { return !name.empty() && taken.count(name) != 0; };
            if (isTaken(names.swf) || isTaken(names.page) || isTaken(names.player)) continue;
            for (const std::string* name : {&names.swf, &names.page, &names.player})
                if (!name->empty()) taken.insert(*name);
            break;
        }
        numberOf.emplace(source, n);
        numbers.push_back(n++);
    }
    return numbers;
}

}  // namespace tembrel
