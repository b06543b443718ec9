#include "engine/file_outputs.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

#include "engine/conversion_file_steps.h"
#include "engine/output_naming.h"
#include "engine/page_text_escaping.h"
#include "engine/page_writer.h"
#include "platform/file_identity.h"
#include "platform/output_placement.h"
#include "platform/path_parts.h"
#include "platform/os_file.h"
#include "swf/sound_swf_builders.h"

namespace tembrel {
namespace {

// A file under a temporary name; removed unless it was moved into place.
class TempOutput {
public:
    TempOutput() = default;
    ~TempOutput() { Discard(); }
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;

    bool Create(const std::string& target, std::string* reason) {
        Discard();
        path_ = CreateTempBeside(target, reason);
        return !path_.empty();
    }
    const std::string& Path() const { return path_; }
    bool Exists() const { return !path_.empty(); }

    // Moves it to target; afterwards it is the caller's file.
    Placement PlaceAt(const std::string& target, bool replace, std::string* reason) {
        const Placement placed = PlaceFile(path_, target, replace, reason);
        if (placed == Placement::Placed) {
            placedAt_ = target;
            path_.clear();
        }
        return placed;
    }
    // Takes back a file placed by this run (its name turned out taken).
    void Unplace() {
        if (placedAt_.empty()) return;
        path_ = CreateTempBeside(placedAt_, nullptr);
        if (path_.empty() || ::rename(placedAt_.c_str(), path_.c_str()) != 0) ::unlink(placedAt_.c_str());
        placedAt_.clear();
    }
    void Discard() {
        if (!path_.empty()) DeleteFileAt(path_);
        path_.clear();
    }

private:
    std::string path_;
    std::string placedAt_;
};

std::string WithReason(const std::string& what, const std::string& reason) {
    return reason.empty() ? what : what + ": " + reason;
}

// The builder names the files it writes, and it writes them under temporary
// names: the user knows them by the names they were to take.
std::string NamingTarget(std::string reason, const TempOutput& temp, const std::string& target) {
    if (!temp.Exists()) return reason;
    for (std::size_t at = reason.find(temp.Path()); at != std::string::npos;
         at = reason.find(temp.Path(), at + target.size()))
        reason.replace(at, temp.Path().size(), target);
    return reason;
}

// The page written for the entry's final names into a temporary file.
bool WritePageBeside(const ConversionSettings& settings, const ConversionSteps& steps, const SourceFileEntry& entry,
                     const PageMovie& movie, TempOutput& page, std::string* reason) {
    if (!page.Create(entry.htmlPath, reason)) return false;
    SourceFileEntry writing = entry;
    writing.htmlPath = page.Path();
    errno = 0;
    if (steps.writePage && steps.writePage(settings, writing, movie)) return true;
    *reason = "cannot write \"" + entry.htmlPath + "\"" + (errno ? ": " + ErrorText(errno) : std::string());
    page.Discard();
    return false;
}

// The Ruffle beside the page and the scripts that carry the file's movies,
// when its page plays with them. Otherwise any carried copy of an earlier
// movie of these names goes, so that no page opened from disk plays that.
// Empty, or why the page cannot play from disk.
std::string PlaceRuffleFor(const ConversionSettings& settings, const SourceFileEntry& entry, bool pageWritten,
                           PageRuffle& ruffle) {
    std::vector<std::string> movies{entry.outputSwfPath};
    if (!entry.playerSwfPath.empty()) movies.push_back(entry.playerSwfPath);
    if (!pageWritten || settings.PageRuffleOpt != kPageRuffleBeside ||
        !PageUsesRuffleBeside(LoadPageTemplate(settings))) {
        for (const std::string& movie : movies) PageRuffle::ForgetMovie(movie);
        return {};
    }
    // The page addresses its movies in UTF-8, and the script that carries
    // a movie is found by that address.
    for (const std::string& movie : movies)
        if (!IsWellFormedUtf8(FileNameOf(movie))) {
            PageRuffle::ForgetMovie(movie);
            return "the name \"" + FileNameOf(movie) + "\" is not UTF-8, and a page can only address UTF-8 names";
        }
    std::string why;
    if (!ruffle.PlaceBeside(entry.htmlPath, &why)) return why;
    for (const std::string& movie : movies)
        if (!PageRuffle::CarryMovie(movie, &why)) return why;
    return {};
}

}  // namespace

FileResult BuildAndPlaceOutputs(const ConversionSettings& settings, const BuilderChoice& choice,
                                const ConversionSteps& steps, SourceFileEntry& entry, const std::string& mp3Path,
                                SwfTemplate& tmpl, const PreparedMovie& movie, const EncodedSound& sound,
                                PageRuffle& ruffle) {
    FileResult result;
    result.status = kStatusConversionFailure;

    TempOutput swf, player;
    if (!swf.Create(entry.outputSwfPath, &result.reason)) return result;
    if (!entry.playerSwfPath.empty() && !player.Create(entry.playerSwfPath, &result.reason)) return result;
    SourceFileEntry building = entry;
    building.outputSwfPath = swf.Path();
    building.playerSwfPath = player.Path();
    if (const BuildResult built = BuildFileFromMp3(settings, choice, steps, building, mp3Path, tmpl, movie, sound);
        !built) {
        result.reason = WithReason("the SWF could not be built",
                                   NamingTarget(NamingTarget(built.reason, swf, entry.outputSwfPath), player,
                                                entry.playerSwfPath));
        return result;
    }

    const bool replace = settings.TargetExistsOpt == kTargetOverwrite;
    // Each pass claims the current names; a name taken meanwhile sends the
    // file back to naming, which renames or skips it as chosen.
    for (int pass = 0; pass < 1000; ++pass) {
        if (replace && (IsSameFile(entry.outputSwfPath, entry.sourcePath) ||
                        IsSameFile(entry.playerSwfPath, entry.sourcePath) ||
                        IsSameFile(entry.htmlPath, entry.sourcePath))) {
            result.status = kStatusTargetIsSource;
            result.reason = "an output name leads to the source file itself";
            return result;
        }
        // In place of an existing player a folder would fail only after the
        // SWF was replaced: refuse before anything moves.
        if (replace && !entry.playerSwfPath.empty() && IsFolderAt(entry.playerSwfPath)) {
            result.reason = "cannot write \"" + entry.playerSwfPath + "\": a folder stands at that name";
            return result;
        }
        std::string pageFailure;
        TempOutput page;
        const bool wantPage = settings.CreateHtmlFile != 0 && !entry.htmlPath.empty();
        const PageMovie pageMovie{movie.width, movie.height, sound.durationSeconds};
        const bool pageReady = !wantPage || WritePageBeside(settings, steps, entry, pageMovie, page, &pageFailure);

        Placement placed = swf.PlaceAt(entry.outputSwfPath, replace, &result.reason);
        if (placed == Placement::Placed && player.Exists()) {
            placed = player.PlaceAt(entry.playerSwfPath, replace, &result.reason);
            if (placed != Placement::Placed) swf.Unplace();
        }
        if (placed == Placement::Failed) return result;
        if (placed == Placement::Placed) {
            const std::string ruffleFailure = PlaceRuffleFor(settings, entry, pageReady && page.Exists(), ruffle);
            if (!pageReady) {
                result.reason = "the page was not written: " + pageFailure;
                entry.htmlPath.clear();
            } else if (page.Exists()) {
                std::string why;
                const Placement pagePlaced = page.PlaceAt(entry.htmlPath, replace, &why);
                if (pagePlaced == Placement::NameTaken) {
                    // Someone else's page appeared at the name: this file
                    // gives the whole name up and is named again.
                    PageRuffle::ForgetMovie(entry.outputSwfPath);
                    if (!entry.playerSwfPath.empty()) PageRuffle::ForgetMovie(entry.playerSwfPath);
                    player.Unplace();
                    swf.Unplace();
                    placed = Placement::NameTaken;
                } else if (pagePlaced == Placement::Failed) {
                    result.reason = "the page was not written: " + why;
                    entry.htmlPath.clear();
                } else if (!ruffleFailure.empty()) {
                    result.reason = "the page cannot play from disk: " + ruffleFailure;
                }
            }
            if (placed == Placement::Placed) {
                result.succeeded = true;
                result.status.clear();
                return result;
            }
        }

        // The name was taken after it was chosen.
        result.reason.clear();
        std::string status, why;
        if (!steps.nameOutputs || !steps.nameOutputs(settings, entry, &status, &why)) {
            result.status = status.empty() ? kStatusConversionFailure : status;
            result.reason = why;
            return result;
        }
    }
    result.reason = "no free name could be claimed";
    return result;
}

}  // namespace tembrel
