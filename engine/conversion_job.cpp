#include "engine/conversion_job.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <set>
#include <unordered_map>

#include <unistd.h>

#include "engine/conversion_file_steps.h"
#include "engine/file_outputs.h"
#include "engine/output_naming.h"
#include "platform/file_identity.h"
#include "platform/os_file.h"
#include "platform/path_parts.h"

namespace tembrel {

// One file between the worker that encodes it and the runner that names,
// builds and places it.
struct ConversionJob::FileWork {
    explicit FileWork(const SourceFileEntry& source) : entry(source) {}

    SourceFileEntry entry;  // named by the runner before a worker sees it
    EncodedSound sound;
    TempMp3File mp3;
    bool refused = false;   // naming said no: never encoded
    bool finished = false;  // the worker is done with it (or it was refused)
    bool encoded = false;
    std::string status, reason;
    std::string namingNote;  // why naming gave it another name than its own
    std::vector<std::string> madeFolders;  // made by naming it, parents first (runner only)
    // The stage's latest progress, shown again when the run gets to the
    // file (it may have started while an earlier one was shown).
    int perMille = 0;
    std::string progressText;
};

// The stage's window onto the job: progress in per mille, Cancel as the
// job's stop.
class ConversionJob::StageUi : public ConversionUi {
public:
    StageUi(ConversionJob& job, int index, std::stop_token stop) : job_(job), index_(index), stop_(std::move(stop)) {}

    void SetFileText(const std::string& text) override {
        Update([&](FileWork& file) { file.progressText = text; });
    }
    int FileBarWidth() const override { return 1000; }
    void SetFileRange(int) override {}
    void SetFilePosition(int position) override {
        Update([&](FileWork& file) { file.perMille = std::clamp(position, 0, 1000); });
    }
    void SetOverallText(const std::string&) override {}
    void SetOverallRange(int) override {}
    void SetOverallPosition(int) override {}
    void SetRowStatus(int, const std::string&) override {}
    bool ShowMessage(const std::string& text, MessageIcon icon) override {
        bool answer = true;
        job_.Emit([&] { answer = job_.sink_->Message(text, icon); });
        return answer;
    }
    bool PumpMessages() override { return stop_.stop_requested(); }
    void ShowInFileManager(const std::string&) override {}

private:
    template <typename Change>
    void Update(Change change) {
        int perMille;
        std::string text;
        {
            std::lock_guard<std::mutex> guard(job_.stateLock_);
            FileWork& file = *job_.files_[index_];
            change(file);
            if (job_.front_ != index_) return;
            perMille = file.perMille;
            text = file.progressText;
        }
        job_.Emit([&] { job_.sink_->FileProgress(index_, perMille, text); });
    }

