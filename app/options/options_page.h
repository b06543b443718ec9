#pragma once
// What the options sheet asks of each of its pages.
#include <QWidget>

#include "engine/conversion_settings.h"

namespace tembrel::app {

class StepSpinButton;

class OptionsPage : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;
    // Checks the page's values when it is left or OK is pressed; false (after
    // telling the user) keeps the page open.
    virtual bool Validate() = 0;
    // Copies the page's values into settings; false keeps the sheet open.
    virtual bool Apply(ConversionSettings& settings) = 0;
};

// The number in a page's edit, or a message and the focus on the edit when
// it holds none or one outside lower..upper.
bool ReadNumber(StepSpinButton* edit, std::int32_t lower, std::int32_t upper, std::int32_t& value);
bool ReadNumber(StepSpinButton* edit, std::int32_t& value);

}  // namespace tembrel::app
