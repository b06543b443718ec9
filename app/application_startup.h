#pragma once
// From the process's start to the main window and back out.
#include <string>
#include <vector>

#include "app/main_window/main_window.h"
#include "platform/settings_store.h"

namespace tembrel::app {

// True on the first run: "FirstRun" missing or nonzero (or the store cannot
// be written), and then set to 0 for the next start.
bool TakeFirstRun(SettingsStore& store);

// Command-line items as full paths (relative ones from the current folder),
// their bytes as given: a name need not be UTF-8.
std::vector<std::string> StartupItems(const std::vector<std::string>& arguments);

// Starts the decoding library (its failure message and status 1 when it
// cannot), runs the main window with `items` added once it shows, and shuts
// the decoding library down. A QApplication must exist.
int RunApplication(const std::vector<std::string>& items, MainWindowHooks hooks);

}  // namespace tembrel::app
