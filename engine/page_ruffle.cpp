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

bool MakeFolder(const std::string& path, std::string* reason) {
    if (AnythingExistsAt(path) && !IsFolderAt(path)) {
        *reason = "\"" + path + "\" is not a folder";
        return false;
    }
    errno = 0;
    if (EnsureFolder(path)) return true;
    *reason = Failure("cannot make the folder \"" + path + "\"", errno);
    return false;
}

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

bool SameBytes(const std::string& a, const std::string& b) {
    if (!IsRegularFileAt(b)) return false;
    OsFile x, y;
    if (!x.OpenForReading(a) || !y.OpenForReading(b) || x.Size() != y.Size()) return false;
    std::vector<char> p(kChunk), q(kChunk);
    for (;;) {
        const std::int64_t n = ReadFull(x, p.data(), p.size());
        if (n < 0 || ReadFull(y, q.data(), q.size()) != n) return false;
        if (n == 0) return true;
        if (!std::equal(p.begin(), p.begin() + n, q.begin())) return false;
    }
}

// Writes target under a temporary name beside it and renames it in; what
// stood there stays when anything fails.
template <typename Fill>
bool WriteInPlace(const std::string& target, Fill fill, std::string* reason) {
    const std::string temp = CreateTempBeside(target, reason);
    if (temp.empty()) return false;
    OsFile out;
    errno = 0;
    const bool written = out.OpenForUpdate(temp) && fill(out);
    const int error = errno;
    out.Close();
    if (!written) {
        *reason = Failure("cannot write \"" + target + "\"", error);
        DeleteFileAt(temp);
        return false;
    }
    if (PlaceFile(temp, target, true, reason) != Placement::Placed) {
        DeleteFileAt(temp);
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

std::string CarriedMoviePath(const std::string& swfPath) {
    return RuffleFolderBeside(swfPath) + "/movies/" + FileNameOf(swfPath) + ".js";
}

bool PageRuffle::PlaceBeside(const std::string& pagePath, std::string* reason) {
    const std::string folder = RuffleFolderBeside(pagePath);
    if (placed_.count(folder)) return true;
    std::vector<std::string> names;
    if (!ListCopy(programCopy_, names)) {
        *reason = "the program's Ruffle is missing from \"" + programCopy_ + "\"";
        return false;
    }
    if (!MakeFolder(folder, reason)) return false;
    for (const std::string& name : names) {
        const std::string from = programCopy_ + "/" + name, to = folder + "/" + name;
        if (SameBytes(from, to)) continue;
        if (!WriteInPlace(to, [&](OsFile& out) { return CopyInto(out, from); }, reason)) return false;
    }
    placed_.insert(folder);
    return true;
}

bool PageRuffle::CarryMovie(const std::string& swfPath, std::string* reason) {
    const std::string target = CarriedMoviePath(swfPath);
    if (!MakeFolder(FolderOf(target), reason)) return false;
    OsFile in;
    if (!in.OpenForReading(swfPath, reason)) return false;
    return WriteInPlace(
        target,
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
    const std::string carried = CarriedMoviePath(swfPath);
    if (AnythingExistsAt(carried)) DeleteFileAt(carried);
}

}  // namespace tembrel
