#include "app/app_test_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QTimer>

#include "app/application_startup.h"
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

app::MainDialog* ShownMainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<app::MainDialog*>(widget); window && window->isVisible()) return window;
    return nullptr;
}

int RunProgram(const std::vector<std::string>& items, app::MainWindowHooks hooks, const std::function<void()>& step,
               int limitMs) {
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, step);
    driver.start(5);
    bool gaveUp = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&] {
        gaveUp = true;
        QCoreApplication::exit(-1);
    });
    limit.start(limitMs);
    const int status = app::RunApplication(items, std::move(hooks));
    return gaveUp ? -1 : status;
}

QStringList FileDialogFilterNames(const std::function<void()>& open) {
    QStringList shown;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        if (auto* types = dialog->findChild<QComboBox*>("fileTypeCombo"))
            for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
        dialog->reject();
    });
    user.start(5);
    open();
    return shown;
}

}  // namespace tembrel::test
