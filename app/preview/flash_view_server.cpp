#include "app/preview/flash_view_server.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

#include "platform/file_identity.h"

namespace tembrel::app {

namespace {

constexpr qsizetype kMaxRequestHead = 16 * 1024;
constexpr qint64 kBodyPieceBytes = 256 * 1024;

// Only these may run in the page: our scripts and Ruffle's wasm, talking to
// this server alone.
constexpr char kPagePolicy[] =
    "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data: blob:; media-src 'self' data: blob:; connect-src 'self'; worker-src 'self' blob:; "
    "font-src 'self' data:; object-src 'none'; frame-src 'none'; base-uri 'none'; form-action 'none'";

QByteArray ContentType(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == "html") return "text/html; charset=utf-8";
    if (ext == "js") return "text/javascript; charset=utf-8";
    if (ext == "wasm") return "application/wasm";
    if (ext == "swf") return "application/x-shockwave-flash";
    if (ext == "css") return "text/css; charset=utf-8";
    return "application/octet-stream";
}

// A single file name: no separators, not "." or "..", no NUL.
bool PlainName(const QByteArray& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\\') &&
           !name.contains('\0');
}

// The path with links and "." or ".." resolved, or "" when it leads nowhere.
QByteArray Canonical(const QByteArray& path) {
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved) return {};
    const QByteArray canonical(resolved);
    std::free(resolved);
    return canonical;
}

QByteArray AbsolutePath(const QByteArray& path) {
    if (path.startsWith('/')) return path;
    return QFile::encodeName(QDir::currentPath()) + "/" + path;
}

// The value of `key` in a query, as its bytes.
QByteArray QueryValue(const QString& query, const QByteArray& key) {
    for (const QByteArray& item : query.toLatin1().split('&'))
        if (item.startsWith(key + "=")) return QByteArray::fromPercentEncoding(item.mid(key.size() + 1));
    return {};
}

QString NewToken() {
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex());
}

}  // namespace

FlashViewServer::FlashViewServer(const QString& ruffleFolder, QObject* parent)
    : QObject(parent), ruffleFolder_(QFileInfo(ruffleFolder).canonicalFilePath()), token_(NewToken()) {
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) Accept(socket);
    });
}

void FlashViewServer::Accept(QTcpSocket* socket) {
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // The server parents its sockets until they are gone; the new one counts.
    const qsizetype open = server_.findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly).size();
    if (open > maxConnections_) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Answer(socket); });
    // A head that never ends would hold its connection for good.
    QTimer::singleShot(headTimeoutMs_, socket, [socket] {
        if (!socket->property("answered").toBool()) {
            socket->abort();
            socket->deleteLater();
        }
    });
}

bool FlashViewServer::MayCarryToken(const QByteArray& head) const {
    const QByteArray prefix = "/" + token_.toLatin1() + "/";
    for (const QByteArray& method : {QByteArray("GET "), QByteArray("HEAD ")}) {
        const QByteArray wanted = method + prefix;
        const qsizetype n = std::min(head.size(), wanted.size());
        if (head.left(n) == wanted.left(n)) return true;
    }
    return false;
}

bool FlashViewServer::Listen() {
    // Connections the system has not handed over yet are out of the
    // server's reach: no timeout or limit closes them. With a short queue a
    // crowd overflows it, and the system drops the rest, which come back
    // together seconds later, again and again, each then getting a whole
    // head timeout of its own. A queue deeper than such a crowd lets every
    // connection in at once, to be refused or timed out.
    server_.setListenBacklogSize(kListenBacklog);
    return server_.listen(QHostAddress::LocalHost, 0);
}

QString FlashViewServer::Base() const {
    return QStringLiteral("http://127.0.0.1:%1/%2/").arg(server_.serverPort()).arg(token_);
}

QString FlashViewServer::ShowMovie(const QByteArray& filePath, const QString& query) {
    movieNames_.clear();
    movieName_.clear();
    movieFolder_.clear();
    ++generation_;
    if (filePath.isEmpty() || !IsRegularFileAt(filePath.toStdString())) return {};
    const QByteArray absolute = AbsolutePath(filePath);
    const qsizetype slash = absolute.lastIndexOf('/');
    movieFolder_ = Canonical(slash == 0 ? "/" : absolute.left(slash));
    movieName_ = absolute.mid(slash + 1);
    movieNames_.insert(movieName_);
    // The value is an address relative to the player (its "%", "#" and "?"
    // escaped), so the file name is that address decoded once more.
    const QByteArray sound = QByteArray::fromPercentEncoding(QueryValue(query, "soundswf"));
    if (PlainName(sound)) movieNames_.insert(sound);
    QString address = Base() + QStringLiteral("movie/%1/").arg(generation_) +
                      QString::fromLatin1(movieName_.toPercentEncoding());
    if (!query.isEmpty()) address += "?" + query;
    return address;
}

QByteArray FlashViewServer::MovieNameFor(const QByteArray& segment) const {
    if (movieNames_.contains(segment)) return segment;
    // A player reads its query as text: a sound SWF's name that is not
    // UTF-8 comes back with U+FFFD in place of its odd bytes. Only the
    // names this movie may fetch are matched so.
    const QString shown = QString::fromUtf8(segment);
    if (!shown.contains(QChar::ReplacementCharacter)) return {};
    for (const QByteArray& name : movieNames_)
        if (QString::fromUtf8(name) == shown) return name;
    return {};
}

