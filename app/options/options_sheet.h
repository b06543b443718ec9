#pragma once
// The Options command's sheet: the SWF, Sound and Output pages on tabs,
// OK and Cancel.
#include <string>

#include <QDialog>

#include "engine/conversion_settings.h"
#include "platform/settings_store.h"

class QTabWidget;

namespace tembrel::app {

class OptionsPage;

class CSheetOptions : public QDialog {
    Q_OBJECT

public:
    enum Page { kSwfPage, kSoundPage, kOutputPage, kPageCount };

    // The pages edit a copy of settings; templates come from programFolder.
    CSheetOptions(const ConversionSettings& settings, int startPage, const std::string& programFolder,
                  QWidget* parent = nullptr);

    int ActivePage() const;
    // The settings as the pages left them, after OK.
    const ConversionSettings& Result() const { return result_; }
    OptionsPage* PageAt(int index) const { return pages_[index]; }

    void accept() override;

private:
    void PageChanged(int index);

    ConversionSettings result_;
    QTabWidget* tabs_;
    OptionsPage* pages_[kPageCount] = {};
    int shownPage_ = 0;
};

// Runs the sheet modally on page activePage (updated to the page active at
// closing, whether OK or Cancel). On OK the values go back into settings and
// are saved to store; true. Cancel saves nothing and returns false; the
// gradient and track-bar factors are edited in place and stay as the
// sliders left them.
bool RunOptionsSheet(QWidget* parent, ConversionSettings& settings, int& activePage, SettingsStore& store);
// The same with the templates of another program folder.
bool RunOptionsSheet(QWidget* parent, ConversionSettings& settings, int& activePage, SettingsStore& store,
                     const std::string& programFolder);

}  // namespace tembrel::app
