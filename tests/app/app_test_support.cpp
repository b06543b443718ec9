#include "app/app_test_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QTimer>

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
