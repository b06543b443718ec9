#include "app/preview_movie_file.h"

#include <unistd.h>

#include "platform/temp_files.h"
#include "swf/swf_template.h"

namespace tembrel::app {

PreviewMovieFile::~PreviewMovieFile() { Remove(); }

std::string PreviewMovieFile::Write(const SwfTemplate& movie) {
    // A name of our own first; SaveTemplate then fills the file. The ".swf"
    // gives the Flash view's server the movie's type.
    const std::string path = CreateUniqueTempFile("TBRpreview-", ".swf");
    if (path.empty()) return {};
    if (!movie.SaveTemplate(path)) {
        ::unlink(path.c_str());
        return {};
    }
    Remove();
    path_ = path;
    return path_;
}

void PreviewMovieFile::Remove() {
    if (path_.empty()) return;
    ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace tembrel::app
