#pragma once
// The Record dialog's level meter: one vertical bar per channel of the open
// input, its hold as a line, and a red mark above a bar that clipped. It
// only draws what it is shown; the dialog does the measuring.
#include <vector>

#include <QWidget>

#include "recorder/level_meter.h"

namespace tembrel::app {

class LevelMeterView : public QWidget {
    Q_OBJECT
public:
    explicit LevelMeterView(QWidget* parent = nullptr);

    // Repaints with these levels (none: no input, an empty meter).
    void Show(const std::vector<ChannelLevel>& levels);
    const std::vector<ChannelLevel>& Shown() const { return levels_; }
    // How many times it has been shown levels, for a check of its pace.
    int Refreshes() const { return refreshes_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<ChannelLevel> levels_;
    int refreshes_ = 0;
};

}  // namespace tembrel::app
