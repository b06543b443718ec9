#include "app/main_window/widget_source_list_ui.h"

#include <QCoreApplication>
#include <QWidget>

#include "app/widgets/message_box.h"

namespace tembrel::app {

WidgetSourceListUi::WidgetSourceListUi(QWidget* owner, std::function<int(const SourceRowTexts&)> appendRow,
                                       std::function<void(int row)> bringIntoView)
    : owner_(owner), appendRow_(std::move(appendRow)), bringIntoView_(std::move(bringIntoView)) {}

WidgetSourceListUi::~WidgetSourceListUi() {
    if (window_) CloseProgress();
}

void WidgetSourceListUi::EnsureWindow() {
    if (window_) return;
    if (owner_) owner_->setEnabled(false);
    window_ = new ProgressWindow(ProgressWindow::Kind::AddingFiles, owner_);
    // Disabling an owner disables its child windows too; this one takes input whatever the order.
    window_->setEnabled(true);
    window_->show();
}

void WidgetSourceListUi::OpenSearching() {
    EnsureWindow();
    window_->SetText(QStringLiteral("Searching files..."));
    Refresh();
}

int WidgetSourceListUi::AppendRow(const SourceRowTexts& texts) {
    const int row = appendRow_ ? appendRow_(texts) : -1;
    if (row < 0) return row;
    // A single file outside a batch comes into view at once; a batch's rows
    // when the window next shows its progress.
    if (window_) unseenRow_ = row;
    else if (bringIntoView_) bringIntoView_(row);
    return row;
}

void WidgetSourceListUi::OpenProgress(int pathCount) {
    EnsureWindow();
    window_->SetBarRange(pathCount);
    window_->SetBarPosition(0);
    position_ = 0;
    sinceShown_.invalidate();  // the first file shows at once
}

void WidgetSourceListUi::CloseProgress() {
    if (unseenRow_ >= 0 && bringIntoView_) bringIntoView_(unseenRow_);
    unseenRow_ = -1;
    if (window_) {
        window_->Finish();
        delete window_.data();
    }
    if (owner_) owner_->setEnabled(true);
}

bool WidgetSourceListUi::RefreshDue() const {
    return !sinceShown_.isValid() || sinceShown_.elapsed() >= kRefreshMs;
}

// The file in work and the bar are taken when the window is due, so that
// what it shows belongs to one file; in between the steps are only counted.
void WidgetSourceListUi::SetProgressText(const std::string& text) {
    if (!window_ || !RefreshDue()) return;
    window_->SetText(QString::fromStdString(text));
    sinceShown_.start();
    showing_ = true;
}

void WidgetSourceListUi::StepProgress() {
    ++position_;
    if (window_ && showing_) window_->SetBarPosition(position_);
}

void WidgetSourceListUi::ShowMessage(const std::string& text, MessageIcon icon) {
    app::ShowMessage(owner_, QString::fromStdString(text), icon);
}

// After a file whose text was taken, or one that took longer than the
// interval by itself.
void WidgetSourceListUi::PumpMessages() {
    if (showing_ || RefreshDue()) Refresh();
}

void WidgetSourceListUi::Refresh() {
    showing_ = false;
    if (unseenRow_ >= 0 && bringIntoView_) bringIntoView_(unseenRow_);
    unseenRow_ = -1;
    QCoreApplication::processEvents();
}

bool WidgetSourceListUi::CancelRequested() const { return window_ && window_->CancelRequested(); }

}  // namespace tembrel::app
