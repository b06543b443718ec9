#pragma once
// A conversion run as a background job that a window and the command line
// both drive: options go in checked and const, events come out on engine
// threads, outcomes come back. One path serves one file at a time and N at
// once: files are named in list order before they are encoded (so a skipped
// file is never decoded), encoded on worker threads, then built and placed
// in list order, so names, files and statuses are those of a one-at-a-time
// run whatever the number of jobs.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "audio/source_file_entry.h"
#include "engine/conversion_driver.h"
#include "engine/conversion_events.h"
#include "engine/conversion_settings.h"
#include "engine/run_results.h"
#include "platform/bounded_thread.h"

namespace tembrel {

class ConversionJob {
public:
    ConversionJob(const ConversionSettings& options, std::vector<SourceFileEntry> entries,
                  ConversionSteps steps = StandardConversionSteps());
    // Cancels a run still going and waits for it.
    ~ConversionJob();
    ConversionJob(const ConversionJob&) = delete;
    ConversionJob& operator=(const ConversionJob&) = delete;

    // The entries are a share of this longer list, in its order (a shard of
    // a cluster's list): overwriting names them as a run over the whole list
    // would. Without it they are named as a list of their own. Before Start.
    void NameWithinList(std::vector<std::string> list) { namingList_ = std::move(list); }

    // Starts the run on the engine's own threads with up to `jobs` files
    // encoded at once (at least 1). sink must outlive the run. Once only.
    // Threads the system will not start mean fewer jobs, down to none
    // beside the run's own. When not even that one starts, a sink that
    // takes events on the calling thread has the run there, before Start
    // returns; for any other every file fails with the limit named.
    void Start(ConversionEventSink& sink, int jobs);
    // As the Cancel button: the file in work is dropped, the files before
    // it stay. Safe from any thread, the sink's calls included.
    void Cancel();
    // Waits for the end of the run (RunFinished has been delivered).
    void Wait();
    // The run's template as the caller checked it (CheckTemplate, with these
    // options): the run adapts it instead of loading and checking its own.
    // Before Start.
    void UseCheckedTemplate(RunTemplate checked) { template_ = std::move(checked); }

    // After Wait: each file's outcome and entry (output paths set or
    // emptied), in list order, and the counts.
    const std::vector<FileOutcome>& Outcomes() const { return outcomes_; }
    const std::vector<SourceFileEntry>& Entries() const { return entries_; }
    const RunSummary& Summary() const { return summary_; }
    // What the run took from its template (the movie's size, version and
    // action blocks), and the last converted file's duration (a shell player
    // is told it when the movie is previewed).
    const PreparedMovie& Movie() const { return movie_; }
    std::uint32_t LastDurationSeconds() const { return lastDurationSeconds_; }

private:
    struct FileWork;
    class StageUi;

    void Run(std::stop_token stop, ConversionEventSink& sink, int jobs);
    void FailEveryFile(ConversionEventSink& sink, const std::string& reason);
    void Encode(std::stop_token stop);
    void EncodeNext(std::unique_lock<std::mutex>& lock, std::stop_token stop);
    void Emit(const std::function<void()>& call);
    void NumberNamesWithinList();

    const ConversionSettings options_;
    RunTemplate template_;
    PreparedMovie movie_;
    std::uint32_t lastDurationSeconds_ = 0;
    std::vector<SourceFileEntry> entries_;
    std::vector<std::string> namingList_;
    const ConversionSteps steps_;
    std::vector<FileOutcome> outcomes_;
    RunSummary summary_;

    // Shared by the run's threads.
    std::mutex stateLock_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<FileWork>> files_;
    std::vector<int> toEncode_;  // named files waiting for a worker, in list order
    std::size_t nextToEncode_ = 0;
    int front_ = -1;             // the file the run waits for
    bool workersStop_ = false;
    std::stop_source stop_;
    ConversionEventSink* sink_ = nullptr;
    std::mutex eventLock_;  // one event at a time; taken before stateLock_, never after

    BoundedThread runner_;
    bool startCalled_ = false;
};

}  // namespace tembrel
