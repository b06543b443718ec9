#pragma once
// The movie the options sheet's preview shows: each rebuild goes to a new
// file in the temporary folder, so the view never reads a file being
// rewritten, and the one before it is removed.
#include <string>

namespace tembrel {
class SwfTemplate;
}

namespace tembrel::app {

class PreviewMovieFile {
public:
    PreviewMovieFile() = default;
    ~PreviewMovieFile();
    PreviewMovieFile(const PreviewMovieFile&) = delete;
    PreviewMovieFile& operator=(const PreviewMovieFile&) = delete;

    // Saves the template under a new unique name and removes the previous
    // file. Returns the new path, or "" (the previous file kept) on failure.
    std::string Write(const SwfTemplate& movie);
    const std::string& Path() const { return path_; }
    // Removes the current file.
    void Remove();

private:
    std::string path_;
};

}  // namespace tembrel::app
