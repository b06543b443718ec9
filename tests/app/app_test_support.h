#pragma once
// What the desktop program's widget tests share: the one QApplication of the
// test program, made the way the Flash view needs it, waiting on the event
// loop, and the program run as main() runs it.
#include <functional>
#include <string>
#include <vector>

#include <QApplication>

#include "app/main_window/main_window.h"

namespace tembrel::test {

// The test program's QApplication, made on first use and kept to the end.
// Qt WebEngine is prepared before it exists, so web views work whichever
// test happens to run first.
QApplication& TestApplication();

// Processes events until `done` holds; false once `limitMs` has passed.
bool WaitFor(const std::function<bool()>& done, int limitMs = 60000);

// The main window while it is shown, else null.
app::MainDialog* ShownMainWindow();

// Runs the program as main() does, with `step` called every few
// milliseconds until the program ends; its exit status, or -1 when it had
// not ended after `limitMs`.
int RunProgram(const std::vector<std::string>& items, app::MainWindowHooks hooks, const std::function<void()>& step,
               int limitMs = 120000);

// Runs `open`, which shows a file dialog, cancels the dialog and gives the
// filter names its list of file types showed.
QStringList FileDialogFilterNames(const std::function<void()>& open);

}  // namespace tembrel::test
