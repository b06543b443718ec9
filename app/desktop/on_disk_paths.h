#pragma once
// File names are bytes; Qt's strings decode them as UTF-8 and turn each
// ill-formed part into U+FFFD, so a name such as "caf\xe9.wav" (Latin-1)
// comes back from a dialog as "caf\uFFFD.wav", which names another file or
// none. These take paths back to the bytes on disk.
#include <string>
#include <vector>

#include <QString>
#include <QUrl>

namespace tembrel::app {

// The paths on disk that `shown` (a path as a Qt dialog gives it) stands
// for. A segment without U+FFFD is exact. One with it is matched against
// the folder's entries as Qt shows them: the entries whose bytes are not
// UTF-8 are taken first, since that is how such a name comes to be shown,
// and a name that really holds U+FFFD only when nothing else matches. A
// path matching nothing comes back as Qt would encode it, to fail as a
// missing file does.
std::vector<std::string> OnDiskPaths(const QString& shown);

// A local file URL's path with its percent-encoded bytes as they are.
std::string LocalFileBytes(const QUrl& url);

}  // namespace tembrel::app
