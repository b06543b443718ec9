#include "app/options/page_output_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/widgets/message_box.h"

namespace tembrel::app {
namespace {

void SelectOrFirst(QComboBox* list, int data) {
    const int i = list->findData(data);
    list->setCurrentIndex(i < 0 ? 0 : i);
}

}  // namespace

CPageOutputOpt::CPageOutputOpt(const ConversionSettings& s, QWidget* parent) : OptionsPage(parent) {
    outputFolder_ = new QComboBox(this);
    outputFolder_->setObjectName("outputFolder");
    outputFolder_->addItem("Same as original file", kOutputSameFolder);
    outputFolder_->addItem("Create a folder for each SWF file", kOutputFolderPerFile);
    outputFolder_->addItem("A custom folder", kOutputCustomFolder);
    customFolder_ = new QLineEdit(QString::fromStdString(s.SWFSpecifiedFolder), this);
    customFolder_->setObjectName("customFolder");
    browse_ = new QPushButton("&Browse", this);
    browse_->setObjectName("browseFolder");
    createDirs_ = new QCheckBox("&Create folders according to path of original file", this);
    createDirs_->setObjectName("createDirs");
    createDirs_->setChecked(s.CreateDirs != 0);
    createDirsExample_ =
        new QLabel("e.g. the SWF of /music/pop/song.mp3 goes to <custom folder>/music/pop/song.swf", this);
    createDirsExample_->setWordWrap(true);
    targetExists_ = new QComboBox(this);
    targetExists_->setObjectName("targetExists");
    targetExists_->addItem("Auto rename (add number at end of file name)", kTargetAutoRename);
    targetExists_->addItem("Overwrite", kTargetOverwrite);
    targetExists_->addItem("Skip (not convert)", kTargetSkip);
    myDocuments_ = new QCheckBox("Output files to &My Documents if creating file failure", this);
    myDocuments_->setObjectName("myDocuments");
    myDocuments_->setChecked(s.OutputFiles2MyDocuments != 0);
    browseOutput_ = new QCheckBox("Bro&wse output folder while conversion completes", this);
    browseOutput_->setObjectName("browseOutput");
    browseOutput_->setChecked(s.BrowseOutFolder != 0);
    pageRuffle_ = new QComboBox(this);
    pageRuffle_->setObjectName("pageRuffle");
    pageRuffle_->addItem("Ruffle beside the page (plays offline and from disk)", kPageRuffleBeside);
    pageRuffle_->addItem("Ruffle from the web", kPageRuffleFromWeb);

    auto* grid = new QGridLayout(this);
    auto* folderLabel = new QLabel("&Output folder:", this);
    folderLabel->setBuddy(outputFolder_);
    grid->addWidget(folderLabel, 0, 0);
    grid->addWidget(outputFolder_, 0, 1, 1, 2);
    auto* customLabel = new QLabel("Custom &folder:", this);
    customLabel->setBuddy(customFolder_);
    grid->addWidget(customLabel, 1, 0);
    grid->addWidget(customFolder_, 1, 1);
    grid->addWidget(browse_, 1, 2);
    grid->addWidget(createDirs_, 2, 0, 1, 3);
    grid->addWidget(createDirsExample_, 3, 1, 1, 2);
    auto* existsLabel = new QLabel("If target file &exists", this);
    existsLabel->setBuddy(targetExists_);
    grid->addWidget(existsLabel, 4, 0);
    grid->addWidget(targetExists_, 4, 1, 1, 2);
    grid->addWidget(myDocuments_, 5, 0, 1, 3);
    grid->addWidget(browseOutput_, 6, 0, 1, 3);
    auto* ruffleLabel = new QLabel("Flash &player on the page:", this);
    ruffleLabel->setBuddy(pageRuffle_);
    grid->addWidget(ruffleLabel, 7, 0);
    grid->addWidget(pageRuffle_, 7, 1, 1, 2);
    grid->setRowStretch(8, 1);

    SelectOrFirst(outputFolder_, s.SWFOutputFolderOpt);
    SelectOrFirst(targetExists_, s.TargetExistsOpt);
    SelectOrFirst(pageRuffle_, s.PageRuffleOpt);
    EnableCustomFolder();
    connect(outputFolder_, &QComboBox::currentIndexChanged, this, &CPageOutputOpt::EnableCustomFolder);
    connect(browse_, &QPushButton::clicked, this, &CPageOutputOpt::BrowseFolder);
}

void CPageOutputOpt::EnableCustomFolder() {
    const bool custom = outputFolder_->currentData().toInt() == kOutputCustomFolder;
    for (QWidget* w : {static_cast<QWidget*>(customFolder_), static_cast<QWidget*>(browse_),
                       static_cast<QWidget*>(createDirs_), static_cast<QWidget*>(createDirsExample_)})
        w->setEnabled(custom);
}

void CPageOutputOpt::BrowseFolder() {
    QString start = customFolder_->text();
    while (start.size() > 1 && start.endsWith('/')) start.chop(1);
    const QString folder = QFileDialog::getExistingDirectory(this, "Please choose a folder:", start);
    if (folder.isEmpty()) return;
    customFolder_->setText(folder.endsWith('/') ? folder : folder + '/');
}

bool CPageOutputOpt::Validate() {
    if (outputFolder_->currentData().toInt() == kOutputCustomFolder && customFolder_->text().isEmpty()) {
        ShowMessage(window(), "Please specify an output folder.", MessageIcon::Exclamation);
        customFolder_->setFocus();
        return false;
    }
    return true;
}

bool CPageOutputOpt::Apply(ConversionSettings& s) {
    if (!Validate()) return false;
    s.SWFOutputFolderOpt = outputFolder_->currentData().toInt();
    s.TargetExistsOpt = targetExists_->currentData().toInt();
    s.PageRuffleOpt = pageRuffle_->currentData().toInt();
    s.SWFSpecifiedFolder = customFolder_->text().toStdString();
    s.CreateDirs = createDirs_->isChecked() ? 1 : 0;
    s.OutputFiles2MyDocuments = myDocuments_->isChecked() ? 1 : 0;
    s.BrowseOutFolder = browseOutput_->isChecked() ? 1 : 0;
    return true;
}

}  // namespace tembrel::app
