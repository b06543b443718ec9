#include "engine/conversion_file_steps.h"

#include <cerrno>

#include "engine/movie_recipe.h"
#include "platform/file_identity.h"
#include "platform/os_file.h"
#include "platform/output_placement.h"
#include "platform/path_parts.h"
#include "platform/temp_files.h"

namespace tembrel {

TempMp3File::TempMp3File(const ConversionSteps& steps) {
    errno = 0;
    if (steps.createTempFile) path_ = steps.createTempFile();
}

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
                     const std::string& mp3Path, ConversionUi* ui, std::string* reason) {
    if (mp3Path.empty()) {
        *reason = TempMp3Failure();
        return false;
    }
    if (!steps.decodeAndEncode) return false;
    settings.EncodedSampleCount = 0;
    settings.DurationSeconds = 0;
    if (!steps.decodeAndEncode(settings, entry.typeCode, entry.sourcePath, mp3Path, ui, reason)) {
        if (reason->empty()) *reason = "the source could not be decoded and encoded";
        return false;
    }
    if (FileSizeAt(mp3Path) > 0) return true;
    *reason = "the encoder wrote no sound";
    return false;
}

std::string TempMp3Failure() {
    const int error = errno;
    return "cannot create a temporary file in \"" + TempFolder() + "\"" +
           (error != 0 ? ": " + ErrorText(error) : std::string());
}

bool BuildFileFromMp3(ConversionSettings& settings, const BuilderChoice& choice, const ConversionSteps& steps,
                      const SourceFileEntry& entry, const std::string& mp3Path, SwfTemplate& tmpl) {
    const SoundMovieRecipe recipe = RecipeFor(settings);
    const SoundMovieFiles files{mp3Path, entry.outputSwfPath, entry.playerSwfPath};
    if (steps.builder) return steps.builder(recipe, files, tmpl);
    return choice.builder && choice.builder(recipe, files, tmpl);
}

FileResult ConvertOneFile(ConversionSettings& settings, const BuilderChoice& choice, const ConversionSteps& steps,
                          SourceFileEntry& entry, SwfTemplate& tmpl, ConversionUi* ui) {
    FileResult result;
    result.status = kStatusConversionFailure;
    if (!steps.nameOutputs || !steps.nameOutputs(settings, entry, &result.status, &result.reason)) return result;
    result.status = kStatusConversionFailure;
    result.reason.clear();
    const TempMp3File mp3(steps);
    if (!EncodeFileToMp3(settings, entry, steps, mp3.Path(), ui, &result.reason)) return result;
    return BuildAndPlaceOutputs(settings, choice, steps, entry, mp3.Path(), tmpl);
}

std::string UnusableTemplateReason(const BuilderChoice& choice) {
    return "the template SWF file \"" + choice.templatePath + "\" " +
           (IsRegularFileAt(choice.templatePath) ? "is not a valid template file" : "is not available");
}

void ReportUnusableTemplate(const BuilderChoice& choice, const std::vector<SourceFileEntry*>& entries,
                            const std::vector<int>& rows, ConversionUi* ui) {
    if (!ui) return;
    const std::string reason = UnusableTemplateReason(choice);
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) ui->SetRowReason(RowOf(rows, i), reason);
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

bool FinishFileRow(ConversionUi& ui, int row, const FileResult& result, const SourceFileEntry& entry,
                   const std::function<bool()>& pump) {
    if (result.succeeded) {
        ui.SetRowStatus(row, FileNameOf(entry.outputSwfPath));
        if (!result.reason.empty()) ui.SetRowReason(row, result.reason);
        return pump();
    }
    // The flag as the last pump left it: the stage pumps while it works.
    if (pump()) {
        ui.SetRowStatus(row, kStatusCancelled);
        ui.SetRowReason(row, "cancelled");
        return true;
    }
    ui.SetRowStatus(row, result.status);
    if (!result.reason.empty()) ui.SetRowReason(row, result.reason);
    return false;
}

void ShowFirstSwf(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries, int stoppedAt,
                  ConversionUi* ui) {
    if (settings.BrowseOutFolder == 0 || !ui) return;
    for (int i = 0; i < stoppedAt && i < static_cast<int>(entries.size()); ++i) {
        const std::string& swf = entries[i]->outputSwfPath;
        if (!swf.empty() && FileExists(swf)) {
            ui->ShowInFileManager(swf);
            return;
        }
    }
}

}  // namespace tembrel
