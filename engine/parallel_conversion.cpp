#include "engine/parallel_conversion.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "engine/conversion_file_steps.h"
#include "platform/path_parts.h"

namespace tembrel {
namespace {

// One file between the worker that encodes it and the calling thread that
// names, builds and reports it.
struct FileWork {
    FileWork(const ConversionSettings& prepared, const SourceFileEntry& entry) : settings(prepared), source(entry) {}

    ConversionSettings settings;  // this file's own: the stage's results, the builder's frame-rate patch
    SourceFileEntry source;       // what the worker reads; the list's entry is the calling thread's
    TempMp3File mp3;
    bool finished = false;  // the worker is done with it, or skipped it after Cancel
    bool encoded = false;
    std::string failure;  // why encoding failed
    // The stage's latest per-file progress, shown again when the run gets
    // to the file (it may have started while an earlier one was shown).
    std::string fileText;
    int fileRange = -1;
    int filePosition = -1;
};

// What the threads of a run share. `lock` guards all of it and also makes
// the calls into the front end one at a time.
struct SharedRun {
    std::mutex lock;
    std::condition_variable changed;
    ConversionUi* ui = nullptr;
    std::vector<std::unique_ptr<FileWork>> files;
    int count = 0;
    int nextToStart = 0;
    int front = 0;     // the file the calling thread waits for
    int window = 1;    // how far past front workers may start files
    bool ready = false;
    bool stop = false;  // the run is over: start nothing, end what is running
    bool cancelled = false;

    // The front end's cancel flag, kept once seen. Call with lock held.
    bool Pump() {
        if (ui && ui->PumpMessages()) cancelled = true;
        return cancelled;
    }
};

// The front end as a worker's stage sees it: progress of the file the run
// waits for goes through, the rest is only remembered; Cancel or the end of
// the run stops the stage.
class WorkerUi : public ConversionUi {
public:
    WorkerUi(SharedRun& run, int index, FileWork& file) : run_(run), index_(index), file_(file) {}

    void SetFileText(const std::string& text) override {
        std::lock_guard<std::mutex> guard(run_.lock);
        file_.fileText = text;
        if (Shown()) run_.ui->SetFileText(text);
    }
    int FileBarWidth() const override {
        std::lock_guard<std::mutex> guard(run_.lock);
        return run_.ui ? run_.ui->FileBarWidth() : 1;
    }
    void SetFileRange(int maximum) override {
        std::lock_guard<std::mutex> guard(run_.lock);
        file_.fileRange = maximum;
        if (Shown()) run_.ui->SetFileRange(maximum);
    }
    void SetFilePosition(int position) override {
        std::lock_guard<std::mutex> guard(run_.lock);
        file_.filePosition = position;
        if (Shown()) run_.ui->SetFilePosition(position);
    }
    // The overall bar and the rows belong to the calling thread.
    void SetOverallText(const std::string&) override {}
    void SetOverallRange(int) override {}
    void SetOverallPosition(int) override {}
    void SetRowStatus(int, const std::string&) override {}
    bool ShowMessage(const std::string& text, MessageIcon icon) override {
        std::lock_guard<std::mutex> guard(run_.lock);
        return run_.ui ? run_.ui->ShowMessage(text, icon) : true;
    }
    bool PumpMessages() override {
        std::lock_guard<std::mutex> guard(run_.lock);
        return run_.Pump() || run_.stop;
    }
    void ShowInFileManager(const std::string&) override {}

private:
    bool Shown() const { return run_.ui && run_.front == index_; }

