#pragma once
// The two progress windows: a conversion's (per-file text and bar, overall
// text and bar, Cancel) and adding files' (one text, one bar, Cancel). No
// caption; laid out in dialog units and centred on the owner when shown.
// Cancel, Escape and closing the window only raise the cancel flag: the
// work in progress decides when the window goes.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tembrel::app {

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Conversion, AddingFiles };

    ProgressWindow(Kind kind, QWidget* owner);

    Kind WindowKind() const { return kind_; }

    // The top line: the file in work (conversion) or the batch's text.
    void SetText(const QString& text);
    void SetBarRange(int maximum);
    void SetBarPosition(int position);
    void StepBar();

    // The overall line; only the conversion window has one.
    void SetOverallText(const QString& text);
    void SetOverallRange(int maximum);
    void SetOverallPosition(int position);

    QString Text() const;
    QString OverallText() const;
    int BarPosition() const;
    QPushButton* CancelButton() const { return cancel_; }

    bool CancelRequested() const { return cancelRequested_; }
    // What Cancel, Escape and closing the window do.
    void RequestCancel();
    // The program is closing (its window closed, a signal): cancels, and
    // the run opens nothing on the desktop when it has ended.
    void RequestClose();
    bool CloseRequested() const { return closeRequested_; }
    // Closes the window for good (the only way besides destruction).
    void Finish();

signals:
    // Raised once, the first time the user asks to cancel.
    void cancelRequested();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:

    const Kind kind_;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* overallText_ = nullptr;
    QProgressBar* overallBar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool cancelRequested_ = false;
    bool closeRequested_ = false;
    bool finishing_ = false;
};

}  // namespace tembrel::app
