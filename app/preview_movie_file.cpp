#include "app/preview_movie_file.h"

#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/temp_files.h"
#include "swf/swf_template.h"

namespace tembrel::app {

PreviewMovieFile::~PreviewMovieFile() { Remove(); }

std::string PreviewMovieFile::Write(const SwfTemplate& movie) {
    const std::string pattern = TempFolder() + "TBRpreview-XXXXXX.swf";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // Claims the name; SaveTemplate then fills the file.
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) return {};
    ::close(fd);
    const std::string path(name.data());
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
