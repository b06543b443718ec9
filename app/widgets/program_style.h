#pragma once
// The desktop's own style with the program's tooltip timing: tips show
// after 300 ms.
#include <QProxyStyle>

namespace tembrel::app {

class ProgramStyle : public QProxyStyle {
public:
    static constexpr int kToolTipDelayMs = 300;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

}  // namespace tembrel::app
