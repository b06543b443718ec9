#include "app/preview/play_swf_dialog.h"

#include <QApplication>
#include <QKeyEvent>

#include "app/widgets/dialog_units.h"
#include "app/preview/flash_view.h"

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
    // The key reaches the view's inner widgets only: it is taken on its way.
    qApp->installEventFilter(this);
    view_->LoadMovie(movieAddress);
    view_->SetBackgroundColor(QString::fromStdString(ColourToHex(background)));
}

bool PlaySwfDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget == this || !isAncestorOf(widget)) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
        reject();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        done(1);
        return true;
    }
    return false;
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
