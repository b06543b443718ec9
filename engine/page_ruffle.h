#pragma once
// The Ruffle that plays a page's movie, put beside the pages: one folder
// (kPageRuffleFolderName) per output folder, a copy of the program's own.
// Opened from disk a page may load scripts but may not fetch, so beside
// Ruffle each movie's bytes are kept in a script too (movies/<name>.js),
// which the page reads instead of the SWF when it comes from disk.
#include <set>
#include <string>

namespace tembrel {

// Whether a page from this template plays with the Ruffle beside it (the
// shipped template does); the built-in page or a user's own template needs
// nothing beside it.
bool PageUsesRuffleBeside(const std::string& pageTemplate);

// The script that carries the bytes of the SWF at swfPath: in the Ruffle
// folder beside it, under movies/.
std::string CarriedMoviePath(const std::string& swfPath);

// One run's copies of the program's Ruffle: each output folder is brought
// up to date once, however many pages go there.
class PageRuffle {
public:
    // programCopy: the folder of the program's own copy.
    explicit PageRuffle(std::string programCopy) : programCopy_(std::move(programCopy)) {}

    // Makes the Ruffle folder beside the page at pagePath hold the
    // program's copy. Each file missing there or differing from the
    // program's is written under a temporary name and renamed in; files that
    // are the same are left alone. False with the reason when it cannot.
    bool PlaceBeside(const std::string& pagePath, std::string* reason);

    // Writes the script that carries the bytes of the SWF at swfPath (its
    // Ruffle folder placed already), replacing an older one.
    static bool CarryMovie(const std::string& swfPath, std::string* reason);
    // Removes a script that carries an earlier SWF of that name, so that a
    // page opened from disk cannot play a movie that was replaced.
    static void ForgetMovie(const std::string& swfPath);

private:
    std::string programCopy_;
    std::set<std::string> placed_;  // Ruffle folders brought up to date in this run
};

}  // namespace tembrel
