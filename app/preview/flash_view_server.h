#pragma once
// The Flash view's own web server on 127.0.0.1: the view's page, Ruffle's
// files from the program folder, and the one movie the view was asked to
// show (for a shell player also the sound SWF its query names, beside it).
// Every address starts with a random token made for this server; anything
// else, any other file and any listing gets 404. Other programs on the
// machine can reach the port too, so no connection may hold the server for
// long: a head must come within a few seconds, only so many connections are
// open at once, and a request that does not start with the token is answered
// as soon as that is plain.
#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

namespace tembrel::app {

class FlashViewServer : public QObject {
    Q_OBJECT
public:
    // `ruffleFolder`: the folder holding ruffle.js and its companions.
    explicit FlashViewServer(const QString& ruffleFolder, QObject* parent = nullptr);

    static constexpr int kHeadTimeoutMs = 5000;
    static constexpr int kMaxConnections = 64;
    // Connections the system keeps waiting for the server to take.
    static constexpr int kListenBacklog = 4096;

    // False when no loopback port could be had.
    bool Listen();
    // How long a connection may take to send its request head, and how many
    // may be open at once; connections beyond that are closed unanswered.
    void SetLimits(int headTimeoutMs, int maxConnections) {
        headTimeoutMs_ = headTimeoutMs;
        maxConnections_ = maxConnections;
    }
    // "http://127.0.0.1:<port>/<token>/": every served address starts so.
    QString Base() const;
    QString PageAddress() const { return Base() + "view.html"; }

    // Serves the file at `filePath` (its bytes, as on disk) from now on in
    // place of the previous movie and returns its address with `query`
    // appended ("" when it is no file). A "soundswf" parameter in the query
    // that names a plain file is served from the movie's folder too.
    QString ShowMovie(const QByteArray& filePath, const QString& query);

private:
    void Accept(QTcpSocket* socket);
    void Answer(QTcpSocket* socket);
    // `file`: a resource (":/...") or the bytes of a path on disk.
    void Reply(QTcpSocket* socket, const QByteArray& file, bool headOnly);
    // False once `head` (the start of a request) cannot be a GET or HEAD of
    // an address under the token.
    bool MayCarryToken(const QByteArray& head) const;
    // The file behind a request path's decoded segments, or "" (404).
    QByteArray Resolve(const QByteArrayList& segments) const;
    // The movie name a request's segment asks for, or "".
    QByteArray MovieNameFor(const QByteArray& segment) const;

    QTcpServer server_;
    int headTimeoutMs_ = kHeadTimeoutMs;
    int maxConnections_ = kMaxConnections;
    QString ruffleFolder_;  // canonical
    QString token_;
    int generation_ = 0;
    // Bytes as on disk: a name need not be UTF-8.
    QByteArray movieFolder_;       // canonical folder of the current movie
    QByteArray movieName_;         // the file asked for
    QSet<QByteArray> movieNames_;  // it and its sound SWF
};

}  // namespace tembrel::app