    SharedRun& run_;
    int index_;
    FileWork& file_;
};

void EncodeFiles(SharedRun& run, const ConversionSteps& steps) {
    std::unique_lock<std::mutex> lock(run.lock);
    for (;;) {
        run.changed.wait(lock, [&] {
            return run.stop || (run.ready && (run.nextToStart >= run.count || run.nextToStart < run.front + run.window));
        });
        if (run.stop || run.nextToStart >= run.count) return;
        const int index = run.nextToStart++;
        FileWork& file = *run.files[index];
        // After Cancel a file is not started; the calling thread reports it
        // as the one-at-a-time run would.
        if (!run.cancelled) {
            lock.unlock();
            file.mp3 = TempMp3File(steps);
            WorkerUi ui(run, index, file);
            std::string failure;
            bool encoded = false;
            try {
                encoded = EncodeFileToMp3(file.settings, file.source, steps, file.mp3.Path(), &ui, &failure);
            } catch (const std::exception& error) {
                // One file's fault must not end the program.
                failure = std::string("internal error: ") + error.what();
            }
            lock.lock();
            file.encoded = encoded;
            file.failure = std::move(failure);
        }
        file.finished = true;
        run.changed.notify_all();
    }
}

}  // namespace

int DefaultJobCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

int ConvertFilesInParallel(ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                           const std::vector<int>& rows, ConversionUi* ui, int jobs, const ConversionSteps& steps) {
    const int count = static_cast<int>(entries.size());
    if (jobs < 2 || count < 2) return ConvertFiles(settings, entries, rows, ui, steps);

    SharedRun run;
    run.ui = ui;
    run.count = count;
    // Finished files wait for their turn as temporary MP3s; the window keeps
    // their number (and the temporary space) bounded.
    run.window = 2 * jobs;
    std::vector<std::thread> workers;
    try {
        for (int i = 0; i < std::min(jobs, count); ++i) workers.emplace_back(EncodeFiles, std::ref(run), std::cref(steps));
    } catch (const std::system_error&) {
        // Fewer threads than asked for still do the work; none cannot.
    }
    auto endWorkers = [&] {
        {
            std::lock_guard<std::mutex> guard(run.lock);
            run.stop = true;
        }
        run.changed.notify_all();
        for (std::thread& worker : workers) worker.join();
        run.files.clear();  // removes every temporary MP3 still there
    };
    if (workers.empty()) return ConvertFiles(settings, entries, rows, ui, steps);

    const BuilderChoice choice = ChooseBuilder(settings);
    SwfTemplate tmpl;
    if (!PrepareTemplate(settings, choice, tmpl, ui)) {
        endWorkers();
        ReportUnusableTemplate(choice, entries, rows, ui);
        return 0;
    }

    {
        std::lock_guard<std::mutex> guard(run.lock);
        for (SourceFileEntry* entry : entries) run.files.push_back(std::make_unique<FileWork>(settings, *entry));
        if (ui) {
            BeginRunWindow(*ui, count);
            run.Pump();
        }
        run.ready = true;
    }
    run.changed.notify_all();

    int converted = 0;
    int stoppedAt = count;
    for (int i = 0; i < count; ++i) {
        SourceFileEntry& entry = *entries[i];
        const int row = RowOf(rows, i);
        std::unique_lock<std::mutex> lock(run.lock);
        FileWork& file = *run.files[i];
        run.front = i;
        run.changed.notify_all();
        if (ui) {
            ShowFileStarting(*ui, row, i, count, entry.sourcePath);
            if (file.fileRange >= 0) ui->SetFileRange(file.fileRange);
            if (!file.fileText.empty()) ui->SetFileText(file.fileText);
            if (file.filePosition >= 0) ui->SetFilePosition(file.filePosition);
        }
        run.changed.wait(lock, [&] { return file.finished; });
        lock.unlock();

        // Named only now, in list order, so that renaming and skipping see
        // every earlier file's output just as a one-at-a-time run does.
        FileResult result;
        result.status = kStatusConversionFailure;
        if (steps.nameOutputs && steps.nameOutputs(file.settings, entry, &result.status, &result.reason)) {
            result.status = kStatusConversionFailure;
            result.reason = file.failure;
            if (file.encoded)
                result = BuildAndPlaceOutputs(file.settings, choice, steps, entry, file.mp3.Path(), tmpl);
        }
        file.mp3.Remove();
        if (result.succeeded)
            ++converted;
        else
            ForgetOutputs(entry);

        lock.lock();
        run.files[i].reset();
        if (ui && FinishFileRow(*ui, row, result, entry, [&run] { return run.Pump(); })) {
            stoppedAt = i;
            break;
        }
    }

    endWorkers();
    if (ui) ui->EndRun();
    ShowFirstSwf(settings, entries, stoppedAt, ui);
    return converted;
}

}  // namespace tembrel
