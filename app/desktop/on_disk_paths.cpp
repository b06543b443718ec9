#include "app/desktop/on_disk_paths.h"

#include <dirent.h>

#include <QFile>

namespace tembrel::app {

namespace {

bool IsUtf8(const QByteArray& name) { return QFile::encodeName(QFile::decodeName(name)) == name; }

// The entries of `folder` that Qt shows as `segment`, preferred ones first.
std::vector<QByteArray> MatchingEntries(const QByteArray& folder, const QString& segment) {
    std::vector<QByteArray> notUtf8, literal;
    DIR* dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    if (!dir) return {};
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (QFile::decodeName(name) != segment) continue;
        (IsUtf8(name) ? literal : notUtf8).push_back(name);
    }
    ::closedir(dir);
    return notUtf8.empty() ? literal : notUtf8;
}

}  // namespace

std::vector<std::string> OnDiskPaths(const QString& shown) {
    if (!shown.contains(QChar::ReplacementCharacter)) return {QFile::encodeName(shown).toStdString()};
    // Built segment by segment: a folder's name may be the lossy one.
    std::vector<QByteArray> paths = {{}};
    const QStringList segments = shown.split('/');
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const QString& segment = segments[i];
        std::vector<QByteArray> next;
        for (const QByteArray& path : paths) {
            const QByteArray prefix = i == 0 ? QByteArray() : path + '/';
            if (!segment.contains(QChar::ReplacementCharacter)) {
                next.push_back(prefix + QFile::encodeName(segment));
                continue;
            }
            for (const QByteArray& name : MatchingEntries(i == 0 ? QByteArray(".") : path, segment))
                next.push_back(prefix + name);
        }
        if (next.empty()) return {QFile::encodeName(shown).toStdString()};
        paths = std::move(next);
    }
    std::vector<std::string> found;
    for (const QByteArray& path : paths) found.push_back(path.toStdString());
    return found;
}

std::string LocalFileBytes(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace tembrel::app
