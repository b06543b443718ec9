#pragma once
// A small clickable square filled with one colour.
#include <QAbstractButton>

#include "swf/colour_ref.h"

namespace tembrel::app {

class ColourSwatch : public QAbstractButton {
    Q_OBJECT

public:
    explicit ColourSwatch(QWidget* parent = nullptr);
    void SetColour(ColourRef colour);
    ColourRef Colour() const { return colour_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColourRef colour_ = 0;
};

}  // namespace tembrel::app
