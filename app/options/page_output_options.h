#pragma once
// "Output Options": where the SWF files go, what happens when one exists,
// and where the pages' Flash player comes from.
#include "app/options/options_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tembrel::app {

class CPageOutputOpt : public OptionsPage {
    Q_OBJECT

public:
    explicit CPageOutputOpt(const ConversionSettings& settings, QWidget* parent = nullptr);
    bool Validate() override;
    bool Apply(ConversionSettings& settings) override;

private:
    void EnableCustomFolder();
    void BrowseFolder();

    QComboBox* outputFolder_;
    QLineEdit* customFolder_;
    QPushButton* browse_;
    QCheckBox* createDirs_;
    QLabel* createDirsExample_;
    QComboBox* targetExists_;
    QCheckBox* myDocuments_;
    QCheckBox* browseOutput_;
    QComboBox* pageRuffle_;
};

}  // namespace tembrel::app
