#pragma once
// The Ruffle that plays a page's movie, put beside the pages: one folder
// (kPageRuffleFolderName) per output folder, holding the program's copy.
// Every such folder of a run is a set of hard links to one copy on each file
// system, so a tree of many folders holds Ruffle's bytes once, and a folder
// copied elsewhere on its own still carries all of it. Opened from disk a
// page may load scripts but may not fetch, so beside Ruffle each movie's
// bytes are kept in a script too (movies/<name>.js), which the page reads
// instead of the SWF when it comes from disk. A link standing at the Ruffle
// folder's name or at movies/ is not ours: nothing goes through it.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/open_folder.h"

namespace tembrel {

// Whether a page from this template plays with the Ruffle beside it (the
// shipped template does); the built-in page or a user's own template needs
// nothing beside it.
bool PageUsesRuffleBeside(const std::string& pageTemplate);

// One run's copies of the program's Ruffle: each output folder is brought
// up to date once, however many pages go there. Used by the one thread that
// places the run's files, in list order, however many encode.
class PageRuffle {
public:
    // programCopy: the folder of the program's own copy.
    explicit PageRuffle(std::string programCopy);
    ~PageRuffle();

    // Makes the Ruffle folder beside the page at pagePath hold the
    // program's copy. Each file there becomes a link to the same file of a
    // folder this run placed earlier on that file system; where no link can
    // be made (another file system, one without links, a file linked too
    // often) an identical file stays and any other is copied from the
    // program's. Everything is made under a temporary name and renamed in,
    // so no file, linked or not, is ever changed in place. False with the
    // reason when it cannot.
    bool PlaceBeside(const std::string& pagePath, std::string* reason);

    // Writes the script that carries the bytes of the SWF at swfPath (its
    // Ruffle folder placed already), replacing an older one.
    static bool CarryMovie(const std::string& swfPath, std::string* reason);
    // Removes a script that carries an earlier SWF of that name, so that a
    // page opened from disk cannot play a movie that was replaced.
    static void ForgetMovie(const std::string& swfPath);

private:
    struct Copy;  // a Ruffle folder of this run that later folders link to

    std::optional<FileId> LinkFromCopies(const OpenFolder& folder, const std::string& name);

    std::string programCopy_;
    std::set<std::string> placed_;  // Ruffle folders brought up to date in this run
    std::vector<std::unique_ptr<Copy>> copies_;  // newest last
};

}  // namespace tembrel
