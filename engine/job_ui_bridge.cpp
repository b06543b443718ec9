#include "engine/job_ui_bridge.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/conversion_file_steps.h"
#include "engine/conversion_job.h"

namespace tembrel {
namespace {

constexpr std::chrono::milliseconds kIdlePump{50};

class UiBridge : public ConversionEventSink {
public:
    UiBridge(ConversionUi& ui, const std::vector<SourceFileEntry*>& entries, const std::vector<int>& rows,
             ConversionJob& job)
        : ui_(ui), entries_(entries), rows_(rows), job_(job), callingThread_(std::this_thread::get_id()) {}

    bool TakesEventsOnStartingThread() const override { return true; }

    void RunStarted(int count) override {
        Post([this, count] {
            started_ = true;
            BeginRunWindow(ui_, count);
            Pump();
        });
    }
    void FileStarted(int index, const std::string& overall, const std::string& fileText) override {
        Post([=, this] {
            const int row = RowOf(rows_, index);
            ui_.ShowRow(row);
            ui_.SetRowStatus(row, kStatusConverting);
            ui_.SetOverallText(overall);
            ui_.SetOverallPosition(index + 1);
            ui_.SetFileText(fileText);
            barWidth_ = std::max(ui_.FileBarWidth(), 1);
            ui_.SetFileRange(barWidth_);
            ui_.SetFilePosition(0);
        });
        // Read after the calling thread has set it: Post has waited for that.
        shownBarWidth_ = barWidth_;
        shownText_ = fileText;
        shownPosition_ = 0;
    }
    // The stage reports in per mille, a thousand times a file; the front
    // end's bar has far fewer steps, and its text changes once a percent.
    // Only a change the front end would show is handed over, and the engine
    // does not wait for it to be shown: the next event waits instead, so a
    // Cancel pressed while one is shown reaches the stage by the next one.
    void FileProgress(int, int perMille, const std::string& text) override {
        // A run on the calling thread has no other chance to see Cancel.
        if (OnCallingThread()) Pump();
        const int position = static_cast<int>(static_cast<std::int64_t>(perMille) * shownBarWidth_ / 1000);
        const bool newText = !text.empty() && text != shownText_;
        const bool moved = position != shownPosition_;
        if (!newText && !moved) return;
        if (newText) shownText_ = text;
        shownPosition_ = position;
        Post(
            [=, this] {
                if (newText) ui_.SetFileText(text);
                if (moved) ui_.SetFilePosition(position);
                Pump();
            },
            Handover::DoNotWait);
    }
    void FileFinished(int index, const FileOutcome& outcome) override {
        Post([=, this] {
            // The list's entry knows its outputs before its row shows them.
            SourceFileEntry& entry = *entries_[index];
            entry.outputSwfPath = outcome.swfPath;
            entry.playerSwfPath = outcome.playerPath;
            entry.htmlPath = outcome.pagePath;
            const int row = RowOf(rows_, index);
            ui_.SetRowStatus(row, outcome.status);
            if (!outcome.reason.empty()) ui_.SetRowReason(row, outcome.reason);
            Pump();
        });
    }
    bool Message(const std::string& text, MessageIcon icon) override {
        bool answer = true;
        Post([&] { answer = ui_.ShowMessage(text, icon); });
        return answer;
    }
    void RevealFile(const std::string& path) override {
        Post([=, this] { ui_.ShowInFileManager(path); });
    }
    void RunFinished(const RunSummary& summary) override {
        Post([=, this] {
            if (summary.templateRefused) {
                for (std::size_t i = 0; i < job_.Outcomes().size(); ++i)
                    if (!job_.Outcomes()[i].reason.empty())
                        ui_.SetRowReason(RowOf(rows_, static_cast<int>(i)), job_.Outcomes()[i].reason);
            }
            if (started_) ui_.EndRun();
            finished_ = true;
        });
    }

    // The calling thread's loop: shows each event as it comes and pumps
    // the front end's messages meanwhile, until the run has finished.
    // Every event pumps; between events the front end is pumped every
    // kIdlePump, often enough for Ctrl-C or a click on Cancel, seldom enough
    // not to wake an idle processor for nothing.
    void Serve() {
        std::unique_lock<std::mutex> lock(lock_);
        while (!finished_) {
            if (queue_.empty()) {
                changed_.wait_for(lock, kIdlePump);
                if (queue_.empty()) {
                    lock.unlock();
                    if (started_) Pump();
                    lock.lock();
                }
                continue;
            }
            std::function<void()> action = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            action();
            lock.lock();
            ++done_;
            lock.unlock();
            changed_.notify_all();
            lock.lock();
        }
    }

private:
    // Hands an action to the calling thread, and unless told otherwise waits
    // until it has run. One action at a time: an action not waited for is
    // done before the next is handed over.
    enum class Handover { Wait, DoNotWait };
    void Post(std::function<void()> action, Handover handover = Handover::Wait) {
        if (OnCallingThread()) {
            action();
            return;
        }
        std::unique_lock<std::mutex> lock(lock_);
        changed_.wait(lock, [&] { return done_ >= posted_; });
        queue_.push_back(std::move(action));
        const std::uint64_t ticket = ++posted_;
        // Woken with the lock free, the calling thread does not have to
        // wait for it at once.
        lock.unlock();
        changed_.notify_all();
        if (handover == Handover::DoNotWait) return;
        lock.lock();
        changed_.wait(lock, [&] { return done_ >= ticket; });
    }
    void Pump() {
        if (ui_.PumpMessages()) job_.Cancel();
    }
    // The run is done on the calling thread when it could have no thread
    // of its own; its events are then shown as they come.
    bool OnCallingThread() const { return std::this_thread::get_id() == callingThread_; }

    ConversionUi& ui_;
    const std::vector<SourceFileEntry*>& entries_;
    const std::vector<int>& rows_;
    ConversionJob& job_;
    const std::thread::id callingThread_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> queue_;
    std::uint64_t posted_ = 0, done_ = 0;
    // The calling thread's own.
    bool started_ = false;
    bool finished_ = false;
    int barWidth_ = 1;
    // The engine's own (its events come one at a time): what the front end
    // shows of the file, or will once the action handed over has run.
    int shownBarWidth_ = 1;
    int shownPosition_ = 0;
    std::string shownText_;
};

}  // namespace

int RunConversionJob(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                     const std::vector<int>& rows, ConversionUi* ui, int jobs, const ConversionSteps& steps,
                     std::vector<FileOutcome>* outcomes, std::vector<std::string> namingList) {
    std::vector<SourceFileEntry> list;
    for (const SourceFileEntry* entry : entries) list.push_back(*entry);
    ConversionJob job(settings, std::move(list), steps);
    job.NameWithinList(std::move(namingList));
    if (ui) {
        UiBridge bridge(*ui, entries, rows, job);
        job.Start(bridge, jobs);
        bridge.Serve();
        job.Wait();
    } else {
        ConversionEventSink silent;
        job.Start(silent, jobs);
        job.Wait();
    }

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SourceFileEntry& done = job.Entries()[i];
        entries[i]->outputSwfPath = done.outputSwfPath;
        entries[i]->htmlPath = done.htmlPath;
        entries[i]->playerSwfPath = done.playerSwfPath;
    }
    if (outcomes) *outcomes = job.Outcomes();
    return job.Summary().converted;
}

}  // namespace tembrel
