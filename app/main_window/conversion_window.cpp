#include "app/main_window/conversion_window.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

#include "app/desktop/desktop_services.h"
#include "app/widgets/message_box.h"
#include "app/main_window/progress_window.h"
#include "engine/conversion_driver.h"
#include "engine/conversion_job.h"
#include "engine/conversion_ui.h"
#include "engine/parallel_conversion.h"

namespace tembrel::app {

namespace {

constexpr int kPerMille = 1000;

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Carries the job's events from the engine's threads to the GUI thread and
// shows them there. Every event is posted to `gui_`, an object of the GUI
// thread, so widgets are touched on that thread only; a message holds the
// engine until it has been answered.
class WindowRelay : public ConversionEventSink {
public:
    WindowRelay(ProgressWindow& window, const std::vector<int>& rows, const RowStatusFn& onRowStatus,
                QEventLoop& loop)
        : window_(&window), rows_(rows), onRowStatus_(onRowStatus), loop_(loop) {}

    bool Finished() const { return finished_; }

    void RunStarted(int count) override {
        Post([this, count] {
            if (!window_) return;
            window_->SetOverallRange(count);
            window_->SetOverallPosition(0);
        });
    }
    void FileStarted(int index, const std::string& overallText, const std::string& fileText) override {
        Post([=, this] {
            if (window_) {
                window_->SetOverallText(Text(overallText));
                window_->SetOverallPosition(index + 1);
                window_->SetText(Text(fileText));
                window_->SetBarRange(kPerMille);
                window_->SetBarPosition(0);
            }
            RowStatus(index, QString::fromLatin1(kStatusConverting), {});
        });
    }
    void FileProgress(int, int perMille, const std::string& fileText) override {
        Post([=, this] {
            if (!window_) return;
            if (!fileText.empty()) window_->SetText(Text(fileText));
            window_->SetBarPosition(perMille);
        });
    }
    void FileFinished(int index, const FileOutcome& outcome) override {
        Post([=, this] { RowStatus(index, Text(outcome.status), Text(outcome.reason)); });
    }
    bool Message(const std::string& text, MessageIcon icon) override {
        bool answer = true;
        QMetaObject::invokeMethod(
            &gui_, [&] { answer = ShowMessage(window_, Text(text), icon); }, Qt::BlockingQueuedConnection);
        return answer;
    }
    // Shown once the progress window has closed and the owner takes input
    // again, so the file manager comes up over a usable window.
    void RevealFile(const std::string& path) override {
        Post([path, this] { reveal_ = path; });
    }
    const std::string& RevealPath() const { return reveal_; }
    void RunFinished(const RunSummary&) override {
        Post([this] {
            finished_ = true;
            loop_.quit();
        });
    }

private:
    template <typename Action>
    void Post(Action action) {
        QMetaObject::invokeMethod(&gui_, std::move(action), Qt::QueuedConnection);
    }
    void RowStatus(int index, const QString& status, const QString& reason) {
        if (onRowStatus_ && index >= 0 && index < static_cast<int>(rows_.size()))
            onRowStatus_(rows_[static_cast<std::size_t>(index)], status, reason);
    }

    QObject gui_;  // created on the GUI thread; the events' receiver
    QPointer<ProgressWindow> window_;
    const std::vector<int>& rows_;
    const RowStatusFn& onRowStatus_;
    QEventLoop& loop_;
    bool finished_ = false;  // GUI thread only
    std::string reveal_;     // GUI thread only
};

// Only the messages of a check made on the GUI thread, before the run shows.
class MessagesOnly : public ConversionUi {
public:
    explicit MessagesOnly(QWidget* owner) : owner_(owner) {}
    void SetFileText(const std::string&) override {}
    int FileBarWidth() const override { return kPerMille; }
    void SetFileRange(int) override {}
    void SetFilePosition(int) override {}
    void SetOverallText(const std::string&) override {}
    void SetOverallRange(int) override {}
    void SetOverallPosition(int) override {}
    void SetRowStatus(int, const std::string&) override {}
    bool ShowMessage(const std::string& text, MessageIcon icon) override {
        return app::ShowMessage(owner_, Text(text), icon);
    }
    bool PumpMessages() override { return false; }
    void ShowInFileManager(const std::string&) override {}

private:
    QPointer<QWidget> owner_;
};

}  // namespace

ConversionRunResult RunConversionWindow(QWidget* owner, const ConversionSettings& settings,
                                        const std::vector<SourceFileEntry>& entries, const std::vector<int>& rows,
                                        const RowStatusFn& onRowStatus, int jobs,
                                        std::vector<std::string> listSources) {
    // A template that is missing or cannot be used is told over the window
    // as it is, before anything is disabled or shown; the run takes the
    // checked template on. Only the template itself is read here: the
    // colours and picture are the run's work.
    RunTemplate checked;
    MessagesOnly messages(owner);
    if (const TemplateResult check = CheckTemplate(settings, ChooseBuilder(settings), &messages, checked); !check) {
        ConversionRunResult refused;
        refused.outcomes.resize(entries.size());
        for (FileOutcome& outcome : refused.outcomes) outcome.reason = check.reason;
        refused.entries = entries;
        refused.summary.files = static_cast<int>(entries.size());
        refused.summary.failed = refused.summary.files;
        refused.summary.templateRefused = true;
        return refused;
    }
    QPointer<QWidget> ownerGuard(owner);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (owner) owner->setEnabled(false);
    QPointer<ProgressWindow> window = new ProgressWindow(ProgressWindow::Kind::Conversion, owner);
    // Disabling an owner disables its child windows too; this one takes input whatever the order.
    window->setEnabled(true);
    window->show();
    QCoreApplication::processEvents();

    QEventLoop loop;
    // Declared before the job: the relay outlives the job's threads.
    WindowRelay relay(*window, rows, onRowStatus, loop);
    ConversionJob job(settings, entries);
    job.UseCheckedTemplate(std::move(checked));
    job.NameWithinList(std::move(listSources));
    QObject::connect(window, &ProgressWindow::cancelRequested, window, [&job] { job.Cancel(); });
    if (window->CancelRequested()) job.Cancel();
    job.Start(relay, jobs > 0 ? jobs : DefaultJobCount());
    if (!relay.Finished()) loop.exec();
    // The loop also ends when the application quits; the engine may then
    // be waiting for an answer, so it is cancelled and served to its end.
    const bool quitting = !relay.Finished();
    if (quitting) job.Cancel();
    while (!relay.Finished()) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    job.Wait();

    // A run ended by closing the program (a logout, a signal) leaves
    // nothing behind it: no file manager that would outlive the program.
    const bool closing = quitting || !window || window->CloseRequested();
    if (window) {
        window->disconnect();
        window->Finish();
        delete window.data();
    }
    if (ownerGuard) ownerGuard->setEnabled(true);
    QApplication::restoreOverrideCursor();
    if (!closing && !relay.RevealPath().empty()) Desktop().ShowInFileManager(relay.RevealPath());

    ConversionRunResult result;
    result.outcomes = job.Outcomes();
    result.entries = job.Entries();
    result.summary = job.Summary();
    result.lastDurationSeconds = job.LastDurationSeconds();
    return result;
}

}  // namespace tembrel::app
