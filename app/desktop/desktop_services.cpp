#include "app/desktop/desktop_services.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

#include "app/desktop/endpoints.h"
#include "platform/file_manager.h"

#include <cstdlib>

namespace tembrel::app {

namespace {

DesktopServices* testServices = nullptr;

QString Trimmed(const QByteArray& output) { return QString::fromLocal8Bit(output).trimmed(); }

// Starts a helper and leaves it to run on its own: the window never waits
// for a file manager or an editor, which may stay in the foreground until
// the user closes it.
bool StartDetachedQuietly(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

// Opens the editor the desktop names in `entry` (from xdg-mime) on the
// file, else the file's default application.
void LaunchTextEditor(const QString& entry, const QString& file) {
    if (entry.endsWith(".desktop")) {
        // gtk-launch and gio take the entry by name and start it as the
        // desktop would, with the file as its argument.
        const QString id = entry.chopped(8);
        if (!QStandardPaths::findExecutable("gtk-launch").isEmpty() && StartDetachedQuietly("gtk-launch", {id, file}))
            return;
        const QString entryPath = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
        if (!entryPath.isEmpty() && !QStandardPaths::findExecutable("gio").isEmpty() &&
            StartDetachedQuietly("gio", {"launch", entryPath, file}))
            return;
    }
    // No editor registered for text: the desktop's own choice for the file.
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

}  // namespace

bool DesktopServices::OpenFile(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool DesktopServices::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool DesktopServices::ShowInFileManager(const std::string& path) {
    std::string absolute = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        absolute = resolved;
        std::free(resolved);
    }
    const auto slash = absolute.rfind('/');
    const QString folder = QFile::decodeName(
        slash == std::string::npos ? "." : (slash == 0 ? "/" : absolute.substr(0, slash)).c_str());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return StartDetachedQuietly("xdg-open", {folder});

    // The file manager answers on the bus in its own time; where none
    // takes the call, the folder is opened instead.
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                       "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{QString::fromLatin1(FileUri(absolute).c_str())} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [folder](QDBusPendingCallWatcher* done) {
        if (done->isError()) StartDetachedQuietly("xdg-open", {folder});
        done->deleteLater();
    });
    return true;
}

bool DesktopServices::OpenInTextEditor(const std::string& path) {
    const QString file = QFile::decodeName(path.c_str());
    // The editor is asked of xdg-mime without waiting for its answer.
    auto* query = new QProcess(QCoreApplication::instance());
    query->setStandardInputFile(QProcess::nullDevice());
    query->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(query, &QProcess::finished, query, [query, file](int exitCode, QProcess::ExitStatus status) {
        const QString entry = status == QProcess::NormalExit && exitCode == 0
                                  ? Trimmed(query->readAllStandardOutput())
                                  : QString();
        LaunchTextEditor(entry, file);
        query->deleteLater();
    });
    QObject::connect(query, &QProcess::errorOccurred, query, [query, file](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;  // a crash still ends in finished()
        LaunchTextEditor({}, file);
        query->deleteLater();
    });
    query->start("xdg-mime", {"query", "default", "text/plain"});
    return true;
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
