#include "app/play_swf_dialog.h"

#include <QKeyEvent>

#include "app/dialog_units.h"
#include "app/flash_view.h"

namespace tembrel::app {

PlaySwfDialog::PlaySwfDialog(QWidget* parent, const QString& movieAddress, ColourRef background,
                             const std::string& programFolder)
    : QDialog(parent) {
    setWindowTitle("Play SWF");
    setFont(DialogFont());
    const QRect movie = DialogUnitsToPixels(font(), QRect(4, 4, 364, 53));
    // As much room below the movie as above it, and beside it.
    setFixedSize(movie.right() + 1 + movie.left(), movie.bottom() + 1 + movie.top());
    view_ = FlashView::Create(this, programFolder);
    if (!view_) return;
    view_->setGeometry(movie);
    view_->LoadMovie(movieAddress);
    view_->SetBackgroundColor(QString::fromStdString(ColourToHex(background)));
}

int PlaySwfDialog::exec() { return view_ ? QDialog::exec() : kNoPlayer; }

void PlaySwfDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        done(1);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace tembrel::app
