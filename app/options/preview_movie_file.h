#pragma once
// The movie the options sheet's preview shows: each rebuild goes to a new
// file in the temporary folder, so the view never reads a file being
// rewritten, and the one before it is removed.
#include <string>

namespace tembrel {
class SwfTemplate;
}

namespace tembrel::app {

// Saves the movie under a new unique name in the temporary folder
// ("TBRpreview-*.swf"). Returns the path, or "" (no file left) on failure.
// Safe on any thread.
std::string SavePreviewMovie(const SwfTemplate& movie);

class PreviewMovieFile {
public:
    PreviewMovieFile() = default;
    ~PreviewMovieFile();
    PreviewMovieFile(const PreviewMovieFile&) = delete;
    PreviewMovieFile& operator=(const PreviewMovieFile&) = delete;

    // Takes the file at `path` (from SavePreviewMovie) as the current one
    // and removes the previous.
    void Adopt(const std::string& path);
    const std::string& Path() const { return path_; }
    // Removes the current file.
    void Remove();

private:
    std::string path_;
};

}  // namespace tembrel::app
