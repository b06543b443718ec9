#include "app/desktop/desktop_hooks.h"

#include <QApplication>

#include "app/help/help_window.h"
#include "app/options/options_sheet.h"
#include "app/options/page_swf_options.h"
#include "app/preview/play_swf_command.h"
#include "app/recorder/recorder_dialog.h"
#include "platform/qt_settings_store.h"

namespace tembrel::app {

MainWindowHooks DesktopHooks() {
    // The options sheet's link to the FAQ opens in the program's help window.
    // It opens maximised, under a wait cursor while the page loads.
    CPageSWFOpt::SetHelpHook([](const QString& page, const QString& anchor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ShowHelp(page, anchor, true);
        QApplication::restoreOverrideCursor();
    });

    MainWindowHooks hooks;
    hooks.runOptions = [](QWidget* parent, ConversionSettings& settings, int& activePage) {
        QtSettingsStore store;
        return RunOptionsSheet(parent, settings, activePage, store);
    };
    hooks.runRecorder = [](QWidget* parent) { return RunRecorderDialog(parent); };
    hooks.playSwf = [](QWidget* parent, const SourceFileEntry& row, const ConversionSettings& settings,
                       std::uint32_t lastDurationSeconds) {
        PlaySwfCommand(parent, row, settings, lastDurationSeconds);
    };
    hooks.showHelp = [](bool maximised) { ShowHelpTopics(maximised); };
    hooks.closeHelp = [] { CloseHelpWindow(); };
    return hooks;
}

}  // namespace tembrel::app
