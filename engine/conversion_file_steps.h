#pragma once
// The pieces of one file's conversion around the job's threads: its
// temporary MP3, the decode-and-encode step, the builder, and the small
// helpers that show a run in a ConversionUi.
#include <exception>
#include <string>
#include <vector>

#include "audio/source_file_entry.h"
#include "engine/conversion_driver.h"
#include "engine/conversion_settings.h"
#include "engine/conversion_ui.h"
#include "engine/run_results.h"
#include "swf/swf_template.h"

namespace tembrel {

// A file's temporary MP3, made by the steps and deleted whatever ends the
// file ("" when none could be made).
class TempMp3File {
public:
    TempMp3File() = default;
    explicit TempMp3File(const ConversionSteps& steps);
    ~TempMp3File() { Remove(); }
    TempMp3File(TempMp3File&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    TempMp3File& operator=(TempMp3File&& other) noexcept;
    TempMp3File(const TempMp3File&) = delete;
    TempMp3File& operator=(const TempMp3File&) = delete;

    const std::string& Path() const { return path_; }
    void Remove();

private:
    std::string path_;
};

// The decode-and-encode step into mp3Path. True when the MP3 is complete
// and not empty, with *sound describing it; otherwise false with the reason.
bool EncodeFileToMp3(const ConversionSettings& settings, const SourceFileEntry& entry, const ConversionSteps& steps,
                     const std::string& mp3Path, ConversionUi* ui, EncodedSound* sound, std::string* reason);

// Why no temporary MP3 could be made (errno as the failed attempt left it).
std::string TempMp3Failure();

// The builder of the run (the steps' own when set) on a finished MP3,
// writing the files the entry names.
BuildResult BuildFileFromMp3(const ConversionSettings& settings, const BuilderChoice& choice, const ConversionSteps& steps,
                      const SourceFileEntry& entry, const std::string& mp3Path, SwfTemplate& tmpl,
                      const PreparedMovie& movie, const EncodedSound& sound);

// The reason a file or run gets when memory runs out.
inline constexpr char kOutOfMemoryReason[] = "out of memory";

// What an exception caught at a file's or run's edge tells the user:
// "out of memory" for std::bad_alloc, else "internal error: ...".
std::string ReasonForException(std::exception_ptr error);

// "first; second", or whichever of the two is not empty.
std::string JoinReasons(const std::string& first, const std::string& second);

// Empties the entry's output paths (a file that did not convert).
void ForgetOutputs(SourceFileEntry& entry);

// The list row of entry `index`: the caller's row number, else the index.
int RowOf(const std::vector<int>& rows, int index);

// The window at the start of a run of `count` files.
void BeginRunWindow(ConversionUi& ui, int count);

}  // namespace tembrel
