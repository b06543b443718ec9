#pragma once
// Adding files in the window: rows go to the list through a callback, a
// batch shows the adding-files progress window with the owner disabled, and
// the closing message is a message box.
#include <functional>
#include <string>

#include <QPointer>

#include "app/progress_window.h"
#include "audio/source_list_ui.h"

class QWidget;

namespace tembrel::app {

class WidgetSourceListUi : public SourceListUi {
public:
    WidgetSourceListUi(QWidget* owner, std::function<int(const SourceRowTexts&)> appendRow);
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

    QPointer<QWidget> owner_;
    std::function<int(const SourceRowTexts&)> appendRow_;
    QPointer<ProgressWindow> window_;
};

}  // namespace tembrel::app
