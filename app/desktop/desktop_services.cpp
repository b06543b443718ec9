#include "app/desktop/desktop_services.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

#include "app/desktop/endpoints.h"
#include "platform/detached_process.h"
#include "platform/file_manager.h"

#include <unistd.h>

#include <cstdlib>

namespace tembrel::app {

namespace {

DesktopServices* testServices = nullptr;

QString Trimmed(const QByteArray& output) { return QString::fromLocal8Bit(output).trimmed(); }

// Names are bytes all the way: a QString would turn a name that is not
// UTF-8 into another name.
std::string Absolute(const std::string& path) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        std::string absolute = resolved;
        std::free(resolved);
        return absolute;
    }
    if (!path.empty() && path[0] == '/') return path;
    char* here = ::getcwd(nullptr, 0);
    const std::string absolute = here ? std::string(here) + "/" + path : path;
    std::free(here);
    return absolute;
}

std::string FolderOf(const std::string& absolute) {
    const auto slash = absolute.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : absolute.substr(0, slash));
}

// The file's default application, given the file's address (its bytes
// percent-encoded); Qt's own opener where the desktop has no xdg-open.
bool OpenFileAddress(const std::string& path) {
    const std::string address = FileUri(Absolute(path));
    return StartDetached({"xdg-open", address}) ||
           QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(address)));
}

// Opens the editor the desktop names in `entry` (from xdg-mime) on the
// file, else the file's default application.
void LaunchTextEditor(const QString& entry, const std::string& file) {
    if (entry.endsWith(".desktop")) {
        // gtk-launch and gio take the entry by name and start it as the
        // desktop would, with the file as its argument.
        const std::string id = entry.chopped(8).toStdString();
        if (!QStandardPaths::findExecutable("gtk-launch").isEmpty() && StartDetached({"gtk-launch", id, file}))
            return;
        const QString entryPath = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
        if (!entryPath.isEmpty() && !QStandardPaths::findExecutable("gio").isEmpty() &&
            StartDetached({"gio", "launch", QFile::encodeName(entryPath).toStdString(), file}))
            return;
    }
    // No editor registered for text: the desktop's own choice for the file.
    OpenFileAddress(file);
}

}  // namespace

bool DesktopServices::OpenFile(const std::string& path) { return OpenFileAddress(path); }

bool DesktopServices::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool DesktopServices::ShowInFileManager(const std::string& path) {
    const std::string absolute = Absolute(path);
    const std::string folder = FolderOf(absolute);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return StartDetached({"xdg-open", folder});

    // The file manager answers on the bus in its own time; where none
    // takes the call, the folder is opened instead.
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                       "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{QString::fromLatin1(FileUri(absolute).c_str())} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [folder](QDBusPendingCallWatcher* done) {
        if (done->isError()) StartDetached({"xdg-open", folder});
        done->deleteLater();
    });
    return true;
}

bool DesktopServices::OpenInTextEditor(const std::string& path) {
    const std::string file = path;
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
