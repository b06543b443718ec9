#include "engine/conversion_file_steps.h"

#include "platform/os_file.h"
#include "platform/path_parts.h"

namespace tembrel {

TempMp3File::TempMp3File(const ConversionSteps& steps)
    : path_(steps.createTempFile ? steps.createTempFile() : std::string()) {}

TempMp3File& TempMp3File::operator=(TempMp3File&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

void TempMp3File::Remove() {
    if (!path_.empty()) DeleteFileAt(path_);
    path_.clear();
}

bool EncodeFileToMp3(ConversionSettings& settings, const SourceFileEntry& entry, const ConversionSteps& steps,
                     const std::string& mp3Path, ConversionUi* ui) {
    if (mp3Path.empty() || !steps.decodeAndEncode) return false;
    settings.EncodedSampleCount = 0;
    settings.DurationSeconds = 0;
    return steps.decodeAndEncode(settings, entry.typeCode, entry.sourcePath, mp3Path, ui) && FileSizeAt(mp3Path) > 0;
}

bool BuildFileFromMp3(ConversionSettings& settings, const BuilderChoice& choice, const ConversionSteps& steps,
                      const SourceFileEntry& entry, const std::string& mp3Path, SwfTemplate& tmpl) {
    if (steps.builder) return steps.builder(settings, entry, mp3Path, tmpl);
    return choice.builder && choice.builder(settings, entry, mp3Path, tmpl);
}

void ForgetOutputs(SourceFileEntry& entry) {
    entry.outputSwfPath.clear();
    entry.playerSwfPath.clear();
    entry.htmlPath.clear();
}

int RowOf(const std::vector<int>& rows, int index) {
    return index < static_cast<int>(rows.size()) ? rows[index] : index;
}

void BeginRunWindow(ConversionUi& ui, int count) {
    ui.BeginRun(count);
    ui.SetOverallRange(count);
    ui.SetOverallPosition(0);
}

void ShowFileStarting(ConversionUi& ui, int row, int index, int count, const std::string& sourcePath) {
    ui.ShowRow(row);
    ui.SetRowStatus(row, kStatusConverting);
    ui.SetOverallText(OverallProgressText(index + 1, count));
    ui.SetOverallPosition(index + 1);
    ui.SetFileText(FileProgressText(sourcePath, 0));
    ui.SetFilePosition(0);
}

bool FinishFileRow(ConversionUi& ui, int row, bool succeeded, const std::string& failureStatus,
                   const SourceFileEntry& entry, const std::function<bool()>& pump) {
    if (succeeded) {
        ui.SetRowStatus(row, FileNameOf(entry.outputSwfPath));
        return pump();
    }
    // The flag as the last pump left it: the stage pumps while it works.
    if (pump()) {
        ui.SetRowStatus(row, kStatusCancelled);
        return true;
    }
    ui.SetRowStatus(row, failureStatus);
    return false;
}

void ShowFirstSwf(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries, int stoppedAt,
                  ConversionUi* ui) {
    if (settings.BrowseOutFolder != 1 || !ui) return;
    for (int i = 0; i < stoppedAt && i < static_cast<int>(entries.size()); ++i) {
        const std::string& swf = entries[i]->outputSwfPath;
        if (!swf.empty() && FileExists(swf)) {
            ui->ShowInFileManager(swf);
            return;
        }
    }
}

}  // namespace tembrel
