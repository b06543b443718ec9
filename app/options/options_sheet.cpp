#include "app/options/options_sheet.h"

#include <QDialogButtonBox>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/widgets/dialog_units.h"
#include "app/options/page_mp3_options.h"
#include "app/options/page_output_options.h"
#include "app/options/page_swf_options.h"
#include "engine/settings_persistence.h"
#include "platform/program_folder.h"

namespace tembrel::app {

CSheetOptions::CSheetOptions(const ConversionSettings& settings, int startPage, const std::string& programFolder,
                             QWidget* parent)
    : QDialog(parent), result_(settings) {
    setWindowTitle("Options");
    // Modal to its window only: the help its FAQ link opens is a window of
    // its own and must take input while the sheet is open.
    setWindowModality(Qt::WindowModal);
    setFont(DialogFont());
    tabs_ = new QTabWidget(this);
    pages_[kSwfPage] = new CPageSWFOpt(settings, programFolder, tabs_);
    pages_[kSoundPage] = new CPageMP3Opt(settings, tabs_);
    pages_[kOutputPage] = new CPageOutputOpt(settings, tabs_);
    tabs_->addTab(pages_[kSwfPage], "SWF Options");
    tabs_->addTab(pages_[kSoundPage], "Sound Options");
    tabs_->addTab(pages_[kOutputPage], "Output Options");
    shownPage_ = startPage >= 0 && startPage < kPageCount ? startPage : kSwfPage;
    tabs_->setCurrentIndex(shownPage_);
    connect(tabs_, &QTabWidget::currentChanged, this, &CSheetOptions::PageChanged);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSheetOptions::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSheetOptions::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

int CSheetOptions::ActivePage() const { return tabs_->currentIndex(); }

void CSheetOptions::PageChanged(int index) {
    // A page with a value it refuses is not left.
    if (index != shownPage_ && !pages_[shownPage_]->Validate()) {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(shownPage_);
        return;
    }
    shownPage_ = index;
}

void CSheetOptions::accept() {
    if (!pages_[shownPage_]->Validate()) return;
    ConversionSettings edited = result_;
    for (int i = 0; i < kPageCount; ++i) {
        if (!pages_[i]->Apply(edited)) {
            const QSignalBlocker block(tabs_);
            tabs_->setCurrentIndex(i);
            shownPage_ = i;
            return;
        }
    }
    result_ = edited;
    QDialog::accept();
}

bool RunOptionsSheet(QWidget* parent, ConversionSettings& settings, int& activePage, SettingsStore& store,
                     const std::string& programFolder) {
    bool accepted = false;
    {
        CSheetOptions sheet(settings, activePage, programFolder, parent);
        accepted = sheet.exec() == QDialog::Accepted;
        activePage = sheet.ActivePage();
        if (accepted) settings = sheet.Result();
    }  // the sheet and its preview file are gone before anything is saved
    if (accepted) SaveSettings(store, settings, kSaveOptions);
    return accepted;
}

bool RunOptionsSheet(QWidget* parent, ConversionSettings& settings, int& activePage, SettingsStore& store) {
    return RunOptionsSheet(parent, settings, activePage, store, ProgramFolder());
}

}  // namespace tembrel::app
