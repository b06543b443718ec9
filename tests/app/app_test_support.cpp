#include "app/app_test_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

#include "app/preview/flash_view.h"

namespace tembrel::test {

QApplication& TestApplication() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    app::PrepareWebEngine();
    return *new QApplication(argc, argv);  // lives as long as the test program
}

bool WaitFor(const std::function<bool()>& done, int limitMs) {
    const QDeadlineTimer deadline(limitMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

}  // namespace tembrel::test
