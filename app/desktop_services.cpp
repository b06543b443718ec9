#include "app/desktop_services.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

#include "app/endpoints.h"
#include "platform/file_manager.h"

namespace tembrel::app {

namespace {

DesktopServices* testServices = nullptr;

QString Trimmed(const QByteArray& output) { return QString::fromLocal8Bit(output).trimmed(); }

// The desktop entry that opens text/plain, as xdg-mime knows it ("" when
// none is set or xdg-utils is missing).
QString TextEditorEntry() {
    QProcess query;
    query.start("xdg-mime", {"query", "default", "text/plain"});
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return {};
    return Trimmed(query.readAllStandardOutput());
}

}  // namespace

bool DesktopServices::OpenFile(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool DesktopServices::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool DesktopServices::ShowInFileManager(const std::string& path) { return tembrel::ShowInFileManager(path); }

bool DesktopServices::OpenInTextEditor(const std::string& path) {
    const QString file = QString::fromStdString(path);
    QString entry = TextEditorEntry();
    if (entry.endsWith(".desktop")) {
        // gtk-launch and gio take the entry by name and start it as the
        // desktop would, with the file as its argument.
        const QString id = entry.chopped(8);
        if (!QStandardPaths::findExecutable("gtk-launch").isEmpty() &&
            QProcess::startDetached("gtk-launch", {id, file}))
            return true;
        const QString entryPath = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
        if (!entryPath.isEmpty() && !QStandardPaths::findExecutable("gio").isEmpty() &&
            QProcess::startDetached("gio", {"launch", entryPath, file}))
            return true;
    }
    // No editor registered for text: the desktop's own choice for the file.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

DesktopServices& Desktop() {
    static DesktopServices real;
    return testServices ? *testServices : real;
}

void SetDesktopForTesting(DesktopServices* services) { testServices = services; }

QUrl SupportMailUrl() { return QUrl(QString("mailto:") + kSupportAddress); }

QUrl TellAFriendUrl() {
    QUrl url("mailto:");
    QUrlQuery query;
    query.addQueryItem("subject", kTellAFriendSubject);
    query.addQueryItem("body", QString(kTellAFriendBodyLead) + kHomepageUrl);
    url.setQuery(query);
    return url;
}

QUrl UpdateCheckUrl() { return QUrl(QString(kUpdateCheckUrl) + kUpdateCheckQuery); }

QUrl HomepageUrl() { return QUrl(kHomepageUrl); }

}  // namespace tembrel::app
