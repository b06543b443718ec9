// tembrel-convert: converts sound files and folders into SWF movies with the
// stored settings, changed for this run by options. Never writes the store.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <map>
#include <new>
#include <optional>
#include <set>
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
#include "platform/file_identity.h"
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

// Statuses of files that never made it into the list or the run.
constexpr char kStatusFailedToLoad[] = "Failed to load";
constexpr char kStatusDuplicate[] = "Skipped: listed already";
constexpr char kStatusRunCancelled[] = "Not converted: the run was cancelled";

// For each path, the index of the first path before it that leads to the
// same file on disk (a link, another spelling), or -1. Taken over the whole
// list before it is shared out, so that every share skips what one run
// skips; the list itself would skip it silently.
std::vector<std::ptrdiff_t> EarlierSameFile(const std::vector<std::string>& paths) {
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::ptrdiff_t> first;
    std::vector<std::ptrdiff_t> earlier(paths.size(), -1);
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (const std::optional<FileId> id = FileIdAt(paths[i])) {
            const auto [at, added] =
                first.emplace(std::make_pair(id->device, id->inode), static_cast<std::ptrdiff_t>(i));
            if (!added) earlier[i] = at->second;
        }
    return earlier;
}

// "path: reason" for each file that could not be loaded and says why.
void PrintLoadReasons(const FailedFileList& failed) {
    for (const FailedFile& file : failed.Files())
        if (!file.reason.empty()) std::fprintf(stderr, "%s: %s\n", file.path.c_str(), file.reason.c_str());
}

// The list's rows from what the run made of them (a row a cancelled run
// never reached says so), then the files that could not be loaded, then
// the rest of the run's files: each of its paths has its line.
void PrintJson(const std::vector<SourceFileEntry*>& entries, std::vector<FileOutcome> outcomes,
               const FailedFileList& failed, const std::string& otherLines) {
    std::string lines;
    outcomes.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (outcomes[i].kind == FileOutcome::Kind::NotReached && cli::InterruptRequested())
            outcomes[i].status = kStatusRunCancelled;
        lines += cli::OutcomeJsonLine(entries[i]->sourcePath, outcomes[i]);
    }
    for (const FailedFile& file : failed.Files())
        lines += cli::JsonLine(file.path, kStatusFailedToLoad, "", "", "", file.reason);
    std::fputs((lines + otherLines).c_str(), stdout);
}

// Lines of the paths that neither became a row nor failed to load: links
// to a file listed before them, and files a cancelled run never loaded.
std::string UnlistedJsonLines(const std::vector<std::string>& share, const std::vector<std::string>& sameFileAs,
                              const SourceFileList& list, const FailedFileList& failed) {
    std::set<std::string> accounted;
    for (std::size_t row = 0; row < list.Size(); ++row) accounted.insert(list.Entry(row).sourcePath);
    for (const FailedFile& file : failed.Files()) accounted.insert(file.path);
    std::string lines;
    for (std::size_t i = 0; i < share.size(); ++i) {
        if (!sameFileAs[i].empty())
            lines += cli::JsonLine(share[i], kStatusDuplicate, "", "", "",
                                   "the same file as \"" + sameFileAs[i] + "\", listed before it");
        else if (!accounted.count(share[i]))
            lines += cli::JsonLine(share[i], cli::InterruptRequested() ? kStatusRunCancelled : kStatusFailedToLoad,
                                   "", "", "", "");
    }
    return lines;
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
    const cli::ShardRange range =
        sharded ? cli::ShardOf(paths.size(), options.shardIndex, options.shardCount) : cli::ShardRange{0, paths.size()};
    if (options.listFiles) {
        for (std::size_t i = range.begin; i < range.end; ++i)
            std::fwrite(paths[i].c_str(), 1, paths[i].size() + 1, stdout);  // the name and its NUL
        ShutdownAudioDecoding();
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const std::vector<std::ptrdiff_t> earlier = EarlierSameFile(paths);
    std::vector<std::string> share, sameFileAs, toLoad;
    for (std::size_t i = range.begin; i < range.end; ++i) {
        share.push_back(paths[i]);
        sameFileAs.push_back(earlier[i] < 0 ? std::string() : paths[static_cast<std::size_t>(earlier[i])]);
        if (earlier[i] < 0) toLoad.push_back(paths[i]);
    }
    // A share of only links to files of other shares has done its part too.
    const bool emptyShard = sharded && toLoad.empty();
    const FailedFileList failed = list.LoadSourceFiles(toLoad);
    PrintLoadReasons(failed);

    if (options.probe) {
        for (std::size_t row = 0; row < list.Size(); ++row) {
            const SourceRowTexts texts = RowTextsFor(list.Entry(row));
            std::printf("%s\t%s\t%s\t%s\t%s\n", texts[0].c_str(), texts[1].c_str(), texts[2].c_str(),
                        texts[3].c_str(), texts[4].c_str());
        }
        ShutdownAudioDecoding();
        if (cli::InterruptRequested()) return 128 + cli::InterruptSignal();
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
    if (options.json) PrintJson(entries, outcomes, failed, UnlistedJsonLines(share, sameFileAs, list, failed));
    ShutdownAudioDecoding();
    // A run cut short is not a finished one, whatever its files did, so
    // that scripts never take its lines for a whole share.
    if (cli::InterruptRequested()) return 128 + cli::InterruptSignal();

    // A converted file with a reason beside it (its page not written) is
    // not a full success either.
    // A shard left empty (more workers than files) has done its part.
    const bool allConverted = failed.Empty() && (!entries.empty() || emptyShard) &&
                              converted == static_cast<int>(entries.size());
    return allConverted && !ui.AnyReason() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG, and
    // only the file it was for fails, with a reason; the signal would end
    // the run with its temporary files left behind.
    std::signal(SIGXFSZ, SIG_IGN);
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
