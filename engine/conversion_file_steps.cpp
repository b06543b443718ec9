#include "engine/conversion_file_steps.h"

#include <cerrno>
#include <new>

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

bool EncodeFileToMp3(const ConversionSettings& settings, const SourceFileEntry& entry, const ConversionSteps& steps,
                     const std::string& mp3Path, ConversionUi* ui, EncodedSound* sound, std::string* reason) {
    *sound = EncodedSound{};
    if (mp3Path.empty()) {
        *reason = TempMp3Failure();
        return false;
    }
    if (!steps.decodeAndEncode) return false;
    if (!steps.decodeAndEncode(settings, entry.typeCode, entry.sourcePath, mp3Path, ui, sound, reason)) {
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

BuildResult BuildFileFromMp3(const ConversionSettings& settings, const BuilderChoice& choice, const ConversionSteps& steps,
                      const SourceFileEntry& entry, const std::string& mp3Path, SwfTemplate& tmpl,
                      const PreparedMovie& movie, const EncodedSound& sound) {
    const SoundMovieRecipe recipe = RecipeFor(settings, movie, sound);
    const SoundMovieFiles files{mp3Path, entry.outputSwfPath, entry.playerSwfPath};
    if (steps.builder) return steps.builder(recipe, files, tmpl);
    return choice.builder ? choice.builder(recipe, files, tmpl) : BuildResult{};
}

std::string ReasonForException(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return kOutOfMemoryReason;
    } catch (const std::exception& other) {
        return std::string("internal error: ") + other.what();
    } catch (...) {
    }
    return "internal error";
}

std::string JoinReasons(const std::string& first, const std::string& second) {
    if (first.empty()) return second;
    if (second.empty()) return first;
    return first + "; " + second;
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

}  // namespace tembrel
