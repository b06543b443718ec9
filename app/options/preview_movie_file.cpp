#include "app/options/preview_movie_file.h"

#include <unistd.h>

#include "platform/temp_files.h"
#include "swf/swf_template.h"

namespace tembrel::app {

std::string SavePreviewMovie(const SwfTemplate& movie) {
    // A name of our own first; SaveTemplate then fills the file. The ".swf"
    // gives the Flash view's server the movie's type.
    const std::string path = CreateUniqueTempFile("TBRpreview-", ".swf");
    if (path.empty()) return {};
    bool saved = false;
    try {
        saved = movie.SaveTemplate(path);
    } catch (...) {
        ::unlink(path.c_str());  // the caller never learns the name
        throw;
    }
    if (!saved) {
        ::unlink(path.c_str());
        return {};
    }
    return path;
}

PreviewMovieFile::~PreviewMovieFile() { Remove(); }

void PreviewMovieFile::Adopt(const std::string& path) {
    if (path == path_) return;
    Remove();
    path_ = path;
}

void PreviewMovieFile::Remove() {
    if (path_.empty()) return;
    ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace tembrel::app
