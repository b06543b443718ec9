#pragma once
// The texts a file-list row shows for an entry, and the closing message that
// names the files a batch could not add.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "audio/source_file_entry.h"

namespace tembrel {

// Columns "Files", "Length", "Bit Rate", "Freq.", "Ch." and "SWF" (empty
// when a row is added).
using SourceRowTexts = std::array<std::string, 6>;

// "%02d:%02d" of minutes and seconds (more digits past 99 minutes).
std::string LengthText(std::int32_t durationSeconds);
// "Mono" for 0 or 1 channel, "Stereo" for 2, the count for more.
std::string ChannelsText(std::int32_t channels);
SourceRowTexts RowTextsFor(const SourceFileEntry& entry);

// A file a batch could not add, and why (short, lower-case; may be empty).
struct FailedFile {
    std::string path;
    std::string reason;
};

// Collects the paths a batch failed to add: the message names the first 30,
// then one "<more files>..." line; later ones are only counted there. Every
// failure is also kept with its reason.
class FailedFileList {
public:
    static constexpr std::size_t kNamedFailures = 30;

    void Add(std::string_view path, std::string_view reason = {});
    // Every failed file, in order, including those past the named ones.
    const std::vector<FailedFile>& Files() const { return files_; }
    std::size_t Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    // The collected lines, each ended by "\n".
    const std::string& Names() const { return names_; }
    // The whole message box text.
    std::string MessageText() const;

private:
    std::size_t count_ = 0;
    std::string names_;
    std::vector<FailedFile> files_;
};

// Who to ask for help, named at the end of the failure message.
inline constexpr char kSupportContact[] = "support@tembrel.org";

}  // namespace tembrel
