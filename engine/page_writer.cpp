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

// Fills placeholders one after the other, each in the template's own text
// only: an occurrence counts when none of its characters belongs to one
// already filled (the text filled in is never searched). Claimed starts are
// kept one bit per character and the page is put together once, so memory
// stays near the template and the page, and time linear in them.
class PlaceholderFiller {
    static constexpr std::size_t kLongestPlaceholder = 16;  // longer than any placeholder

public:
    explicit PlaceholderFiller(const std::string& text) : text_(text), starts_(text.size(), false) {}

    void Fill(const std::string& placeholder, std::string value) {
        fills_.push_back({placeholder, std::move(value)});
        for (std::size_t at = text_.find(placeholder); at != std::string::npos;) {
            if (Unclaimed(at, placeholder.size())) {
                starts_[at] = true;
                at = text_.find(placeholder, at + placeholder.size());
            } else {
                at = text_.find(placeholder, at + 1);
            }
        }
    }

    std::string Page() const {
        std::size_t size = text_.size();
        ForEachClaim([&](std::size_t, const Filling& fill) { size += fill.value.size() - fill.placeholder.size(); });
        std::string page;
        page.reserve(size);
        std::size_t from = 0;
        ForEachClaim([&](std::size_t at, const Filling& fill) {
            page.append(text_, from, at - from);
            page += fill.value;
            from = at + fill.placeholder.size();
        });
        page.append(text_, from, std::string::npos);
        return page;
    }

private:
    struct Filling {
        std::string placeholder, value;
    };

    // No filled occurrence covers any of the characters [at, at + length):
    // one would have to start less than the longest placeholder before.
    bool Unclaimed(std::size_t at, std::size_t length) const {
        const std::size_t first = at >= kLongestPlaceholder ? at - kLongestPlaceholder + 1 : 0;
        for (std::size_t p = first; p < at + length; ++p) {
            if (!starts_[p]) continue;
            const std::size_t end = p + fills_[OwnerAt(p)].placeholder.size();
            if (end > at) return false;
        }
        return true;
    }
    template <typename Visit>
    void ForEachClaim(Visit visit) const {
        for (std::size_t at = 0; at < starts_.size(); ++at)
            if (starts_[at]) visit(at, fills_[OwnerAt(at)]);
    }
    // Which placeholder starts there: none is the beginning of another.
    std::size_t OwnerAt(std::size_t at) const {
        for (std::size_t i = 0; i + 1 < fills_.size(); ++i)
            if (text_.compare(at, fills_[i].placeholder.size(), fills_[i].placeholder) == 0) return i;
        return fills_.size() - 1;
    }

    const std::string& text_;
    std::vector<bool> starts_;
    std::vector<Filling> fills_;
};

bool ContainsTimeInAnyCase(const std::string& text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("time") != std::string::npos;
}

std::string MovieReference(const ConversionSettings& settings, const SourceFileEntry& entry,
                           const std::string& name, std::uint32_t durationSeconds) {
    if (entry.playerSwfPath.empty()) return EscapeForUrl(name);
    std::string reference = EscapeForUrl(FileNameOf(entry.playerSwfPath)) + "?soundswf=" + EscapeSoundSwfForQuery(name) +
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
    PlaceholderFiller page(pageTemplate);
    page.Fill("%T%", EscapeForHtml(name));
    page.Fill("%BKG%", ColourToHex(settings.SWFBkgColor));
    page.Fill("%W%", std::to_string(movie.width));
    page.Fill("%H%", std::to_string(movie.height));
    page.Fill("%SWF%", MovieReference(settings, entry, name, movie.durationSeconds));
    const std::string title = name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
    page.Fill("%SWFNAME%", settings.AddFileNameOnHtml != 0 ? EscapeForHtml(title) : std::string());
    return page.Page();
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
