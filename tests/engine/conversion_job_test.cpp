// A conversion job driven from another thread the way a window drives it:
// events queued to the window's thread and handled there in order, a
// question answered while the engine waits, Cancel pressed in mid-file, and
// outputs byte for byte those of a one-job run.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/conversion_job.h"
#include "engine/decode_and_encode.h"
#include "engine/scoped_env.h"
#include "platform/os_file.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

using test::ScratchDir;

// What the window's thread receives, as a queued signal would carry it.
struct Event {
    enum Kind { RunStarted, FileStarted, FileProgress, FileFinished, Message, RunFinished };
    Event(Kind k, int i = -1, int pm = 0, std::string t = {}, FileOutcome o = {})
        : kind(k), index(i), perMille(pm), text(std::move(t)), outcome(std::move(o)) {}

    Kind kind;
    int index;
    int perMille;
    std::string text;
    FileOutcome outcome;
};

// Queues every event for the window's thread; a message waits for the
// window's answer.
class QueuedSink : public ConversionEventSink {
public:
    void RunStarted(int count) override { Push({Event::RunStarted, count}); }
    void FileStarted(int index, const std::string& overall, const std::string&) override {
        Push({Event::FileStarted, index, 0, overall});
    }
    void FileProgress(int index, int perMille, const std::string& text) override {
        Push({Event::FileProgress, index, perMille, text});
    }
    void FileFinished(int index, const FileOutcome& outcome) override {
        Push({Event::FileFinished, index, 0, outcome.status, outcome});
    }
    bool Message(const std::string& text, MessageIcon) override {
        std::unique_lock<std::mutex> lock(lock_);
        answered_ = false;
        queue_.push_back({Event::Message, -1, 0, text});
        changed_.notify_all();
        changed_.wait(lock, [&] { return answered_; });
        return answer_;
    }
    void RunFinished(const RunSummary&) override { Push({Event::RunFinished}); }

    // The window's side.
    Event Next() {
        std::unique_lock<std::mutex> lock(lock_);
        changed_.wait(lock, [&] { return !queue_.empty(); });
        Event event = queue_.front();
        queue_.pop_front();
        return event;
    }
    void Answer(bool yes) {
        std::lock_guard<std::mutex> guard(lock_);
        answer_ = yes;
        answered_ = true;
        changed_.notify_all();
    }

private:
    void Push(Event event) {
        std::lock_guard<std::mutex> guard(lock_);
        queue_.push_back(std::move(event));
        changed_.notify_all();
    }
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Event> queue_;
    bool answered_ = false, answer_ = false;
};

// Set once the test has pressed Cancel.
class CancelSent {
public:
    void Set() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            sent_ = true;
        }
        changed_.notify_all();
    }
    // True when it was set within the limit.
    bool WaitFor(std::chrono::minutes limit) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, limit, [this] { return sent_; });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool sent_ = false;
};

// The stage's window for a file during which the user presses Cancel: once
// the file has shown progress, the stage goes on only when Cancel has been
// pressed (at most two minutes), so that Cancel lands in mid-file on any
// machine.
class CancelledMidFile : public ConversionUi {
public:
    CancelledMidFile(ConversionUi& stage, CancelSent& cancel) : stage_(stage), cancel_(cancel) {}
    void SetFileText(const std::string& text) override { stage_.SetFileText(text); }
    int FileBarWidth() const override { return stage_.FileBarWidth(); }
    void SetFileRange(int maximum) override { stage_.SetFileRange(maximum); }
    void SetFilePosition(int position) override {
        progressed_ = progressed_ || position > 0;
        stage_.SetFilePosition(position);
    }
    void SetOverallText(const std::string&) override {}
    void SetOverallRange(int) override {}
    void SetOverallPosition(int) override {}
    void SetRowStatus(int, const std::string&) override {}
    bool ShowMessage(const std::string& text, MessageIcon icon) override { return stage_.ShowMessage(text, icon); }
    bool PumpMessages() override {
        if (progressed_) cancel_.WaitFor(std::chrono::minutes(2));
        return stage_.PumpMessages();
    }
    void ShowInFileManager(const std::string&) override {}

private:
    ConversionUi& stage_;
    CancelSent& cancel_;
    bool progressed_ = false;
};

// Every file below folder (the Ruffle beside the pages too), by its path
// inside it.
std::map<std::string, std::vector<std::uint8_t>> FilesIn(const std::string& folder) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
        if (item.is_regular_file())
            files[std::filesystem::relative(item.path(), folder).string()] = test::ReadAll(item.path().string());
    return files;
}

