#pragma once
// What the desktop program's widget tests share: the one QApplication of the
// test program, made the way the Flash view needs it, and waiting on the
// event loop.
#include <functional>

#include <QApplication>

namespace tembrel::test {

// The test program's QApplication, made on first use and kept to the end.
// Qt WebEngine is prepared before it exists, so web views work whichever
// test happens to run first.
QApplication& TestApplication();

// Processes events until `done` holds; false once `limitMs` has passed.
bool WaitFor(const std::function<bool()>& done, int limitMs = 60000);

// Runs `open`, which shows a file dialog, cancels the dialog and gives the
// filter names its list of file types showed.
QStringList FileDialogFilterNames(const std::function<void()>& open);

}  // namespace tembrel::test
