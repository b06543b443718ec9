#include "cli/cli_options.h"

#include <charconv>
#include <set>

#include "cli/input_list.h"

namespace tembrel::cli {
namespace {

// Options that take a value, and those that stand alone.
const std::set<std::string> kValued = {
    "--out",    "--exists", "--controls", "--shell-player", "--bitrate",     "--rate",      "--channels",
    "--fps",    "--blank-frames", "--volume", "--skip-first", "--skip-last", "--duration", "--button-color",
    "--background", "--page-ruffle"};
const std::set<std::string> kFlags = {"--mirror", "--folder-per-file", "--same-folder", "--no-controls", "--stream",
                                      "--event",  "--auto",            "--autoplay",    "--no-autoplay", "--loop",
                                      "--no-loop", "--html",           "--no-html",     "--documents-fallback"};
// Valued options that name a file or folder: an empty name is a slip (an
// unset shell variable), never a wish.
const std::set<std::string> kPathValued = {"--out", "--controls", "--shell-player"};

// More threads than this only add memory and temporary files.
constexpr int kMaxJobs = 256;

bool ParseInt(const std::string& text, int low, int high, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

// "RRGGBB" (an optional leading "#") to the in-memory 0x00BBGGRR layout.
bool ParseColour(std::string text, ColourRef& colour) {
    if (!text.empty() && text[0] == '#') text.erase(0, 1);
    if (text.size() != 6) return false;
    unsigned rgb = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + 6, rgb, 16);
    if (ec != std::errc() || ptr != text.data() + 6) return false;
    colour = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    return true;
}

}  // namespace

std::string UsageText() {
    return "Usage: tembrel-convert [options] FILE|FOLDER...\n"
           "   or: tembrel-convert [options] --files-from LIST [--null] [--shard K/N]\n"
           "Converts sound files (folders are searched recursively) into SWF movies with the\n"
           "stored Tembrel settings, changed for this run by the options below.\n"
           "\n"
           "Output:\n"
           "  --out DIR             write into DIR (a custom folder); a file that cannot be\n"
           "                        written there fails\n"
           "  --documents-fallback  write into the Documents folder when the output folder\n"
           "                        cannot be written\n"
           "  --mirror              with --out: rebuild each source's folder path below DIR\n"
           "  --folder-per-file     one folder per source, named after it\n"
           "  --same-folder         beside each source\n"
           "  --exists rename|overwrite|skip   when the SWF exists already (overwrite never\n"
           "                        replaces a file this run wrote: the later file is renamed)\n"
           "  --[no-]html           write an HTML page beside each SWF\n"
           "  --page-ruffle beside|web   the page plays with Ruffle put beside it (default:\n"
           "                        plays offline and from disk) or with Ruffle from the web\n"
           "Movie:\n"
           "  --no-controls         a bare sound SWF; with --stream (default) or --event\n"
           "  --controls TEMPLATE   a player built from this control template\n"
           "  --shell-player TEMPLATE  a 1x1 sound SWF plus this shell player\n"
           "  --fps N  --blank-frames N  --[no-]autoplay  --[no-]loop\n"
           "  --button-color RRGGBB  --background RRGGBB\n"
           "Sound:\n"
           "  --auto                choose rate and bit rate from the source\n"
           "  --bitrate KBPS  --rate 11025|22050|44100  --channels 1|2\n"
           "  --volume PERCENT  --skip-first MS  --skip-last MS  --duration MS\n"
           "Other:\n"
           "  --probe               print each file's length, bit rate, frequency and channels\n"
           "  --json                one JSON object per file: source, status, swf, page, player,\n"
           "                        reason (and sourceBytes, the name's bytes in base64, when\n"
           "                        it is not UTF-8)\n"
           "  --browse              show the first SWF in the file manager afterwards\n"
           "  --jobs N              convert N files at once (default: one per processor);\n"
           "                        the outputs are those of a one-at-a-time run\n"
           "  --help, --version\n"
           "Many files, many machines:\n"
           "  --files-from LIST     also convert the files and folders named in LIST, one a\n"
           "                        line (\"-\": standard input)\n"
           "  --null                the names in LIST end in NUL, as find -print0 writes them\n"
           "  --shard K/N           convert only the K-th of N equal parts of the whole list of\n"
           "                        files, in list order (K from 1 to N); a link to a file\n"
           "                        listed before it is skipped in every share alike\n"
           "  --list-files          print the files the inputs stand for (folders searched),\n"
           "                        each followed by a NUL, and convert nothing: a list\n"
           "                        that stays the same while folders change\n"
           "\n"
           "Each file is first decoded into the temporary folder ($TMPDIR, else /tmp): it\n"
           "needs 2 bytes per sample and channel there (about 635 MB per hour of 44.1 kHz\n"
           "stereo); a file whose listed length needs more than is free there fails at once.\n"
           "A length is never taken for more than the file's bytes can hold, and one left\n"
           "open in the header (as a writer to a pipe leaves it) declares nothing.\n"
           "\n"
           "At the system's limits: threads that cannot be started (ulimit -u, ulimit -v)\n"
           "mean fewer files at once, down to converting on the main thread; every thread\n"
           "has an 8 MB stack whatever ulimit -s says. Past a file-size limit (ulimit -f)\n"
           "the file, page or Ruffle copy it stops fails with a reason and the run goes on.\n"
           "\n"
           "A picture too large for the memory there is stays out of the movies, each file\n"
           "saying so; memory that runs out elsewhere fails the file (\"out of memory\"), or\n"
           "every file when it runs out preparing the template.\n"
           "\n"
           "Exit status: 0 when every file converted, 1 when any failed or had a problem\n"
           "(its page not written, for one), 2 for bad usage, 128 + the signal's number\n"
           "when SIGINT, SIGTERM, SIGHUP or SIGPIPE cut the run short (after its\n"
           "temporary files are removed).\n";
}

bool ParseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string* error) {
    bool onlyInputs = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.empty()) {
            // Would stand for the current folder, searched as a whole.
            *error = "empty file or folder name";
            return false;
        }
        if (onlyInputs || arg[0] != '-' || arg == "-") {
            options.inputs.push_back(arg);
        } else if (arg == "--") {
            onlyInputs = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--probe") {
            options.probe = true;
        } else if (arg == "--list-files") {
            options.listFiles = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--browse") {
            options.browse = true;
        } else if (arg == "--jobs") {
            if (i + 1 >= argc) {
                *error = "option --jobs needs a value";
                return false;
            }
            const std::string value = argv[++i];
            if (!ParseInt(value, 1, kMaxJobs, options.jobs)) {
                *error = "bad value \"" + value + "\" for --jobs (expected 1 to " + std::to_string(kMaxJobs) + ")";
                return false;
            }
        } else if (arg == "--files-from") {
            if (i + 1 >= argc) {
                *error = "option --files-from needs a value";
                return false;
            }
            if (!options.filesFrom.empty()) {
                *error = "option --files-from given twice";
                return false;
            }
            options.filesFrom = argv[++i];
            if (options.filesFrom.empty()) {
                *error = "empty file name for --files-from";
                return false;
            }
        } else if (arg == "--null") {
            options.nullSeparated = true;
        } else if (arg == "--shard") {
            if (i + 1 >= argc) {
                *error = "option --shard needs a value";
                return false;
            }
            if (options.shardCount > 0) {
                *error = "option --shard given twice";
                return false;
            }
            const std::string value = argv[++i];
            if (!ParseShard(value, options.shardIndex, options.shardCount)) {
                *error = "bad value \"" + value + "\" for --shard (expected K/N, K from 1 to N)";
                return false;
            }
        } else if (kFlags.count(arg)) {
            options.overrides.emplace_back(arg, "");
        } else if (kValued.count(arg)) {
            if (i + 1 >= argc) {
                *error = "option " + arg + " needs a value";
                return false;
            }
            const std::string value = argv[++i];
            if (value.empty() && kPathValued.count(arg)) {
                *error = "empty file or folder name for " + arg;
                return false;
            }
            options.overrides.emplace_back(arg, value);
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    if (options.nullSeparated && options.filesFrom.empty()) {
        *error = "option --null needs --files-from";
        return false;
    }
    if (!options.help && !options.version && options.inputs.empty() && options.filesFrom.empty()) {
        *error = "no file or folder given";
        return false;
    }
    return true;
}