TEST(ConversionJobTest, AWindowThreadAnswersCancelsAndGetsTheFilesOfAOneJobRun) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    ScratchDir scratch;
    test::ScopedEnv env;
    env.Set("TMPDIR", scratch.Path());
    std::vector<SourceFileEntry> entries;
    for (const char* name : {"one", "two", "three", "four"}) {
        SourceFileEntry entry;
        entry.sourcePath = scratch.File(std::string(name) + ".wav");
        entry.typeCode = kSourceTypeWav;
        ASSERT_TRUE(test::EncodeTone(entry.sourcePath, 22050, 1, 3.0, "-c:a pcm_s16le"));
        entries.push_back(entry);
    }
    ConversionSettings options{std::string(TEMBREL_PROGRAM_DIR) + "/"};
    options.SWFOutputFolderOpt = kOutputCustomFolder;
    options.BrowseOutFolder = 0;
    options.CreateCtrlSWF = 0;

    // The reference: the first two files, one at a time, nothing asked.
    const std::string reference = scratch.File("reference"), parallel = scratch.File("parallel");
    ::mkdir(reference.c_str(), 0755);
    ::mkdir(parallel.c_str(), 0755);
    options.SWFSpecifiedFolder = reference;
    {
        ConversionJob job(options, {entries[0], entries[1]});
        ConversionEventSink quiet;
        job.Start(quiet, 1);
        job.Wait();
        ASSERT_EQ(job.Summary().converted, 2);
    }

    // Three at once; the second file's stage asks a question first.
    options.SWFSpecifiedFolder = parallel;
    ConversionSteps steps = StandardConversionSteps();
    bool answerSeen = true;
    CancelSent cancelSent;
    steps.decodeAndEncode = [&](const ConversionSettings& s, int type, const std::string& source,
                                const std::string& mp3, ConversionUi* ui, EncodedSound* sound, std::string* reason) {
        if (source == entries[1].sourcePath) answerSeen = ui->ShowMessage("Go on?", MessageIcon::Question);
        if (source == entries[2].sourcePath) {
            CancelledMidFile held(*ui, cancelSent);
            return DecodeAndEncode(s, type, source, mp3, &held, sound, reason);
        }
        return DecodeAndEncode(s, type, source, mp3, ui, sound, reason);
    };
    ConversionJob job(options, entries, steps);
    QueuedSink sink;
    job.Start(sink, 3);

    std::vector<Event> seen;
    for (Event event = sink.Next();; event = sink.Next()) {
        seen.push_back(event);
        if (event.kind == Event::Message) sink.Answer(false);
        if (event.kind == Event::FileProgress && event.index == 2 && event.perMille > 0) {
            job.Cancel();
            cancelSent.Set();
        }
        if (event.kind == Event::RunFinished) break;
    }
    job.Wait();

    EXPECT_FALSE(answerSeen);
    // In order: the run's start, each file's start, progress and end in
    // list order, the run's end.
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front().kind, Event::RunStarted);
    EXPECT_EQ(seen.front().index, 4);
    int current = -1;
    bool finished = true;
    for (const Event& event : seen) {
        if (event.kind == Event::FileStarted) {
            EXPECT_TRUE(finished);
            EXPECT_EQ(event.index, current + 1);
            EXPECT_EQ(event.text, "Converting " + std::to_string(event.index + 1) + " of 4 file(s) into SWF...");
            current = event.index;
            finished = false;
        } else if (event.kind == Event::FileProgress || event.kind == Event::FileFinished) {
            EXPECT_EQ(event.index, current);
            EXPECT_FALSE(finished);
            finished = event.kind == Event::FileFinished;
        }
    }
    EXPECT_EQ(current, 2);
    const std::vector<FileOutcome>& outcomes = job.Outcomes();
    EXPECT_EQ(outcomes[0].kind, FileOutcome::Kind::Converted);
    EXPECT_EQ(outcomes[1].kind, FileOutcome::Kind::Converted);
    EXPECT_EQ(outcomes[1].status, "two.swf");
    EXPECT_EQ(outcomes[1].durationSeconds, 3u);
    EXPECT_EQ(outcomes[1].movieBytes, FileSizeAt(outcomes[1].swfPath));
    EXPECT_EQ(job.Movie().width, outcomes[1].movieWidth);
    EXPECT_EQ(job.LastDurationSeconds(), 3u);
    EXPECT_EQ(outcomes[2].kind, FileOutcome::Kind::Cancelled);
    EXPECT_EQ(outcomes[2].status, "Cancelled");
    EXPECT_EQ(outcomes[3].kind, FileOutcome::Kind::NotReached);
    EXPECT_TRUE(job.Summary().cancelled);

    // Byte for byte the one-job run's files, and no temporary file left.
    EXPECT_EQ(FilesIn(parallel), FilesIn(reference));
    for (const auto& item : std::filesystem::directory_iterator(scratch.Path()))
        EXPECT_NE(item.path().filename().string().rfind("TBR", 0), 0u) << item.path();
}

TEST(ConversionJobTest, WithNoThreadToStartAWindowsRunFailsEveryFileNamingTheLimit) {
    // A window's thread must keep answering, so a run that cannot start its
    // own thread is not done there: every file fails at once, with a reason
    // naming the limit, and the run's end is told. Tried in a child limited
    // to its one thread (as another user: root's threads are not counted),
    // which an alarm ends should the run hang.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(120);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        const struct rlimit one {1, 1};
        if (::setrlimit(RLIMIT_NPROC, &one) != 0) ::_exit(3);
        std::vector<SourceFileEntry> entries(2);
        entries[0].sourcePath = "/nowhere/a.wav";
        entries[1].sourcePath = "/nowhere/b.wav";
        ConversionJob job(ConversionSettings{}, entries);
        QueuedSink sink;
        job.Start(sink, 2);
        job.Wait();
        int finished = 0;
        for (Event event = sink.Next(); event.kind != Event::RunFinished; event = sink.Next())
            if (event.kind == Event::FileFinished && event.outcome.kind == FileOutcome::Kind::Failed &&
                event.outcome.reason.find("(ulimit -u)") != std::string::npos)
                ++finished;
        ::_exit(finished == 2 && job.Summary().failed == 2 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the run hung or crashed (signal " << WTERMSIG(status) << ")";
    if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "cannot limit a child's threads here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tembrel
