#pragma once
// What a conversion job tells its front end, and what it comes to. Events
// arrive on an engine thread, one at a time and in order; each front end
// carries them to its own thread (the terminal prints them, a window posts
// them as queued signals). The engine composes every text; front ends show
// them and never build them.
#include <cstdint>
#include <string>

#include "engine/conversion_ui.h"

namespace tembrel {

// How one file of a run ended.
struct FileOutcome {
    enum class Kind {
        NotReached,  // the run ended before this file
        Converted,
        Refused,     // naming refused it (exists and skipped, same as the source, ...)
        Failed,
        Cancelled,
    };
    Kind kind = Kind::NotReached;
    std::string status;  // the row's "SWF" column: the SWF's name or the failure text
    std::string swfPath, playerPath, pagePath;
    std::string reason;  // why it failed; for a converted file, what went wrong beside it
    std::uint32_t sampleCount = 0;      // samples per channel of the encoded sound
    std::uint32_t durationSeconds = 0;  // whole seconds of the encoded sound
    std::int64_t movieBytes = 0;        // size of the SWF written
    std::int32_t movieWidth = 0;        // its stage in pixels
    std::int32_t movieHeight = 0;
};

// The counts at the end of a run.
struct RunSummary {
    int files = 0;
    int converted = 0;
    int failed = 0;  // refused, failed or cancelled
    bool cancelled = false;
    bool templateRefused = false;  // the run ended before its first file
};

class ConversionEventSink {
public:
    virtual ~ConversionEventSink() = default;

    virtual void RunStarted(int /*fileCount*/) {}
    // File `index` (list order) is the one the run now waits for, with the
    // overall text "Converting %d of %d file(s) into SWF..." and the first
    // per-file text.
    virtual void FileStarted(int /*index*/, const std::string& /*overallText*/, const std::string& /*fileText*/) {}
    // Progress of the file the run waits for: per mille and its text.
    virtual void FileProgress(int /*index*/, int /*perMille*/, const std::string& /*fileText*/) {}
    virtual void FileFinished(int /*index*/, const FileOutcome& /*outcome*/) {}
    // A message box of the program's; blocks only the engine until the
    // front end answers. True for "Yes" or when simply dismissed.
    virtual bool Message(const std::string& /*text*/, MessageIcon /*icon*/) { return true; }
    // The run asks to show this SWF in the file manager.
    virtual void RevealFile(const std::string& /*path*/) {}
    virtual void RunFinished(const RunSummary& /*summary*/) {}
    // True when the front end can also be told of events on the thread
    // that starts the run, while that thread works on it: the run may then
    // be done there when no thread of its own can be started.
    virtual bool TakesEventsOnStartingThread() const { return false; }
};

}  // namespace tembrel