bool ApplyOverrides(const CliOptions& options, ConversionSettings& s, std::string* error) {
    bool namedFolder = false, documentsFallback = false;
    for (const auto& [name, value] : options.overrides) {
        int n = 0;
        auto bad = [&, &name = name, &value = value](const std::string& expected) {
            *error = "bad value \"" + value + "\" for " + name + " (expected " + expected + ")";
            return false;
        };
        if (name == "--out") {
            if (value.empty()) return bad("a folder");
            s.SWFOutputFolderOpt = kOutputCustomFolder;
            s.SWFSpecifiedFolder = value;
            namedFolder = true;
        } else if (name == "--documents-fallback") {
            documentsFallback = true;
        } else if (name == "--mirror") {
            s.CreateDirs = 1;
        } else if (name == "--folder-per-file") {
            s.SWFOutputFolderOpt = kOutputFolderPerFile;
        } else if (name == "--same-folder") {
            s.SWFOutputFolderOpt = kOutputSameFolder;
        } else if (name == "--exists") {
            if (value == "rename") s.TargetExistsOpt = kTargetAutoRename;
            else if (value == "overwrite") s.TargetExistsOpt = kTargetOverwrite;
            else if (value == "skip") s.TargetExistsOpt = kTargetSkip;
            else return bad("rename, overwrite or skip");
        } else if (name == "--page-ruffle") {
            if (value == "beside") s.PageRuffleOpt = kPageRuffleBeside;
            else if (value == "web") s.PageRuffleOpt = kPageRuffleFromWeb;
            else return bad("beside or web");
        } else if (name == "--html" || name == "--no-html") {
            s.CreateHtmlFile = name == "--html";
        } else if (name == "--no-controls") {
            s.CreateCtrlSWF = 0;
        } else if (name == "--stream" || name == "--event") {
            s.SWFSoundType = name == "--stream" ? kSoundStreaming : kSoundEvent;
        } else if (name == "--controls") {
            s.CreateCtrlSWF = 1;
            s.ButtonSWFType = kPlayerSingle;
            s.ControlSWF = value;
        } else if (name == "--shell-player") {
            s.CreateCtrlSWF = 1;
            s.ButtonSWFType = kPlayerWithShell;
            s.ShellPlayerSWF = value;
        } else if (name == "--fps") {
            if (!ParseInt(value, 1, 120, n)) return bad("1 to 120");
            s.SWFFrameRate = n;
        } else if (name == "--blank-frames") {
            if (!ParseInt(value, 0, 1000, n)) return bad("0 to 1000");
            s.BlankFrames = n;
        } else if (name == "--autoplay" || name == "--no-autoplay") {
            s.SWFInitPlay = name == "--autoplay";
        } else if (name == "--loop" || name == "--no-loop") {
            s.SWFLoopPlay = name == "--loop";
        } else if (name == "--button-color" || name == "--background") {
            ColourRef colour = 0;
            if (!ParseColour(value, colour)) return bad("RRGGBB");
            (name == "--background" ? s.SWFBkgColor : s.SWFBtnColor) = colour;
        } else if (name == "--auto") {
            s.AutoDestMP3EncodingParam = 1;
        } else if (name == "--bitrate") {
            if (!ParseInt(value, 8, 320, n)) return bad("8 to 320");
            s.AutoDestMP3EncodingParam = 0;
            s.MP3BitRate = n;
        } else if (name == "--rate") {
            if (!ParseInt(value, 0, 44100, n) || (n != 11025 && n != 22050 && n != 44100))
                return bad("11025, 22050 or 44100");
            s.AutoDestMP3EncodingParam = 0;
            s.MP3SampleRate = n;
        } else if (name == "--channels") {
            if (!ParseInt(value, 1, 2, n)) return bad("1 or 2");
            s.AutoDestMP3EncodingParam = 0;
            s.MP3ChannelNum = n;
        } else if (name == "--volume") {
            if (!ParseInt(value, 10, 3000, n)) return bad("10 to 3000");
            s.ChangeVolume = 1;
            s.VolumeCoef = n;
        } else if (name == "--skip-first") {
            if (!ParseInt(value, 0, 86400000, n)) return bad("milliseconds");
            s.SkipFirstMs = n;
        } else if (name == "--skip-last") {
            if (!ParseInt(value, 0, 86400000, n)) return bad("milliseconds");
            s.SkipLastMs = n;
            s.TrimLastType = 0;
        } else if (name == "--duration") {
            if (!ParseInt(value, 0, 86400000, n)) return bad("milliseconds");
            s.ConvertDuration = n;
            s.TrimLastType = 1;
        }
    }
    // Who names a folder wants the files there or an error, not a copy in
    // Documents they never asked for.
    if (documentsFallback) s.OutputFiles2MyDocuments = 1;
    else if (namedFolder) s.OutputFiles2MyDocuments = 0;
    return true;
}

}  // namespace tembrel::cli
