#pragma once
// One conversion run over a list of source files: the builder and template
// chosen from the settings, the template adapted to the user's colours or
// picture, then per file naming, decode-and-encode into a temporary MP3,
// the builder, and the page; progress and outcomes go to a ConversionUi.
#include <functional>
#include <string>
#include <vector>

#include "audio/source_file_entry.h"
#include "engine/colour_factors.h"
#include "engine/conversion_settings.h"
#include "engine/conversion_ui.h"
#include "engine/page_writer.h"
#include "engine/run_results.h"
#include "swf/sound_swf_builders.h"
#include "swf/swf_template.h"

namespace tembrel {

inline constexpr char kStatusConverting[] = "Converting...";
inline constexpr char kStatusConversionFailure[] = "Conversion Failure";
inline constexpr char kStatusCancelled[] = "Cancelled";

// The per-file steps around the builder. StandardConversionSteps() gives the
// program's own; tests put in steps that fail on purpose.
struct ConversionSteps {
    // Sets the entry's output paths, or refuses with a status text and the
    // reason behind it.
    std::function<bool(const ConversionSettings&, SourceFileEntry&, std::string* status, std::string* reason)>
        nameOutputs;
    // Writes the MP3 file (an existing empty file) and what it came to;
    // false on failure or cancel, with the reason.
    std::function<bool(const ConversionSettings&, int typeCode, const std::string& sourcePath,
                       const std::string& mp3Path, ConversionUi* ui, EncodedSound* sound, std::string* reason)>
        decodeAndEncode;
    // Writes the entry's page at its htmlPath (a temporary name beside the
    // page's own); a failure leaves the file converted, with the reason.
    std::function<bool(const ConversionSettings&, const SourceFileEntry&, const PageMovie&)> writePage;
    // A new, empty, uniquely named temporary file ("" when none can be made).
    std::function<std::string()> createTempFile;
    // Replaces the builder ChooseBuilder picks, when set.
    std::function<BuildResult(const SoundMovieRecipe&, const SoundMovieFiles&, SwfTemplate&)> builder;
};

ConversionSteps StandardConversionSteps();

// The builder a run uses, the template it loads, and whether the template's
// action blocks are taken.
struct BuilderChoice {
    SwfBuilder builder = nullptr;
    std::string templatePath;
    bool usesActionBlocks = false;
};
BuilderChoice ChooseBuilder(const ConversionSettings& settings);

// Message texts of a template that cannot be used.
std::string TemplateMissingMessage(const std::string& path);
std::string TemplateInvalidMessage(const std::string& path);
// "Converting %d of %d file(s) into SWF..." and "Converting %s...%d%%".
std::string OverallProgressText(int number, int count);
std::string FileProgressText(const std::string& sourcePath, int percent);

std::string OutOfMemoryMessage(const std::string& templatePath);

// A run's template and what its movies take from it (stage, SWF version,
// action blocks). `checked` once CheckTemplate found it usable: a run given
// a checked template only adapts it.
struct RunTemplate {
    SwfTemplate tmpl;
    PreparedMovie movie;
    bool checked = false;
};

// What checking or preparing a run's template came to.
struct TemplateResult {
    bool usable = false;
    // Why it cannot be used; beside a usable one, what is wrong with it (a
    // picture left out of the movies); "" when nothing is.
    std::string reason;
    // Memory ran out: preparing the template, or embedding its picture.
    bool outOfMemory = false;
    explicit operator bool() const { return usable; }
};

// Loads the chosen template and checks that it holds what the builder needs
// (the action blocks; a timing template's frame-rate place), telling ui when
// it cannot be used. Only the template file is read, not the picture: quick
// enough for a window's own thread.
TemplateResult CheckTemplate(const ConversionSettings& settings, const BuilderChoice& choice, ConversionUi* ui,
                             RunTemplate& run);

// Checks the template unless run holds a checked one, then adapts it to the
// colours or the picture. A failure tells ui; memory that runs out is a
// result, never an exception ("out of memory", or a picture left out).
TemplateResult PrepareTemplate(const ConversionSettings& settings, const BuilderChoice& choice, ConversionUi* ui,
                               RunTemplate& run);
// The same with the gradient and track-bar factors given instead of the
// process's: a preview built on a worker thread takes a copy of them, as the
// sheet goes on editing the process's own meanwhile.
TemplateResult PrepareTemplate(const ConversionSettings& settings, const BuilderChoice& choice,
                               const ColourFactors& factors, ConversionUi* ui, RunTemplate& run);

// Converts the entries in order; rows[i] is the list row of entries[i]. A
// null ui makes the run silent and uncancellable. Each entry's output paths
// stay set when it converted and are emptied when it did not. Returns the
// number of files converted.
int ConvertFiles(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                 const std::vector<int>& rows, ConversionUi* ui,
                 const ConversionSteps& steps = StandardConversionSteps());

}  // namespace tembrel
