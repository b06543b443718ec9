#pragma once
// Dialog layouts are given in dialog units: a quarter of the dialog font's
// average character width across, an eighth of its height down, so that a
// dialog grows with its font.
#include <QFont>
#include <QRect>
#include <QSize>

namespace tembrel::app {

// The dialog font: "Tahoma" 8 pt, or the desktop's sans-serif at that size
// where Tahoma is not installed.
QFont DialogFont();

// The font's base units in pixels: average width of the alphabet's letters,
// and the line height.
QSize DialogBaseUnits(const QFont& font);

QSize DialogUnitsToPixels(const QFont& font, int width, int height);
QRect DialogUnitsToPixels(const QFont& font, const QRect& dialogUnits);

}  // namespace tembrel::app
