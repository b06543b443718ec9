#pragma once
// The pieces of one file's conversion that the one-at-a-time run and the
// parallel run share, so that both make the same files the same way.
#include <functional>
#include <string>
#include <vector>

#include "audio/source_file_entry.h"
#include "engine/conversion_driver.h"
#include "engine/conversion_settings.h"
#include "engine/conversion_ui.h"
#include "engine/file_outputs.h"
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

// The decode-and-encode step into mp3Path with the per-file results of
// settings reset first. True when the MP3 is complete and not empty;
// otherwise false with the reason.
bool EncodeFileToMp3(ConversionSettings& settings, const SourceFileEntry& entry, const ConversionSteps& steps,
                     const std::string& mp3Path, ConversionUi* ui, std::string* reason);

// Why no temporary MP3 could be made (errno as the failed attempt left it).
std::string TempMp3Failure();

// The builder of the run (the steps' own when set) on a finished MP3.
bool BuildFileFromMp3(ConversionSettings& settings, const BuilderChoice& choice, const ConversionSteps& steps,
                      const SourceFileEntry& entry, const std::string& mp3Path, SwfTemplate& tmpl);

// One file of the one-at-a-time run: naming, decode-and-encode into a
// temporary MP3, then the outputs built and placed.
FileResult ConvertOneFile(ConversionSettings& settings, const BuilderChoice& choice, const ConversionSteps& steps,
                          SourceFileEntry& entry, SwfTemplate& tmpl, ConversionUi* ui);

// Why a run's template cannot be used.
std::string UnusableTemplateReason(const BuilderChoice& choice);

// Each row learns why the run ended before it started: its template cannot
// be used (the message has already been shown).
void ReportUnusableTemplate(const BuilderChoice& choice, const std::vector<SourceFileEntry*>& entries,
                            const std::vector<int>& rows, ConversionUi* ui);

// Empties the entry's output paths (a file that did not convert).
void ForgetOutputs(SourceFileEntry& entry);

// The list row of entry `index`: the caller's row number, else the index.
int RowOf(const std::vector<int>& rows, int index);

// The window at the start of a run of `count` files.
void BeginRunWindow(ConversionUi& ui, int count);

// The window as a file (number index + 1 of count) starts.
void ShowFileStarting(ConversionUi& ui, int row, int index, int count, const std::string& sourcePath);

// The row's status (and the reason beside it) once a file has ended, with
// the message pump (`pump` returns the cancel flag) where the one-at-a-time
// run has it. True when Cancel was pressed and the run stops at this file.
bool FinishFileRow(ConversionUi& ui, int row, const FileResult& result, const SourceFileEntry& entry,
                   const std::function<bool()>& pump);

// The file-manager step at the end of a run: the first SWF of the files
// before stoppedAt that exists, when the settings ask for it.
void ShowFirstSwf(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries, int stoppedAt,
                  ConversionUi* ui);

}  // namespace tembrel
