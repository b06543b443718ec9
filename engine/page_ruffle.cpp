#include "engine/page_ruffle.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <vector>

#include "engine/conversion_settings.h"
#include "engine/output_naming.h"
#include "platform/file_identity.h"
#include "platform/os_file.h"
#include "platform/output_placement.h"
#include "platform/path_parts.h"

namespace tembrel {
namespace {

constexpr char kLoaderName[] = "page.js";
constexpr std::size_t kChunk = 3 * 21846;  // a multiple of 3: base64 without padding inside

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string RuffleFolderBeside(const std::string& path) {
    return FolderOf(path) + "/" + kPageRuffleFolderName;
}

std::string Failure(const std::string& what, int error) { return what + ": " + ErrorText(error ? error : EIO); }

// Reads up to count bytes, fewer only at the end of the file; -1 on error.
std::int64_t ReadFull(OsFile& file, char* buffer, std::size_t count) {
    std::size_t got = 0;
    while (got < count) {
        const std::int64_t n = file.Read(buffer + got, count - got);
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(got);
}

// The regular files of the program's copy, the loader last: a page finds
// the loader only once everything it loads is in place.
bool ListCopy(const std::string& folder, std::vector<std::string>& names) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name != "." && name != ".." && IsRegularFileAt(folder + "/" + name)) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return (a == kLoaderName) != (b == kLoaderName) ? b == kLoaderName : a < b;
    });
    return std::find(names.begin(), names.end(), kLoaderName) != names.end();
}

// Whether the regular file name in folder (a link there is none) holds the
// bytes of the file at path.
bool SameBytes(const std::string& path, const OpenFolder& folder, const std::string& name) {
    OsFile x, y;
    y.Adopt(folder.OpenFileForReading(name));
    if (!y.IsOpen() || !x.OpenForReading(path) || x.Size() != y.Size()) return false;
    std::vector<char> p(kChunk), q(kChunk);
    for (;;) {
        const std::int64_t n = ReadFull(x, p.data(), p.size());
        if (n < 0 || ReadFull(y, q.data(), q.size()) != n) return false;
        if (n == 0) return true;
        if (!std::equal(p.begin(), p.begin() + n, q.begin())) return false;
    }
}

// Writes name in folder under a temporary name and renames it in; what
// stood there stays when anything fails.
template <typename Fill>
bool WriteInPlace(const OpenFolder& folder, const std::string& name, Fill fill, std::string* reason) {
    std::string temp;
    OsFile out;
    out.Adopt(folder.CreateTemp(&temp, reason));
    if (!out.IsOpen()) return false;
    errno = 0;
    const bool written = fill(out);
    const int error = errno;
    out.Close();
    if (!written) *reason = Failure("cannot write \"" + folder.Path() + "/" + name + "\"", error);
    if (!written || !folder.Replace(temp, name, reason)) {
        folder.Remove(temp);
        return false;
    }
    return true;
}

bool CopyInto(OsFile& out, const std::string& from) {
    OsFile in;
    if (!in.OpenForReading(from)) return false;
    std::vector<char> buffer(kChunk);
    for (;;) {
        const std::int64_t n = ReadFull(in, buffer.data(), buffer.size());
        if (n < 0) return false;
        if (n == 0) return true;
        if (!out.Write(buffer.data(), static_cast<std::size_t>(n))) return false;
    }
}

void AppendBase64(std::string& out, const unsigned char* bytes, std::size_t count) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < count; i += 3) {
        const std::size_t left = count - i;
        const unsigned v = bytes[i] << 16 | (left > 1 ? bytes[i + 1] << 8 : 0) | (left > 2 ? bytes[i + 2] : 0);
        out += digits[v >> 18];
        out += digits[(v >> 12) & 63];
        out += left > 1 ? digits[(v >> 6) & 63] : '=';
        out += left > 2 ? digits[v & 63] : '=';
    }
}

// Every byte but letters, digits, ".", "_" and "-" as %XX: the script stays
// plain ASCII whatever the file name holds, and the page decodes it.
std::string PercentEncoded(const std::string& name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
            c == '-') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

}  // namespace

bool PageUsesRuffleBeside(const std::string& pageTemplate) {
    return pageTemplate.find(std::string(kPageRuffleFolderName) + "/" + kLoaderName) != std::string::npos;
}

