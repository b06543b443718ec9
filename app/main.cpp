// tembrel: the desktop program. Files and folders named on the command line
// are added to the list at start.
#include <QApplication>

#include "app/application_startup.h"
#include "app/desktop_hooks.h"
#include "app/flash_view.h"
#include "app/program_style.h"

int main(int argc, char** argv) {
    // Before the application exists: the Flash view's web engine settings
    // (shared GL contexts, its sandbox rule).
    tembrel::app::PrepareWebEngine();
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tembrel");
    QApplication::setStyle(new tembrel::app::ProgramStyle);  // the application owns it
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    return tembrel::app::RunApplication(tembrel::app::StartupItems(arguments), tembrel::app::DesktopHooks());
}
