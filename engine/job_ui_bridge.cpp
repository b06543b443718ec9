#include "engine/job_ui_bridge.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "engine/conversion_file_steps.h"
#include "engine/conversion_job.h"

namespace tembrel {
namespace {

class UiBridge : public ConversionEventSink {
public:
    UiBridge(ConversionUi& ui, const std::vector<SourceFileEntry*>& entries, const std::vector<int>& rows,
             ConversionJob& job)
        : ui_(ui), entries_(entries), rows_(rows), job_(job) {}

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
            lastText_ = fileText;
            lastPosition_ = 0;
        });
    }
    void FileProgress(int, int perMille, const std::string& text) override {
        Post([=, this] {
            if (!text.empty() && text != lastText_) ui_.SetFileText(lastText_ = text);
            const int position = static_cast<int>(static_cast<std::int64_t>(perMille) * barWidth_ / 1000);
            if (position != lastPosition_) ui_.SetFilePosition(lastPosition_ = position);
            Pump();
        });
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
    void Serve() {
        std::unique_lock<std::mutex> lock(lock_);
        while (!finished_) {
            if (queue_.empty()) {
                changed_.wait_for(lock, std::chrono::milliseconds(10));
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
            changed_.notify_all();
        }
    }

private:
    // Hands an action to the calling thread and waits until it has run.
    void Post(std::function<void()> action) {
        std::unique_lock<std::mutex> lock(lock_);
        queue_.push_back(std::move(action));
        const std::uint64_t ticket = ++posted_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return done_ >= ticket; });
    }
    void Pump() {
        if (ui_.PumpMessages()) job_.Cancel();
    }

    ConversionUi& ui_;
    const std::vector<SourceFileEntry*>& entries_;
    const std::vector<int>& rows_;
    ConversionJob& job_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> queue_;
    std::uint64_t posted_ = 0, done_ = 0;
    // The calling thread's own.
    bool started_ = false;
    bool finished_ = false;
    int barWidth_ = 1;
    int lastPosition_ = 0;
    std::string lastText_;
};

}  // namespace

int RunConversionJob(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                     const std::vector<int>& rows, ConversionUi* ui, int jobs, const ConversionSteps& steps,
                     std::vector<FileOutcome>* outcomes) {
    std::vector<SourceFileEntry> list;
    for (const SourceFileEntry* entry : entries) list.push_back(*entry);
    ConversionJob job(settings, std::move(list), steps);
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
