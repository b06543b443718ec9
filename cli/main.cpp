// tembrel-convert: converts sound files and folders into SWF movies with the
// stored settings, changed for this run by options. Never writes the store.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "audio/bass_audio_source.h"
#include "audio/source_file_list.h"
#include "audio/source_scan.h"
#include "cli/cli_options.h"
#include "cli/input_list.h"
#include "cli/json_text.h"
#include "cli/terminal_ui.h"
#include "engine/conversion_driver.h"
#include "engine/job_ui_bridge.h"
#include "engine/parallel_conversion.h"
#include "engine/settings_persistence.h"
#include "platform/qt_settings_store.h"

namespace {

using namespace tembrel;

constexpr char kVersionText[] = "tembrel-convert (Tembrel v3.0 build 968)\n";

int BadUsage(const std::string& message) {
    std::fprintf(stderr, "tembrel-convert: %s\nTry 'tembrel-convert --help'.\n", message.c_str());
    return 2;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Folders are searched; named files are taken as they are (a file named on
// purpose is probed whatever its extension).
// Relative names are taken from the current folder, so that output naming
// (mirrored folders among them) sees full paths as the file list holds them.
std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    std::string folder = cwd;
    if (folder.back() != '/') folder += '/';
    return folder + (path.rfind("./", 0) == 0 ? path.substr(2) : path);
}

std::vector<std::string> CollectInputs(const std::vector<std::string>& inputs) {
    std::vector<std::string> paths;
    for (const std::string& given : inputs) {
        const std::string input = Absolute(given);
        if (IsFolder(input))
            ScanFolder(paths, input);
        else
            paths.push_back(input);
    }
    return paths;
}

// Status of a file that never made it into the list.
constexpr char kStatusFailedToLoad[] = "Failed to load";

// "path: reason" for each file that could not be loaded and says why.
void PrintLoadReasons(const FailedFileList& failed) {
    for (const FailedFile& file : failed.Files())
        if (!file.reason.empty()) std::fprintf(stderr, "%s: %s\n", file.path.c_str(), file.reason.c_str());
}

// The list's rows from what the run made of them, then the files that
// could not be loaded.
void PrintJson(const std::vector<SourceFileEntry*>& entries, const std::vector<FileOutcome>& outcomes,
               const FailedFileList& failed) {
    std::string lines;
    for (std::size_t i = 0; i < entries.size(); ++i)
        lines += cli::OutcomeJsonLine(entries[i]->sourcePath, i < outcomes.size() ? outcomes[i] : FileOutcome{});
    for (const FailedFile& file : failed.Files())
        lines += cli::JsonLine(file.path, kStatusFailedToLoad, "", "", "", file.reason);
    std::fputs(lines.c_str(), stdout);
}

int Convert(int argc, char** argv) {
    cli::CliOptions options;
    std::string error;
    if (!cli::ParseCommandLine(argc, argv, options, &error)) return BadUsage(error);
    if (options.help) {
        std::fputs(cli::UsageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(kVersionText, stdout);
        return 0;
    }
    std::vector<std::string> inputs = options.inputs;
    if (!options.filesFrom.empty() && !cli::ReadInputList(options.filesFrom, options.nullSeparated, inputs, &error))
        return BadUsage(error);

    ConversionSettings settings;
    QtSettingsStore store;
    LoadSettings(store, settings);
    settings.BrowseOutFolder = options.browse ? 1 : 0;
    if (!cli::ApplyOverrides(options, settings, &error)) return BadUsage(error);
    if (!settings.SWFSpecifiedFolder.empty()) settings.SWFSpecifiedFolder = Absolute(settings.SWFSpecifiedFolder);

    if (InitAudioDecoding() != AudioDecodingStart::Ready) {
        std::fprintf(stderr, "%s: %s\n", cli::kCaption, kAudioDecodingInitFailedMessage);
        return 1;
    }
    const bool tty = ::isatty(STDERR_FILENO) != 0;
    cli::InstallCancelOnInterrupt();

    cli::TerminalListUi listUi(tty);
    SourceFileList list(&listUi);
    std::vector<std::string> paths = CollectInputs(inputs);
    // Overwritten names come from the whole list, the files that fail to
    // load among them, so that a shard names its files as one run would.
    const std::vector<std::string> wholeList = paths;
    // The share is taken of the files, folders expanded, so that workers
    // given one folder split its files too.
    const bool sharded = options.shardCount > 0;
    if (sharded) {
        const cli::ShardRange range = cli::ShardOf(paths.size(), options.shardIndex, options.shardCount);
        paths = std::vector<std::string>(paths.begin() + static_cast<std::ptrdiff_t>(range.begin),
                                         paths.begin() + static_cast<std::ptrdiff_t>(range.end));
    }
    const bool emptyShard = sharded && paths.empty();
    const FailedFileList failed = list.LoadSourceFiles(paths);
    PrintLoadReasons(failed);

    if (options.probe) {
        for (std::size_t row = 0; row < list.Size(); ++row) {
            const SourceRowTexts texts = RowTextsFor(list.Entry(row));
            std::printf("%s\t%s\t%s\t%s\t%s\n", texts[0].c_str(), texts[1].c_str(), texts[2].c_str(),
                        texts[3].c_str(), texts[4].c_str());
        }
        ShutdownAudioDecoding();
        return failed.Empty() ? 0 : 1;
    }

    std::vector<SourceFileEntry*> entries;
    std::vector<int> rows;
    for (std::size_t row = 0; row < list.Size(); ++row) {
        entries.push_back(&list.Entry(row));
        rows.push_back(static_cast<int>(row));
    }
    int converted = 0;
    std::vector<FileOutcome> outcomes;
    cli::TerminalConversionUi ui(entries, tty, options.json, options.browse);
    const int jobs = options.jobs > 0 ? options.jobs : DefaultJobCount();
    if (!entries.empty() && !cli::InterruptRequested())
        converted = RunConversionJob(settings, entries, rows, &ui, jobs, StandardConversionSteps(), &outcomes,
                                     wholeList);
    if (options.json) PrintJson(entries, outcomes, failed);
    ShutdownAudioDecoding();

    // A converted file with a reason beside it (its page not written) is
    // not a full success either.
    // A shard left empty (more workers than files) has done its part.
    const bool allConverted = failed.Empty() && (!entries.empty() || emptyShard) &&
                              converted == static_cast<int>(entries.size());
    return allConverted && !ui.AnyReason() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // The run catches running out of memory for each file and for its
    // template; anything left (listing, printing) still ends with a reason
    // and the failure status rather than an abort.
    try {
        return Convert(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("tembrel-convert: out of memory\n", stderr);
        return 1;
    }
}