    ConversionJob& job_;
    int index_;
    std::stop_token stop_;
};

ConversionJob::ConversionJob(const ConversionSettings& options, std::vector<SourceFileEntry> entries,
                             ConversionSteps steps)
    : options_(options), entries_(std::move(entries)), steps_(std::move(steps)),
      outcomes_(entries_.size()) {}

ConversionJob::~ConversionJob() {
    Cancel();
    Wait();
}

void ConversionJob::Start(ConversionEventSink& sink, int jobs) {
    if (startCalled_) return;
    startCalled_ = true;
    sink_ = &sink;
    jobs = std::max(jobs, 1);
    int error = 0;
    if (runner_.Start([this, &sink, jobs] { Run(stop_.get_token(), sink, jobs); }, &error)) return;
    if (sink.TakesEventsOnStartingThread())
        Run(stop_.get_token(), sink, jobs);
    else
        FailEveryFile(sink, ThreadStartFailureReason(error));
}

void ConversionJob::FailEveryFile(ConversionEventSink& sink, const std::string& reason) {
    const int count = static_cast<int>(entries_.size());
    summary_.files = summary_.failed = count;
    Emit([&] { sink.RunStarted(count); });
    for (int i = 0; i < count; ++i) {
        outcomes_[i].kind = FileOutcome::Kind::Failed;
        outcomes_[i].status = kStatusConversionFailure;
        outcomes_[i].reason = reason;
        ForgetOutputs(entries_[i]);
        Emit([&] { sink.FileFinished(i, outcomes_[i]); });
    }
    Emit([&] { sink.RunFinished(summary_); });
}

void ConversionJob::Cancel() {
    stop_.request_stop();
    { std::lock_guard<std::mutex> guard(stateLock_); }
    changed_.notify_all();
}

void ConversionJob::Wait() { runner_.Join(); }

void ConversionJob::Emit(const std::function<void()>& call) {
    std::lock_guard<std::mutex> guard(eventLock_);
    call();
}

void ConversionJob::Encode(std::stop_token stop) {
    std::unique_lock<std::mutex> lock(stateLock_);
    for (;;) {
        changed_.wait(lock, [&] { return workersStop_ || nextToEncode_ < toEncode_.size(); });
        if (workersStop_) return;
        EncodeNext(lock, stop);
    }
}

// Encodes the next named file waiting; called with stateLock_ held and a
// file waiting, returns with it held.
void ConversionJob::EncodeNext(std::unique_lock<std::mutex>& lock, std::stop_token stop) {
    const int index = toEncode_[nextToEncode_++];
    FileWork& file = *files_[index];
    // After Cancel a file is not started; the runner reports it.
    if (!stop.stop_requested()) {
        lock.unlock();
        bool encoded = false;
        std::string reason;
        try {
            file.mp3 = TempMp3File(steps_);
            StageUi ui(*this, index, stop);
            encoded = EncodeFileToMp3(options_, file.entry, steps_, file.mp3.Path(), &ui, &file.sound, &reason);
        } catch (...) {
            // One file's fault must not end the program.
            encoded = false;
            reason = ReasonForException(std::current_exception());
        }
        lock.lock();
        file.encoded = encoded;
        file.reason = std::move(reason);
    }
    file.finished = true;
    changed_.notify_all();
}

namespace {

// The files a run has written, by identity: one folder reached two ways
// (through a link) or a name in other letter case on a case-folding file
// system is still the same file.
using WrittenFiles = std::set<std::pair<std::uint64_t, std::uint64_t>>;

void NoteWritten(const std::string& name, WrittenFiles& written) {
    if (const std::optional<FileId> id = FileIdAt(name)) written.emplace(id->device, id->inode);
}

// The first of the entry's output names that leads to a file this run has
// already written.
std::string WrittenEarlier(const SourceFileEntry& entry, const WrittenFiles& written) {
    if (written.empty()) return {};
    for (const std::string* name : {&entry.outputSwfPath, &entry.htmlPath, &entry.playerSwfPath}) {
        if (name->empty()) continue;
        const std::optional<FileId> id = FileIdAt(*name);
        if (id && written.count({id->device, id->inode})) return *name;
    }
    return {};
}

// The output names a named entry will take.
std::vector<std::string> NamesOf(const SourceFileEntry& entry) {
    std::vector<std::string> names;
    for (const std::string* name : {&entry.outputSwfPath, &entry.htmlPath, &entry.playerSwfPath})
        if (!name->empty()) names.push_back(*name);
    return names;
}

}  // namespace

// Overwriting, a file whose name an earlier file of the list takes gets the
// next number, whatever this run writes: the names come from the list, so a
// run again and each shard of a cluster's list agree on them.
void ConversionJob::NumberNamesWithinList() {
    if (namingList_.empty())
        for (const SourceFileEntry& entry : entries_) namingList_.push_back(entry.sourcePath);
    const std::vector<int> numbers = ListNameNumbers(options_, namingList_);
    // A source listed twice is one file, numbered at its first place.
    std::unordered_map<std::string, std::size_t> firstPlace;
    for (std::size_t i = 0; i < namingList_.size(); ++i) firstPlace.emplace(namingList_[i], i);
    for (SourceFileEntry& entry : entries_) {
        const auto place = firstPlace.find(entry.sourcePath);
        entry.listNameNumber = place == firstPlace.end() ? 0 : numbers[place->second];
    }
}

void ConversionJob::Run(std::stop_token stop, ConversionEventSink& sink, int jobs) {
    const int count = static_cast<int>(entries_.size());
    summary_.files = count;
    const BuilderChoice choice = ChooseBuilder(options_);
    StageUi messages(*this, -1, stop);
    const TemplateResult prepared = PrepareTemplate(options_, choice, &messages, template_);
    SwfTemplate& tmpl = template_.tmpl;
    movie_ = template_.movie;
    // What is wrong with the template when the run can go on anyway (its
    // picture) goes on every row.
    const std::string& templateNote = prepared.reason;
    if (!prepared) {
        for (FileOutcome& outcome : outcomes_) outcome.reason = templateNote;
        summary_.templateRefused = true;
        summary_.failed = count;
        Emit([&] { sink.RunFinished(summary_); });
        return;
    }

    if (options_.TargetExistsOpt == kTargetOverwrite) NumberNamesWithinList();
    for (const SourceFileEntry& entry : entries_) files_.push_back(std::make_unique<FileWork>(entry));
    Emit([&] { sink.RunStarted(count); });

    // As many workers as the system will start; with none, this thread
    // encodes each file as it gets to it.
    std::vector<std::unique_ptr<BoundedThread>> workers;
    for (int i = 0; i < std::min(jobs, std::max(count, 1)); ++i) {
        auto worker = std::make_unique<BoundedThread>();
        if (!worker->Start([this] { Encode(stop_.get_token()); })) break;
        workers.push_back(std::move(worker));
    }
    // With one job a file is named only when the run gets to it, exactly as
    // a one-at-a-time run; with more, a window of files ahead is named so
    // that the workers have work.
    const int window = workers.size() <= 1 ? 1 : 2 * static_cast<int>(workers.size());

    std::set<std::string> reserved;  // names of files named but not yet placed
    // The files this run has written. Overwriting replaces what was there
    // before the run, never a file the run itself just made: a file whose
    // name leads to one of these all the same (one folder reached through a
    // link) takes the next free name when its turn comes, as with renaming.
    WrittenFiles written;
    auto renameIfWrittenEarlier = [&](FileWork& file, FileResult& result) {
        if (options_.TargetExistsOpt != kTargetOverwrite) return true;
        const std::string taken = WrittenEarlier(file.entry, written);
        if (taken.empty()) return true;
        ConversionSettings renaming = options_;
        renaming.TargetExistsOpt = kTargetAutoRename;
        std::string status;
        if (!steps_.nameOutputs(renaming, file.entry, &status, &result.reason)) {
            if (!status.empty()) result.status = status;
            return false;
        }
        file.namingNote = "\"" + taken + "\" was written earlier in this run, so this file took the next free name";
        return true;
    };
    int named = 0;
    auto nameFile = [&](int index, bool mayDefer) {
        FileWork& file = *files_[index];
        std::string status, reason;
        SourceFileEntry entry = file.entry;
        bool ok = false;
        MadeFoldersLog made;
        try {
            ok = steps_.nameOutputs && steps_.nameOutputs(options_, entry, &status, &reason);
        } catch (...) {
            ok = false;
            status = kStatusConversionFailure;
            reason = ReasonForException(std::current_exception());
        }
        file.madeFolders.insert(file.madeFolders.end(), made.folders.begin(), made.folders.end());
        if (ok && mayDefer) {
            // A name an earlier file of this run may still take: name it
            // once that file is placed, as a one-at-a-time run would.
            for (const std::string& name : NamesOf(entry))
                if (reserved.count(name)) return false;
        }
        file.entry = entry;
        std::lock_guard<std::mutex> guard(stateLock_);
        if (!ok) {
            file.refused = file.finished = true;
            file.status = status.empty() ? kStatusConversionFailure : status;
            file.reason = reason;
        } else {
            for (const std::string& name : NamesOf(entry)) reserved.insert(name);
            toEncode_.push_back(index);
        }
        return true;
    };

    // Ruffle goes to each output folder once per run, beside the first page.
    PageRuffle ruffle(options_.PageRufflePath);
    int stoppedAt = count;
    for (int p = 0; p < count; ++p) {
        while (!stop.stop_requested() && named < std::min(count, p + window) && nameFile(named, named > p)) {
            ++named;
            changed_.notify_all();
        }
        if (named == p && !stop.stop_requested()) {
            nameFile(named++, false);
            changed_.notify_all();
        }
        FileWork& file = *files_[p];
        const std::string& source = file.entry.sourcePath;
        // The front moves under the event lock, so that no progress of this
        // file can be told before the file itself.
        Emit([&] {
            int perMille;
            std::string progressText;
            {
                std::lock_guard<std::mutex> guard(stateLock_);
                front_ = p;
                perMille = file.perMille;
                progressText = file.progressText;
            }
            sink.FileStarted(p, OverallProgressText(p + 1, count), FileProgressText(source, 0));
            if (!progressText.empty() || perMille > 0) sink.FileProgress(p, perMille, progressText);
        });
        {
            std::unique_lock<std::mutex> lock(stateLock_);
            if (workers.empty())
                while (!file.finished && nextToEncode_ < toEncode_.size()) EncodeNext(lock, stop);
            changed_.wait(lock, [&] { return file.finished || (stop.stop_requested() && p >= named); });
        }

        FileResult result;
        result.status = file.status.empty() ? kStatusConversionFailure : file.status;
        result.reason = file.reason;
        // What the encoder noticed beside a success (a source cut short).
        std::string encodeNote;
        // Building may rename the file or drop its page.
        const std::vector<std::string> reservedNames = NamesOf(file.entry);
        if (file.finished && !file.refused && file.encoded) {
            encodeNote = file.reason;
            try {
                if (renameIfWrittenEarlier(file, result))
                    result = BuildAndPlaceOutputs(options_, choice, steps_, file.entry, file.mp3.Path(), tmpl, movie_,
                                              file.sound, ruffle);
            } catch (...) {
                result = FileResult{false, kStatusConversionFailure, ReasonForException(std::current_exception())};
            }
        }
        file.mp3.Remove();
        for (const std::string& name : reservedNames) reserved.erase(name);

        FileOutcome& outcome = outcomes_[p];
        const bool cancelled = !result.succeeded && stop.stop_requested();
        if (result.succeeded) {
            outcome.kind = FileOutcome::Kind::Converted;
            outcome.status = FileNameOf(file.entry.outputSwfPath);
            outcome.swfPath = file.entry.outputSwfPath;
            outcome.playerPath = file.entry.playerSwfPath;
            outcome.pagePath = file.entry.htmlPath;
            outcome.sampleCount = file.sound.sampleCount;
            outcome.durationSeconds = file.sound.durationSeconds;
            outcome.movieBytes = FileSizeAt(file.entry.outputSwfPath);
            outcome.movieWidth = movie_.width;
            outcome.movieHeight = movie_.height;
            lastDurationSeconds_ = file.sound.durationSeconds;
            for (const std::string& name : NamesOf(file.entry)) NoteWritten(name, written);
            result.reason = JoinReasons(JoinReasons(file.namingNote, encodeNote), result.reason);
            ++summary_.converted;
        } else {
            outcome.kind = cancelled ? FileOutcome::Kind::Cancelled
                                     : file.refused ? FileOutcome::Kind::Refused : FileOutcome::Kind::Failed;
            outcome.status = cancelled ? kStatusCancelled : result.status;
            ForgetOutputs(file.entry);
            ++summary_.failed;
        }
        outcome.reason = JoinReasons(cancelled ? "cancelled" : result.reason, templateNote);
        entries_[p] = file.entry;
        Emit([&] { sink.FileFinished(p, outcome); });
        // Cancel pressed while a file was built still lets that file count.
        if (stop.stop_requested()) {
            stoppedAt = p;
            summary_.cancelled = true;
            break;
        }
    }

    {
        std::lock_guard<std::mutex> guard(stateLock_);
        workersStop_ = true;
        front_ = -1;
    }
    changed_.notify_all();
    workers.clear();  // joins them
    // Files are named ahead of the one in work, and naming makes their
    // folders: a cancelled run takes back those of the files it never wrote.
    std::vector<std::string> unused;
    if (summary_.cancelled)
        for (int i = 0; i < count; ++i)
            if (outcomes_[i].kind != FileOutcome::Kind::Converted)
                unused.insert(unused.end(), files_[i]->madeFolders.begin(), files_[i]->madeFolders.end());
    files_.clear();  // removes every temporary MP3 still there
    template_ = RunTemplate{};  // a picture's template can be large
    // Children before parents; a folder something has gone into since stays.
    for (auto folder = unused.rbegin(); folder != unused.rend(); ++folder) ::rmdir(folder->c_str());

    if (options_.BrowseOutFolder != 0) {
        for (int i = 0; i < stoppedAt; ++i) {
            const std::string& swf = entries_[i].outputSwfPath;
            if (!swf.empty() && FileExists(swf)) {
                Emit([&] { sink.RevealFile(swf); });
                break;
            }
        }
    }
    Emit([&] { sink.RunFinished(summary_); });
}

}  // namespace tembrel
