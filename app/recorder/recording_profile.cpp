#include "app/recorder/recording_profile.h"

#include <QSettings>

#include "recorder/recording_quality.h"

namespace tembrel::app {

namespace {

constexpr char kKey[] = "Options/RecQuality";

QSettings Profile() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "Tembrel", "tembrel"); }

}  // namespace

int LoadRecordingQuality() {
    bool ok = false;
    const int code = Profile().value(kKey, kDefaultRecordingQuality).toInt(&ok);
    return ok ? code : kDefaultRecordingQuality;
}

void SaveRecordingQuality(int code) {
    QSettings profile = Profile();
    profile.setValue(kKey, code);
    profile.sync();
}

}  // namespace tembrel::app
