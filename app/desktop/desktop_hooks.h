#pragma once
// The main window's dialogs as the desktop program runs them: the options
// sheet, the recorder, the Flash view's Play SWF, and the help window.
#include "app/main_window/main_window.h"

namespace tembrel::app {

MainWindowHooks DesktopHooks();

}  // namespace tembrel::app
