#pragma once
// The list of source files to convert: each file probed with the source
// selection when it is added, one entry per row.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/source_file_entry.h"
#include "audio/source_list_ui.h"
#include "platform/file_identity.h"

namespace tembrel {

// Opens the file as a conversion would (at rate 0) and takes what the list
// shows from it; nothing when it is not a regular file or no decoder accepts
// it, with the reason in *reason when given.
std::optional<SourceFileEntry> ProbeSourceFile(const std::string& path, std::string* reason = nullptr);

class SourceFileList {
public:
    explicit SourceFileList(SourceListUi* ui = nullptr) : ui_(ui) {}

    // The new row's index; 0 when the same file on disk is listed already
    // (under any name or link); -1 when it cannot be added, with the reason
    // in *reason when given.
    int AddSourceFile(const std::string& path, std::string* reason = nullptr);

    // Appends the entry and its row; returns the row index.
    int InsertSourceRow(std::unique_ptr<SourceFileEntry> entry);

    // Adds the paths one by one with progress, stops early on Cancel, and
    // names the files that could not be added in one closing message.
    // Returns the paths that failed, each with its reason.
    FailedFileList LoadSourceFiles(const std::vector<std::string>& paths);

    std::size_t Size() const { return entries_.size(); }
    SourceFileEntry& Entry(std::size_t row) { return *entries_[row]; }
    const SourceFileEntry& Entry(std::size_t row) const { return *entries_[row]; }
    void Clear() {
        entries_.clear();
        fileIds_.clear();
    }

private:
    SourceListUi* ui_;
    std::vector<std::unique_ptr<SourceFileEntry>> entries_;
    // The file each entry's source was when it was added, for duplicates.
    std::vector<std::optional<FileId>> fileIds_;
};

// "[%d/%d] Adding file %s..." for the progress window.
std::string AddingFileText(std::size_t number, std::size_t count, const std::string& path);

}  // namespace tembrel
