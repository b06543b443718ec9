#pragma once
// Where new rows come from: the open dialog, the folder dialog and items
// dropped on the window. These only choose and collect paths; probing and
// adding them is the source file list's job.
#include <optional>
#include <string>
#include <vector>

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace tembrel::app {

// The open dialog's filters, "All Supported Files" first, in Qt's form
// "Display text (patterns separated by blanks)".
QStringList SourceFileFilters();

// The open dialog (several existing files), as the names' bytes on disk;
// nothing chosen on Cancel.
std::vector<std::string> ChooseSourceFiles(QWidget* parent);

// "Please choose a folder:" starting at `remembered`; the chosen folder with
// a trailing "/", or nothing on Cancel.
std::optional<std::string> ChooseSourceFolder(QWidget* parent, const std::string& remembered);

// Dropped items in order: folders scanned (parents' files first), files with
// a supported extension taken, links followed to such files; the rest left.
std::vector<std::string> CollectDroppedPaths(const QList<QUrl>& urls);

}  // namespace tembrel::app
