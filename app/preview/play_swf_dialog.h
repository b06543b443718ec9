#pragma once
// "Play SWF": a produced movie playing in the Flash view until the dialog
// closes.
#include <string>

#include <QDialog>
#include <QString>

#include "platform/program_folder.h"
#include "swf/colour_ref.h"

namespace tembrel::app {

class FlashView;

class PlaySwfDialog : public QDialog {
    Q_OBJECT
public:
    // What exec() returns when there is no Flash view to play in.
    static constexpr int kNoPlayer = 3;

    PlaySwfDialog(QWidget* parent, const QString& movieAddress, ColourRef background,
                  const std::string& programFolder = ProgramFolder());

    // 1 for Enter, 2 for Escape or the close box, kNoPlayer without a view.
    int exec() override;
    void reject() override { done(2); }

    FlashView* View() const { return view_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Enter and Escape pressed inside the web view end the dialog too: the
    // view hands every key to the movie and never passes them on.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FlashView* view_ = nullptr;
};

}  // namespace tembrel::app
