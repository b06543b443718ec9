#include "engine/page_writer.h"

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <vector>

#include "engine/page_text_escaping.h"
#include "platform/path_parts.h"
#include "platform/file_identity.h"
#include "platform/os_file.h"
#include "platform/output_placement.h"

namespace tembrel {
namespace {

constexpr char kFlashCabinetAddress[] = "https://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab";
constexpr char kFlashPlayerPage[] = "https://ruffle.rs/";

// Page text as pieces: template text, where placeholders are looked for, and
// text already filled in, which is never searched again.
struct Piece {
    std::string text;
    bool filled;
};

void ReplaceAll(std::vector<Piece>& pieces, const std::string& placeholder, const std::string& value) {
    std::vector<Piece> out;
    for (Piece& piece : pieces) {
        if (piece.filled) {
            out.push_back(std::move(piece));
            continue;
        }
        std::size_t from = 0;
        for (std::size_t at; (at = piece.text.find(placeholder, from)) != std::string::npos;
             from = at + placeholder.size()) {
            out.push_back({piece.text.substr(from, at - from), false});
            out.push_back({value, true});
        }
        out.push_back({piece.text.substr(from), false});
    }
    pieces = std::move(out);
}

bool ContainsTimeInAnyCase(const std::string& text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("time") != std::string::npos;
}

std::string MovieReference(const ConversionSettings& settings, const SourceFileEntry& entry,
                           const std::string& name, std::uint32_t durationSeconds) {
    if (entry.playerSwfPath.empty()) return EscapeForUrl(name);
    std::string reference = EscapeForUrl(FileNameOf(entry.playerSwfPath)) + "?soundswf=" + EscapeForUrl(name) +
                            "&autoplay=" + std::to_string(settings.SWFInitPlay) +
                            "&loops=" + std::to_string(settings.SWFLoopPlay);
    // Players made for it show the time, and need the length to do so.
    if (ContainsTimeInAnyCase(settings.ShellPlayerSWF))
        reference += "&duration=" + std::to_string(durationSeconds);
    return reference;
}

}  // namespace

const std::string& BuiltInPageTemplate() {
    static const std::string page = std::string() +
        "<HTML><HEAD><TITLE>%T%</TITLE></HEAD>\r\n"
        "<BODY bgcolor=\"#FFFFFF\">\r\n"
        "\r\n"
        "<OBJECT classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" codebase=\"" + kFlashCabinetAddress +
        "#version=6,0,0,0\" WIDTH=\"%W%\" HEIGHT=\"%H%\">\r\n"
        " <PARAM NAME=\"movie\" VALUE=\"%SWF%\">\r\n"
        " <PARAM NAME=\"quality\" VALUE=\"high\">\r\n"
        " <PARAM NAME=\"bgcolor\" VALUE=\"%BKG%\">\r\n"
        " <EMBED src=\"%SWF%\" quality=\"high\" bgcolor=\"%BKG%\" WIDTH=\"%W%\" HEIGHT=\"%H%\" "
        "TYPE=\"application/x-shockwave-flash\" PLUGINSPAGE=\"" + kFlashPlayerPage + "\"></EMBED>\r\n"
        "</OBJECT>\r\n"
        "%SWFNAME%\r\n"
        "\r\n"
        "\r\n"
        "</BODY></HTML>\r\n";
    return page;
}

std::string LoadPageTemplate(const ConversionSettings& settings) {
    OsFile file;
    if (!file.OpenForReading(settings.PageTemplatePath)) return BuiltInPageTemplate();
    const std::int64_t size = file.Size();
    if (size < 0) return BuiltInPageTemplate();
    std::string text(static_cast<std::size_t>(size), '\0');
    if (file.Read(text.data(), text.size()) != size) return BuiltInPageTemplate();
    return text;
}

std::string FillPageTemplate(const std::string& pageTemplate, const ConversionSettings& settings,
                             const SourceFileEntry& entry, const PageMovie& movie) {
    const std::string name = FileNameOf(entry.outputSwfPath);
    std::vector<Piece> pieces{{pageTemplate, false}};
    ReplaceAll(pieces, "%T%", EscapeForHtml(name));
    ReplaceAll(pieces, "%BKG%", ColourToHex(settings.SWFBkgColor));
    ReplaceAll(pieces, "%W%", std::to_string(movie.width));
    ReplaceAll(pieces, "%H%", std::to_string(movie.height));
    ReplaceAll(pieces, "%SWF%", MovieReference(settings, entry, name, movie.durationSeconds));
    const std::string title = name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
    ReplaceAll(pieces, "%SWFNAME%", settings.AddFileNameOnHtml != 0 ? EscapeForHtml(title) : std::string());
    std::string page;
    for (const Piece& piece : pieces) page += piece.text;
    return page;
}

bool WritePage(const ConversionSettings& settings, const SourceFileEntry& entry, const PageMovie& movie) {
    if (entry.htmlPath.empty() || IsSameFile(entry.htmlPath, entry.sourcePath)) return false;
    // Written beside and moved in whole: a link at the name is replaced,
    // never written through, and a failed write leaves the old page.
    const std::string temp = CreateTempBeside(entry.htmlPath, nullptr);
    if (temp.empty()) return false;
    SourceFileEntry writing = entry;
    writing.htmlPath = temp;
    const bool written = WritePageInto(settings, writing, movie) &&
                         PlaceFile(temp, entry.htmlPath, true, nullptr) == Placement::Placed;
    if (!written) {
        const int error = errno;
        DeleteFileAt(temp);
        errno = error;
    }
    return written;
}

bool WritePageInto(const ConversionSettings& settings, const SourceFileEntry& entry, const PageMovie& movie) {
    const std::string page = FillPageTemplate(LoadPageTemplate(settings), settings, entry, movie);
    OsFile file;
    return file.OpenForUpdate(entry.htmlPath) && file.Write(page.data(), page.size());
}

}  // namespace tembrel
