// tembrel: the desktop program. Files and folders named on the command line
// are added to the list at start.
#include <QApplication>

#include "app/application_startup.h"

int main(int argc, char** argv) {
    // The web engine behind the Flash view shares its GL context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tembrel");
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    return tembrel::app::RunApplication(tembrel::app::StartupItems(arguments), {});
}
