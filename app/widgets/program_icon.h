#pragma once
// The program's icon, for its windows (resources/tembrel.qrc, also at
// ":/tembrel/icon.png" once ProgramIcon() has been called).
#include <QIcon>

namespace tembrel::app {

QIcon ProgramIcon();

}  // namespace tembrel::app
