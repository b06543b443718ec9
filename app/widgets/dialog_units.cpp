#include "app/widgets/dialog_units.h"

#include <QFontMetrics>

namespace tembrel::app {

namespace {

int Scaled(int units, int base, int divisor) { return (units * base + divisor / 2) / divisor; }

}  // namespace

QFont DialogFont() {
    QFont font("Tahoma");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QSize DialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QSize DialogUnitsToPixels(const QFont& font, int width, int height) {
    const QSize base = DialogBaseUnits(font);
    return {Scaled(width, base.width(), 4), Scaled(height, base.height(), 8)};
}

QRect DialogUnitsToPixels(const QFont& font, const QRect& dialogUnits) {
    const QSize base = DialogBaseUnits(font);
    return {Scaled(dialogUnits.x(), base.width(), 4), Scaled(dialogUnits.y(), base.height(), 8),
            Scaled(dialogUnits.width(), base.width(), 4), Scaled(dialogUnits.height(), base.height(), 8)};
}

}  // namespace tembrel::app