// A Ruffle folder of this run that holds the whole copy, each file as this
// run found or made it.
struct PageRuffle::Copy {
    OpenFolder folder;
    std::uint64_t device = 0;
    std::map<std::string, FileId> files;
};

PageRuffle::PageRuffle(std::string programCopy) : programCopy_(std::move(programCopy)) {}
PageRuffle::~PageRuffle() = default;

// A link at name in folder to the same file of an earlier folder, made
// under a temporary name and renamed in; the file's identity, or nothing
// when no link could be made.
std::optional<FileId> PageRuffle::LinkFromCopies(const OpenFolder& folder, const std::string& name) {
    const std::optional<FileId> here = folder.IdOf("."), standing = folder.IdOf(name);
    if (!here) return std::nullopt;
    for (auto copy = copies_.rbegin(); copy != copies_.rend(); ++copy) {
        const auto file = (*copy)->files.find(name);
        if (file == (*copy)->files.end() || (*copy)->device != here->device) continue;
        if (standing == file->second) return file->second;
        // Another file system mounted twice, one without links, or a file
        // linked as often as it may be: the next copy, or a copy of its own.
        std::string temp;
        if (!folder.LinkTemp((*copy)->folder, name, &temp)) continue;
        // What stands there now is what this run placed, not a file put
        // there since.
        if (folder.IdOf(temp) == file->second && folder.Replace(temp, name, nullptr)) return file->second;
        folder.Remove(temp);
    }
    return std::nullopt;
}

bool PageRuffle::PlaceBeside(const std::string& pagePath, std::string* reason) {
    const std::string path = RuffleFolderBeside(pagePath);
    if (placed_.count(path)) return true;
    std::vector<std::string> names;
    if (!ListCopy(programCopy_, names)) {
        *reason = "the program's Ruffle is missing from \"" + programCopy_ + "\"";
        return false;
    }
    auto copy = std::make_unique<Copy>();
    if (!copy->folder.Open(path, true, reason)) return false;
    bool standsAlone = false;  // some file is not a link to an earlier folder's
    for (const std::string& name : names) {
        std::optional<FileId> id = LinkFromCopies(copy->folder, name);
        if (!id) {
            const std::string from = programCopy_ + "/" + name;
            if (!SameBytes(from, copy->folder, name) &&
                !WriteInPlace(copy->folder, name, [&](OsFile& out) { return CopyInto(out, from); }, reason))
                return false;
            id = copy->folder.IdOf(name);
            standsAlone = true;
        }
        if (id) copy->files[name] = *id;
    }
    placed_.insert(path);
    const std::optional<FileId> here = copy->folder.IdOf(".");
    if (standsAlone && here) {
        // Later folders link to the newest copies; a few are kept open, so
        // that a file system without links does not hold a folder open for
        // every output folder.
        constexpr std::size_t kCopiesKept = 4;
        copy->device = here->device;
        copies_.push_back(std::move(copy));
        if (copies_.size() > kCopiesKept) copies_.erase(copies_.begin());
    }
    return true;
}

bool PageRuffle::CarryMovie(const std::string& swfPath, std::string* reason) {
    OpenFolder ruffle, movies;
    if (!ruffle.Open(RuffleFolderBeside(swfPath), false, reason) || !movies.Open("movies", true, reason, &ruffle))
        return false;
    OsFile in;
    if (!in.OpenForReading(swfPath, reason)) return false;
    return WriteInPlace(
        movies, FileNameOf(swfPath) + ".js",
        [&](OsFile& out) {
            std::string text = "TembrelRuffle.carry(\"" + PercentEncoded(FileNameOf(swfPath)) + "\", \"\", \"";
            std::vector<unsigned char> bytes(kChunk);
            for (;;) {
                const std::int64_t n = ReadFull(in, reinterpret_cast<char*>(bytes.data()), bytes.size());
                if (n < 0) return false;
                AppendBase64(text, bytes.data(), static_cast<std::size_t>(n));
                if (n == 0) text += "\");\n";
                if (!out.Write(text.data(), text.size())) return false;
                if (n == 0) return true;
                text.clear();
            }
        },
        reason);
}

void PageRuffle::ForgetMovie(const std::string& swfPath) {
    OpenFolder ruffle, movies;
    if (ruffle.Open(RuffleFolderBeside(swfPath), false, nullptr) && movies.Open("movies", false, nullptr, &ruffle))
        movies.Remove(FileNameOf(swfPath) + ".js");
}

}  // namespace tembrel