QByteArray FlashViewServer::Resolve(const QByteArrayList& segments) const {
    // "", the token, then the parts below it.
    if (segments.size() < 3 || !segments[0].isEmpty() || segments[1] != token_.toLatin1()) return {};
    const QByteArrayList parts = segments.mid(2);
    if (parts.size() == 1 && (parts[0] == "view.html" || parts[0] == "view.js"))
        return ":/flash_view/" + parts[0];
    if (parts.size() == 2 && parts[0] == "ruffle" && PlainName(parts[1]) && !ruffleFolder_.isEmpty()) {
        const QFileInfo file(ruffleFolder_ + "/" + QString::fromUtf8(parts[1]));
        // No way out through a link either.
        if (file.isFile() && file.canonicalFilePath().startsWith(ruffleFolder_ + "/"))
            return QFile::encodeName(file.canonicalFilePath());
        return {};
    }
    const QByteArray name = parts.size() == 3 ? MovieNameFor(parts[2]) : QByteArray();
    if (parts.size() == 3 && parts[0] == "movie" && parts[1] == QByteArray::number(generation_) && !name.isEmpty() &&
        !movieFolder_.isEmpty()) {
        const QByteArray file = movieFolder_ + "/" + name;
        // The sound SWF must really lie beside the player, not be a link out.
        const bool beside = name == movieName_ || Canonical(file).startsWith(movieFolder_ + "/");
        if (beside && IsRegularFileAt(file.toStdString())) return file;
    }
    return {};
}

void FlashViewServer::Answer(QTcpSocket* socket) {
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    const qsizetype end = head.indexOf("\r\n\r\n");
    const bool tokenless = !MayCarryToken(head);
    if (end < 0 && !tokenless) {
        if (head.size() > kMaxRequestHead) socket->abort();
        else socket->setProperty("head", head);
        return;
    }
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    socket->setProperty("answered", true);
    // Nothing without the token is served: no need to wait for the rest.
    if (tokenless) return Reply(socket, {}, false);
    const QList<QByteArray> request = head.left(head.indexOf("\r\n")).split(' ');
    QByteArray file;
    bool headOnly = false;
    if (request.size() == 3 && (request[0] == "GET" || request[0] == "HEAD")) {
        headOnly = request[0] == "HEAD";
        QByteArray target = request[1];
        target = target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
        // Decoded segment by segment: an encoded "/" or ".." stays inside
        // its segment, where the name checks refuse it.
        QByteArrayList segments;
        for (const QByteArray& segment : target.split('/')) segments << QByteArray::fromPercentEncoding(segment);
        file = Resolve(segments);
    }
    Reply(socket, file, headOnly);
}

void FlashViewServer::Reply(QTcpSocket* socket, const QByteArray& file, bool headOnly) {
    QByteArray status = "404 Not Found";
    QByteArray type = "text/plain; charset=utf-8";
    QFile* in = nullptr;  // the socket's child, so it goes with the connection
    qint64 length = 0;
    if (!file.isEmpty()) {
        auto* opened = new QFile(socket);
        // A path on disk is opened by its bytes; QFile would take a name.
        const bool resource = file.startsWith(':');
        if (resource) opened->setFileName(QString::fromUtf8(file));
        const int fd = resource ? -1 : ::open(file.constData(), O_RDONLY | O_CLOEXEC);
        if (resource ? opened->open(QIODevice::ReadOnly)
                     : fd >= 0 && opened->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            in = opened;
            length = in->size();
            status = "200 OK";
            type = ContentType(QString::fromUtf8(file));
        } else {
            if (fd >= 0 && !opened->isOpen()) ::close(fd);
            delete opened;
        }
    }
    QByteArray reply = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                       "\r\nContent-Length: " + QByteArray::number(length) +
                       "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n";
    if (type.startsWith("text/html")) reply += QByteArray("Content-Security-Policy: ") + kPagePolicy + "\r\n";
    reply += "\r\n";
    socket->write(reply);
    if (headOnly || !in || length == 0) {
        delete in;
        socket->disconnectFromHost();
        return;
    }
    // The body goes out a piece at a time as the socket drains: a preview
    // of a large picture is a movie of hundreds of megabytes, which read
    // and copied whole would hold the GUI thread for seconds and take the
    // movie's size in memory two or three times over.
    // One count for the first call and the connected copy.
    auto sendMore = [socket, in, left = std::make_shared<qint64>(length)] {
        while (*left > 0 && socket->bytesToWrite() < 2 * kBodyPieceBytes) {
            const QByteArray piece = in->read(std::min(*left, kBodyPieceBytes));
            if (piece.isEmpty()) {
                // Shorter than its length said: the view sees it cut off.
                socket->abort();
                return;
            }
            *left -= piece.size();
            socket->write(piece);
        }
        if (*left == 0 && in->isOpen()) {
            in->close();
            socket->disconnectFromHost();
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, in, sendMore);
    sendMore();
}

}  // namespace tembrel::app
