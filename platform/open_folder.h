#pragma once
// A folder held open by descriptor. Names inside it are reached through the
// folder that was opened, so a link put at the folder's name later cannot
// lead anything elsewhere, and a link standing at its name is refused when
// it is opened: what the link leads to is not ours to write to.
#include <optional>
#include <string>

#include "platform/file_identity.h"

namespace tembrel {

class OpenFolder {
public:
    OpenFolder() = default;
    ~OpenFolder() { Close(); }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    OpenFolder(OpenFolder&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }
    OpenFolder& operator=(OpenFolder&& other) noexcept;

    // Opens the folder at path (inside parent when given, path then being a
    // name there), making it first with create when nothing stands there.
    // False with the reason when it is missing, is not a folder or is a link.
    bool Open(const std::string& path, bool create, std::string* reason, const OpenFolder* parent = nullptr);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    int Descriptor() const { return fd_; }

    // The file or link standing at name, not followed.
    std::optional<FileId> IdOf(const std::string& name) const;
    // A regular file at name (a link there is not one) opened for reading;
    // -1 when there is none.
    int OpenFileForReading(const std::string& name) const;
    // A new, empty file under a unique temporary name "TBRxxxxxx.tmp", open
    // for writing (the descriptor is the caller's); -1 with the reason.
    int CreateTemp(std::string* name, std::string* reason) const;
    // A new hard link to from's file fromName under a unique temporary name;
    // false with errno set when no link can be made there.
    bool LinkTemp(const OpenFolder& from, const std::string& fromName, std::string* name) const;
    // Renames temp over name, replacing what stood there (a link included,
    // never written through). False with the reason.
    bool Replace(const std::string& temp, const std::string& name, std::string* reason) const;
    // Removes the file or link at name; true when nothing stands there now.
    bool Remove(const std::string& name) const;

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace tembrel
