#include "app/widgets/colour_swatch.h"

#include <QPainter>

namespace tembrel::app {

ColourSwatch::ColourSwatch(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void ColourSwatch::SetColour(ColourRef colour) {
    colour_ = colour;
    update();
}

QSize ColourSwatch::sizeHint() const { return {22, 18}; }

void ColourSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(RedOf(colour_), GreenOf(colour_), BlueOf(colour_)));
    painter.setPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tembrel::app
