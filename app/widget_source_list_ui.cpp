#include "app/widget_source_list_ui.h"

#include <QCoreApplication>
#include <QWidget>

#include "app/message_box.h"

namespace tembrel::app {

WidgetSourceListUi::WidgetSourceListUi(QWidget* owner, std::function<int(const SourceRowTexts&)> appendRow)
    : owner_(owner), appendRow_(std::move(appendRow)) {}

WidgetSourceListUi::~WidgetSourceListUi() {
    if (window_) CloseProgress();
}

void WidgetSourceListUi::EnsureWindow() {
    if (window_) return;
    if (owner_) owner_->setEnabled(false);
    window_ = new ProgressWindow(ProgressWindow::Kind::AddingFiles, owner_);
    // A window keeps its input while its owner is disabled only when enabled explicitly.
    window_->setEnabled(true);
    window_->show();
}

void WidgetSourceListUi::OpenSearching() {
    EnsureWindow();
    window_->SetText(QStringLiteral("Searching files..."));
    PumpMessages();
}

int WidgetSourceListUi::AppendRow(const SourceRowTexts& texts) { return appendRow_ ? appendRow_(texts) : -1; }

void WidgetSourceListUi::OpenProgress(int pathCount) {
    EnsureWindow();
    window_->SetBarRange(pathCount);
    window_->SetBarPosition(0);
}

void WidgetSourceListUi::CloseProgress() {
    if (window_) {
        window_->Finish();
        delete window_.data();
    }
    if (owner_) owner_->setEnabled(true);
}

void WidgetSourceListUi::SetProgressText(const std::string& text) {
    if (window_) window_->SetText(QString::fromStdString(text));
}

void WidgetSourceListUi::StepProgress() {
    if (window_) window_->StepBar();
}

void WidgetSourceListUi::ShowMessage(const std::string& text, MessageIcon icon) {
    app::ShowMessage(owner_, QString::fromStdString(text), icon);
}

void WidgetSourceListUi::PumpMessages() { QCoreApplication::processEvents(); }

bool WidgetSourceListUi::CancelRequested() const { return window_ && window_->CancelRequested(); }

}  // namespace tembrel::app
