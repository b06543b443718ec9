#pragma once
// "About Tembrel": the version line, the update check, Tell a Friend, and
// links to the homepage and to support.
#include <QDialog>

namespace tembrel::app {

inline constexpr char kVersionLine[] = "Tembrel v3.0 build 968";

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace tembrel::app
