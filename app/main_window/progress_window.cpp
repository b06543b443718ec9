#include "app/main_window/progress_window.h"

#include <algorithm>

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

#include "app/widgets/dialog_units.h"
#include "app/widgets/message_box.h"

namespace tembrel::app {

namespace {

QProgressBar* MakeBar(QWidget* parent, const QRect& geometry) {
    auto* bar = new QProgressBar(parent);
    bar->setGeometry(geometry);
    bar->setTextVisible(false);
    bar->setRange(0, 1);
    bar->setValue(0);
    return bar;
}

QLabel* MakeText(QWidget* parent, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);  // file names are never markup
    return label;
}

}  // namespace

ProgressWindow::ProgressWindow(Kind kind, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint), kind_(kind) {
    const QFont font = DialogFont();
    setFont(font);
    setWindowTitle(kCaption);
    auto at = [&font](int x, int y, int w, int h) { return DialogUnitsToPixels(font, QRect(x, y, w, h)); };

    text_ = MakeText(this, at(7, 7, 306, 8));
    bar_ = MakeBar(this, at(7, 18, 306, 13));
    if (kind == Kind::Conversion) {
        overallText_ = MakeText(this, at(7, 39, 306, 8));
        overallBar_ = MakeBar(this, at(7, 50, 306, 13));
    }
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setGeometry(kind == Kind::Conversion ? at(135, 72, 50, 16) : at(134, 39, 50, 16));
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &ProgressWindow::RequestCancel);

    setFixedSize(kind == Kind::Conversion ? DialogUnitsToPixels(font, 320, 95) : DialogUnitsToPixels(font, 320, 62));
}

void ProgressWindow::SetText(const QString& text) { text_->setText(text); }
void ProgressWindow::SetBarRange(int maximum) { bar_->setRange(0, std::max(maximum, 1)); }
void ProgressWindow::SetBarPosition(int position) { bar_->setValue(std::clamp(position, 0, bar_->maximum())); }
void ProgressWindow::StepBar() { SetBarPosition(bar_->value() + 1); }

void ProgressWindow::SetOverallText(const QString& text) {
    if (overallText_) overallText_->setText(text);
}
void ProgressWindow::SetOverallRange(int maximum) {
    if (overallBar_) overallBar_->setRange(0, std::max(maximum, 1));
}
void ProgressWindow::SetOverallPosition(int position) {
    if (overallBar_) overallBar_->setValue(std::clamp(position, 0, overallBar_->maximum()));
}

QString ProgressWindow::Text() const { return text_->text(); }
QString ProgressWindow::OverallText() const { return overallText_ ? overallText_->text() : QString(); }
int ProgressWindow::BarPosition() const { return bar_->value(); }

void ProgressWindow::Finish() {
    finishing_ = true;
    done(QDialog::Accepted);
}

void ProgressWindow::RequestCancel() {
    if (cancelRequested_) return;
    cancelRequested_ = true;
    emit cancelRequested();
}

void ProgressWindow::RequestClose() {
    closeRequested_ = true;
    RequestCancel();
}

void ProgressWindow::reject() { RequestCancel(); }

void ProgressWindow::closeEvent(QCloseEvent* event) {
    // The base class would take a close for a rejection, which here means Cancel.
    if (finishing_) {
        event->accept();
        return;
    }
    event->ignore();
    RequestCancel();
}

void ProgressWindow::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->window()->geometry();
        move(frame.center() - rect().center());
    }
    QDialog::showEvent(event);
}

}  // namespace tembrel::app
