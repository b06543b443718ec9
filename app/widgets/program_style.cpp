#include "app/widgets/program_style.h"

namespace tembrel::app {

int ProgramStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const {
    if (hint == SH_ToolTip_WakeUpDelay) return kToolTipDelayMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

}  // namespace tembrel::app
