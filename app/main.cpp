// tembrel: the desktop program. Files and folders named on the command line
// are added to the list at start.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/help/about_dialog.h"
#include "app/application_startup.h"
#include "app/desktop/desktop_hooks.h"
#include "app/preview/flash_view.h"
#include "app/widgets/program_style.h"

namespace {

constexpr char kUsage[] =
    "Usage: tembrel [FILE|FOLDER...]\n"
    "Opens Tembrel, the sound to Flash converter, with the sound files named and\n"
    "those found in the folders named (searched with their subfolders) in its list.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "The options are stored under $XDG_CONFIG_HOME/Tembrel/ (~/.config/Tembrel/)\n"
    "and shared with tembrel-convert, the command-line converter.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before anything of Qt starts, so that they work without a
    // display (the manual page is made from them at build time). A file
    // named like an option is reached with "./--help".
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tembrel (%s)\n", tembrel::app::kVersionLine);
            return 0;
        }
    }
    // Before the application exists: the Flash view's web engine settings
    // (shared GL contexts, its sandbox rule).
    tembrel::app::PrepareWebEngine();
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tembrel");
    QApplication::setStyle(new tembrel::app::ProgramStyle);  // the application owns it
    // argv as the application left it (its own options taken out), in
    // bytes: QApplication::arguments() would decode the names lossily.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return tembrel::app::RunApplication(tembrel::app::StartupItems(arguments), tembrel::app::DesktopHooks());
}
