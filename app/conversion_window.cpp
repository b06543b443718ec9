#include "app/conversion_window.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

#include "app/desktop_services.h"
#include "app/message_box.h"
#include "app/progress_window.h"
#include "engine/conversion_driver.h"
#include "engine/conversion_job.h"
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
            RowStatus(index, QString::fromLatin1(kStatusConverting), {});
            if (!window_) return;
            window_->SetOverallText(Text(overallText));
            window_->SetOverallPosition(index + 1);
            window_->SetText(Text(fileText));
            window_->SetBarRange(kPerMille);
            window_->SetBarPosition(0);
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
    void RevealFile(const std::string& path) override {
        Post([path] { Desktop().ShowInFileManager(path); });
    }
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
};

}  // namespace

ConversionRunResult RunConversionWindow(QWidget* owner, const ConversionSettings& settings,
                                        const std::vector<SourceFileEntry>& entries, const std::vector<int>& rows,
                                        const RowStatusFn& onRowStatus, int jobs) {
    QPointer<QWidget> ownerGuard(owner);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (owner) owner->setEnabled(false);
    QPointer<ProgressWindow> window = new ProgressWindow(ProgressWindow::Kind::Conversion, owner);
    // The owner's disabling reaches its child windows; this one must take input.
    window->setEnabled(true);
    window->show();
    QCoreApplication::processEvents();

    QEventLoop loop;
    // Declared before the job: the relay outlives the job's threads.
    WindowRelay relay(*window, rows, onRowStatus, loop);
    ConversionJob job(settings, entries);
    QObject::connect(window, &ProgressWindow::cancelRequested, window, [&job] { job.Cancel(); });
    if (window->CancelRequested()) job.Cancel();
    job.Start(relay, jobs > 0 ? jobs : DefaultJobCount());
    if (!relay.Finished()) loop.exec();
    job.Wait();

    if (window) {
        window->disconnect();
        window->Finish();
        delete window.data();
    }
    if (ownerGuard) ownerGuard->setEnabled(true);
    QApplication::restoreOverrideCursor();

    ConversionRunResult result;
    result.outcomes = job.Outcomes();
    result.entries = job.Entries();
    result.summary = job.Summary();
    result.lastDurationSeconds = job.LastDurationSeconds();
    return result;
}

}  // namespace tembrel::app
