#pragma once
// Adding files in the window: rows go to the list through a callback, a
// batch shows the adding-files progress window with the owner disabled, and
// the closing message is a message box.
//
// A batch of thousands of files would spend nearly all its time drawing if
// every file repainted the window and scrolled the list: during a batch the
// window shows the file in work, the bar and the newest row at most every
// kRefreshMs, and events (Cancel among them) are handled as often. Every
// row is still appended as its file is added.
#include <functional>
#include <string>

#include <QElapsedTimer>
#include <QPointer>

#include "app/main_window/progress_window.h"
#include "audio/source_list_ui.h"

class QWidget;

namespace tembrel::app {

class WidgetSourceListUi : public SourceListUi {
public:
    // Often enough to read as live and to answer Cancel at once, seldom
    // enough that drawing costs little beside probing the files.
    static constexpr int kRefreshMs = 100;

    // appendRow returns the new row's index; bringIntoView scrolls the list
    // to a row.
    WidgetSourceListUi(QWidget* owner, std::function<int(const SourceRowTexts&)> appendRow,
                       std::function<void(int row)> bringIntoView = {});
    ~WidgetSourceListUi() override;
    WidgetSourceListUi(const WidgetSourceListUi&) = delete;
    WidgetSourceListUi& operator=(const WidgetSourceListUi&) = delete;

    // Shows the adding-files window with "Searching files..." before a
    // folder scan or a drop; the batch's OpenProgress then reuses it.
    void OpenSearching();

    int AppendRow(const SourceRowTexts& texts) override;
    void OpenProgress(int pathCount) override;
    void CloseProgress() override;
    void SetProgressText(const std::string& text) override;
    void StepProgress() override;
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    void PumpMessages() override;
    bool CancelRequested() const override;

    // The open window, if any.
    ProgressWindow* Window() const { return window_; }

private:
    void EnsureWindow();
    // Whether the window is due to show the batch's progress again.
    bool RefreshDue() const;
    // The newest row into view, then the events waiting (the window drawn).
    void Refresh();

    QPointer<QWidget> owner_;
    std::function<int(const SourceRowTexts&)> appendRow_;
    std::function<void(int)> bringIntoView_;
    QPointer<ProgressWindow> window_;
    // The batch's bar position and the newest row not yet brought into view.
    int position_ = 0;
    int unseenRow_ = -1;
    // Since the window last took a file's text; invalid: due at once.
    QElapsedTimer sinceShown_;
    // A file's text was taken: its step and the events after it follow.
    bool showing_ = false;
};

}  // namespace tembrel::app
