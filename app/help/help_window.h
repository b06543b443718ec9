#pragma once
// The program's help: its own pages from the program folder's help/, shown
// in one top-level window titled "Tembrel Help".
#include <QString>

class QWidget;

namespace tembrel::app {

// Opens the help window on page (a file in the help folder) at anchor, or
// brings the open one to the front (restored when minimised, raised,
// activated) and shows that page there. maximised: shown maximised.
void ShowHelp(const QString& page = QStringLiteral("index.html"), const QString& anchor = {}, bool maximised = false);
// Help Topics: opens the help window on its contents (maximised: shown
// maximised), or brings the open one to the front on the page it shows.
void ShowHelpTopics(bool maximised = false);
// Closes the help window if it is open (the main window does so at exit).
void CloseHelpWindow();
// The open help window, or nullptr.
QWidget* HelpWindow();

// The folder the pages are read from; an empty folder restores the program
// folder's help/.
void SetHelpFolderForTesting(const QString& folder);

}  // namespace tembrel::app
