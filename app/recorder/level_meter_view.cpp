#include "app/recorder/level_meter_view.h"

#include <algorithm>
#include <iterator>

#include <QPainter>

namespace tembrel::app {

namespace {

constexpr int kBarWidth = 7;
constexpr int kGap = 3;
constexpr int kMarkHeight = 6;  // the clip mark, above the bar

// 0 at the floor, 1 at full scale.
double Fraction(double db) { return (db - kLevelFloorDb) / -kLevelFloorDb; }

}  // namespace

LevelMeterView::LevelMeterView(QWidget* parent) : QWidget(parent) {
    setToolTip("Input level");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize LevelMeterView::sizeHint() const { return {2 * kBarWidth + 3 * kGap, 100}; }

void LevelMeterView::Show(const std::vector<ChannelLevel>& levels) {
    levels_ = levels;
    ++refreshes_;
    update();
}

void LevelMeterView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int top = kMarkHeight + kGap;
    const int height = std::max(this->height() - top, 1);
    for (std::size_t c = 0; c < levels_.size(); ++c) {
        const ChannelLevel& level = levels_[c];
        const int x = kGap + int(c) * (kBarWidth + kGap);
        const QRect trough(x, top, kBarWidth, height);
        painter.fillRect(trough, Qt::black);
        const int lit = int(Fraction(level.peakDb) * height + 0.5);
        // Green up to -12 dB, yellow to -3 dB, red above.
        const struct {
            double fromDb;
            QColor colour;
        } zones[] = {{kLevelFloorDb, QColor(0, 200, 0)}, {-12, QColor(230, 210, 0)}, {-3, QColor(230, 0, 0)}};
        for (std::size_t z = 0; z < std::size(zones); ++z) {
            const int from = int(Fraction(zones[z].fromDb) * height + 0.5);
            const int to = z + 1 < std::size(zones) ? int(Fraction(zones[z + 1].fromDb) * height + 0.5) : height;
            const int upTo = std::min(lit, to);
            if (upTo > from) painter.fillRect(x, top + height - upTo, kBarWidth, upTo - from, zones[z].colour);
        }
        const int hold = int(Fraction(level.holdDb) * height + 0.5);
        if (hold > 0) painter.fillRect(x, top + height - hold, kBarWidth, 2, Qt::white);
        painter.fillRect(x, 0, kBarWidth, kMarkHeight, level.clipped ? QColor(255, 0, 0) : QColor(60, 0, 0));
    }
}

}  // namespace tembrel::app
