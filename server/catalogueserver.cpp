#include "catalogueserver.h"

#include "cataloguedatabase.h"
#include "cataloguepaths.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

#include <limits>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

// Descriptors kept free for the database, the media files being sent and the listener itself.
constexpr int ReservedDescriptors = 64;
constexpr int ResumeAcceptMs = 500;
constexpr int TurnAwayGraceMs = 1000;

// Hands every accepted descriptor straight to the server instead of queueing it: a queue of
// unfinished TLS handshakes is what used to block new clients for good.
class DescriptorListener : public QTcpServer
{
public:
    using Accept = std::function<void(qintptr)>;
    DescriptorListener(Accept accept, QObject *parent)
        : QTcpServer(parent)
        , m_accept(std::move(accept))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override { m_accept(descriptor); }

private:
    Accept m_accept;
};

// The connection ceiling may not exceed what the process can open.
int descriptorCeiling(int wanted)
{
#ifdef Q_OS_UNIX
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const qint64 usable = qint64(limit.rlim_cur) - ReservedDescriptors;
        return int(qBound(qint64(1), usable, qint64(wanted)));
    }
#endif
    return wanted;
}

// Ids are decimal positive integers that fit 32 bits; anything else is a bad request.
bool parseId(const QString &text, int *id)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,10}$"));
    if (!digits.match(text).hasMatch())
        return false;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value <= 0 || value > std::numeric_limits<int>::max())
        return false;
    *id = int(value);
    return true;
}

QByteArray toJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonArray songsToJson(const QList<Song> &songs)
{
    QJsonArray array;
    for (const Song &song : songs)
        array.append(song.toJson());
    return array;
}

QByteArray contentRange(qint64 start, qint64 length, qint64 size)
{
    return "bytes " + QByteArray::number(start) + '-' + QByteArray::number(start + length - 1) + '/'
        + QByteArray::number(size);
}

} // namespace

CatalogueServer::CatalogueServer(CatalogueDatabase *database, QObject *parent)
    : QObject(parent)
    , m_database(database)
{
    m_database->setBusyTimeout(DatabaseBusyTimeoutMs);
    m_playRetryTimer.setSingleShot(true);
    connect(&m_playRetryTimer, &QTimer::timeout, this, &CatalogueServer::retryPlays);
    m_resumeAcceptTimer.setSingleShot(true);
    connect(&m_resumeAcceptTimer, &QTimer::timeout, this, [this] {
        if (m_listener)
            m_listener->resumeAccepting();
    });
}

CatalogueServer::~CatalogueServer()
{
    // The connections go with this object; their "closed" must not reach a half-destroyed one.
    const QSet<HttpConnection *> connections = m_connections;
    for (HttpConnection *connection : connections)
        disconnect(connection, nullptr, this, nullptr);
    m_connections.clear();
    qDeleteAll(connections);
    if (!m_pendingPlays.isEmpty())
        qWarning() << "catalogue server stopped with" << m_pendingPlays.size() << "plays not yet stored";
}

CatalogueServer::ByteRange CatalogueServer::parseRange(const QByteArray &header, qint64 size)
{
    ByteRange whole { RangeKind::Whole, 0, size };
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*bytes\\s*=\\s*([0-9]*)\\s*-\\s*([0-9]*)\\s*$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(header));
    if (header.isEmpty() || !match.hasMatch())
        return whole;
    const QString first = match.captured(1);
    const QString last = match.captured(2);
    if (first.isEmpty() && last.isEmpty())
        return whole;
    bool ok = true;
    if (first.isEmpty()) {
        // The last n bytes.
        const qint64 suffix = last.toLongLong(&ok);
        if (!ok)
            return whole;
        if (suffix == 0 || size == 0)
            return { RangeKind::Unsatisfiable, 0, 0 };
        const qint64 length = qMin(suffix, size);
        return { RangeKind::Partial, size - length, length };
    }
    const qint64 start = first.toLongLong(&ok);
    if (!ok)
        return whole;
    qint64 end = size - 1;
    if (!last.isEmpty()) {
        end = last.toLongLong(&ok);
        if (!ok || end < start)
            return whole;
        end = qMin(end, size - 1);
    }
    if (start >= size)
        return { RangeKind::Unsatisfiable, 0, 0 };
    return { RangeKind::Partial, start, end - start + 1 };
}

bool CatalogueServer::start(const QHostAddress &address, quint16 port, const QSslCertificate &certificate,
    const QSslKey &key, const QList<QSslCertificate> &chain)
{
    if (!certificate.isNull() || !key.isNull()) {
        if (certificate.isNull() || key.isNull()) {
            m_errorString = QStringLiteral("TLS needs both a certificate and its key");
            return false;
        }
        m_sslConfig = QSslConfiguration::defaultConfiguration();
        m_sslConfig.setLocalCertificateChain(QList<QSslCertificate> { certificate } + chain);
        m_sslConfig.setPrivateKey(key);
        m_sslConfig.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_tls = true;
    }
    auto *listener = new DescriptorListener([this](qintptr descriptor) { acceptSocket(descriptor); }, this);
    if (!listener->listen(address, port)) {
        m_errorString = listener->errorString();
        delete listener;
        return false;
    }
    // Out of descriptors: stop accepting for a moment instead of spinning on a listener that
    // stays readable, and try again.
    connect(listener, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        m_listener->pauseAccepting();
        m_resumeAcceptTimer.start(ResumeAcceptMs);
    });
    m_limits.maxConnections = descriptorCeiling(m_limits.maxConnections);
    m_listener = listener;
    m_port = listener->serverPort();
    return true;
}

void CatalogueServer::acceptSocket(qintptr descriptor)
{
    QTcpSocket *socket = m_tls ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    const QHostAddress peer = socket->peerAddress();
    const bool overTotal = m_connections.size() >= m_limits.maxConnections;
    const bool overAddress = m_perAddress.value(peer) >= m_limits.maxConnectionsPerAddress;
    if ((overTotal || overAddress) && !reclaimIdle(overAddress ? peer : QHostAddress())) {
        if (m_tls) {
            delete socket; // closes it; a TLS client cannot be told anything before a handshake
            return;
        }
        socket->write("HTTP/1.1 503 Service Unavailable\r\nServer: velora-catalogue\r\nConnection: close\r\n"
                      "Retry-After: 5\r\nContent-Length: 0\r\n\r\n");
        socket->disconnectFromHost();
        if (socket->state() == QAbstractSocket::UnconnectedState) {
            socket->deleteLater();
            return;
        }
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(TurnAwayGraceMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        return;
    }
    if (m_tls) {
        auto *ssl = static_cast<QSslSocket *>(socket);
        ssl->setSslConfiguration(m_sslConfig);
        ssl->startServerEncryption();
    }
    auto *connection = new HttpConnection(
        socket, m_tls, m_limits.request, m_limits.timeouts,
        [this](HttpConnection *c, const HttpRequest &request) { handleRequest(c, request); }, this);
    m_connections.insert(connection);
    ++m_perAddress[peer];
    connect(connection, &HttpConnection::closed, this, [this, peer](HttpConnection *c) {
        if (!m_connections.remove(c))
            return;
        if (--m_perAddress[peer] <= 0)
            m_perAddress.remove(peer);
    });
}

bool CatalogueServer::reclaimIdle(const QHostAddress &peer)
{
    for (HttpConnection *connection : std::as_const(m_connections)) {
        if ((peer.isNull() || connection->peerAddress() == peer) && connection->isIdle()) {
            connection->closeIdle();
            return true;
        }
    }
    return false;
}

void CatalogueServer::handleRequest(HttpConnection *connection, const HttpRequest &request)
{
    const QUrl url = request.url();
    const QString path = url.path(QUrl::FullyDecoded);
    Exchange ex { connection, path, QUrlQuery(url).toString(QUrl::FullyDecoded) };
    const bool knownPath = path == QLatin1String("/music/api.php") || path.startsWith(QLatin1String("/music/"));
    if (!knownPath) {
        ex.path.clear(); // not ours: not reported
        return sendError(ex, 404, QStringLiteral("not found"));
    }
    if (request.method != "GET" && request.method != "HEAD") {
        const QByteArray body = toJson({ { QStringLiteral("success"), false },
            { QStringLiteral("error"), QStringLiteral("only GET is allowed") } });
        ex.path.clear();
        return send(
            ex, 405, { { "Allow", "GET, HEAD" }, { "Content-Type", "application/json" } }, body, "only GET is allowed");
    }
    if (path == QLatin1String("/music/api.php"))
        handleApi(ex, request);
    else
        handleMedia(ex, path.mid(int(qstrlen("/music/"))), request);
}

void CatalogueServer::send(
    const Exchange &ex, int status, const Headers &headers, const QByteArray &body, const QByteArray &logNote)
{
    if (!ex.connection)
        return;
    ex.connection->respond(status, headers, body, logNote);
    if (!ex.path.isEmpty())
        emit requestHandled(ex.path, ex.query, status);
}

void CatalogueServer::sendJson(const Exchange &ex, int status, const QByteArray &json, const QByteArray &logNote)
{
    // Play counts and charts change all the time: no listener should see a cached answer.
    send(ex, status, { { "Content-Type", "application/json" }, { "Cache-Control", "no-store" } }, json, logNote);
}

void CatalogueServer::sendError(const Exchange &ex, int status, const QString &message)
{
    sendJson(ex, status, toJson({ { QStringLiteral("success"), false }, { QStringLiteral("error"), message } }),
        message.toUtf8());
}

void CatalogueServer::sendDatabaseError(const Exchange &ex)
{
    qWarning() << "catalogue database error:" << m_database->lastError();
    sendError(ex, 500, QStringLiteral("the catalogue database failed"));
}

void CatalogueServer::handleApi(const Exchange &ex, const HttpRequest &request)
{
    const QUrlQuery query = request.query();
    if (!query.hasQueryItem(QStringLiteral("action")))
        return sendError(ex, 400, QStringLiteral("missing action"));
    const QString action = query.queryItemValue(QStringLiteral("action"), QUrl::FullyDecoded);

    auto requireId = [&](const QString &name, int *id) {
        if (!query.hasQueryItem(name)) {
            sendError(ex, 400, QStringLiteral("missing %1").arg(name));
            return false;
        }
        if (!parseId(query.queryItemValue(name, QUrl::FullyDecoded), id)) {
            sendError(ex, 400, QStringLiteral("%1 must be a positive whole number").arg(name));
            return false;
        }
        return true;
    };

    if (action == QLatin1String("getAlbums")) {
        QList<Album> albums;
        if (!m_database->albums(&albums))
            return sendDatabaseError(ex);
        QJsonArray array;
        for (const Album &album : std::as_const(albums))
            array.append(album.toJson());
        sendJson(ex, 200, toJson({ { QStringLiteral("albums"), array } }));
    } else if (action == QLatin1String("getSongs")) {
        int albumId = 0;
        if (query.hasQueryItem(QStringLiteral("album_id"))) {
            if (!requireId(QStringLiteral("album_id"), &albumId))
                return;
            Album album;
            bool found = false;
            if (!m_database->album(albumId, &album, &found))
                return sendDatabaseError(ex);
            if (!found)
                return sendError(ex, 404, QStringLiteral("no album with id %1").arg(albumId));
        }
        QList<Song> songs;
        if (!m_database->songs(albumId, &songs))
            return sendDatabaseError(ex);
        sendJson(ex, 200, toJson({ { QStringLiteral("songs"), songsToJson(songs) } }));
    } else if (action == QLatin1String("search")) {
        if (!query.hasQueryItem(QStringLiteral("q")))
            return sendError(ex, 400, QStringLiteral("missing q"));
        const QString term = query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
        if (term.size() > MaxSearchTermLength) {
            return sendError(ex, 400,
                QStringLiteral("the search term is too long (%1 characters; at most %2)")
                    .arg(term.size())
                    .arg(MaxSearchTermLength));
        }
        QList<Song> songs;
        if (!m_database->search(term, &songs))
            return sendDatabaseError(ex);
        sendJson(ex, 200, toJson({ { QStringLiteral("results"), songsToJson(songs) } }));
    } else if (action == QLatin1String("getSong")) {
        int id = 0;
        if (!requireId(QStringLiteral("id"), &id))
            return;
        Song song;
        bool found = false;
        if (!m_database->song(id, &song, &found))
            return sendDatabaseError(ex);
        if (!found)
            return sendError(ex, 404, QStringLiteral("no song with id %1").arg(id));
        sendJson(ex, 200, toJson(song.toJson()));
    } else if (action == QLatin1String("getArtistRanking")) {
        QJsonArray rows;
        if (!m_database->artistRanking(&rows))
            return sendDatabaseError(ex);
        sendJson(ex, 200, toJson({ { QStringLiteral("artists"), rows } }));
    } else if (action == QLatin1String("getSongRanking")) {
        QList<Song> songs;
        if (!m_database->songRanking(SongRankingLimit, &songs))
            return sendDatabaseError(ex);
        sendJson(ex, 200, toJson({ { QStringLiteral("songs"), songsToJson(songs) } }));
    } else if (action == QLatin1String("incrementPlayCount")) {
        int id = 0;
        if (!requireId(QStringLiteral("id"), &id))
            return;
        handlePlay(ex, id);
    } else {
        sendError(ex, 400, QStringLiteral("unknown action \"%1\"").arg(action.left(64)));
    }
}

void CatalogueServer::answerPlay(const Exchange &ex, int songId, int count)
{
    if (count < 0)
        return sendError(ex, 404, QStringLiteral("no song with id %1").arg(songId));
    sendJson(ex, 200,
        toJson({ { QStringLiteral("success"), true }, { QStringLiteral("id"), songId },
            { QStringLiteral("play_count"), count } }));
}

void CatalogueServer::handlePlay(const Exchange &ex, int songId)
{
    // Plays already waiting go first, so they are stored in the order they came.
    if (m_pendingPlays.isEmpty()) {
        int count = -1;
        if (m_database->incrementPlayCount(songId, &count))
            return answerPlay(ex, songId, count);
        if (!m_database->lastErrorWasBusy())
            return sendDatabaseError(ex);
    }
    if (m_pendingPlays.size() >= m_limits.maxQueuedPlays) {
        qWarning() << "catalogue database locked and" << m_pendingPlays.size() << "plays waiting: a play is refused";
        return sendError(ex, 503, QStringLiteral("the catalogue is busy; play not counted"));
    }
    m_pendingPlays.append({ songId, ex, QDeadlineTimer(m_limits.playAnswerWaitMs) });
    if (!m_playRetryTimer.isActive())
        m_playRetryTimer.start(m_limits.playRetryMs);
}

void CatalogueServer::retryPlays()
{
    while (!m_pendingPlays.isEmpty()) {
        PendingPlay &play = m_pendingPlays.first();
        int count = -1;
        if (!m_database->incrementPlayCount(play.songId, &count)) {
            if (m_database->lastErrorWasBusy())
                break;
            // Not a lock but a real failure: retrying would not help.
            const PendingPlay failed = m_pendingPlays.takeFirst();
            if (failed.exchange.connection)
                sendDatabaseError(failed.exchange);
            else
                qWarning() << "catalogue database error, a queued play is lost:" << m_database->lastError();
            continue;
        }
        const PendingPlay stored = m_pendingPlays.takeFirst();
        if (stored.exchange.connection)
            answerPlay(stored.exchange, stored.songId, count);
    }
    // Those that waited long enough learn that their play is kept, and stop holding their
    // connection.
    for (PendingPlay &play : m_pendingPlays) {
        if (play.exchange.connection && play.answerBy.hasExpired()) {
            sendJson(play.exchange, 202,
                toJson({ { QStringLiteral("success"), true }, { QStringLiteral("id"), play.songId },
                    { QStringLiteral("queued"), true } }));
            play.exchange.connection.clear();
        }
    }
    if (!m_pendingPlays.isEmpty())
        m_playRetryTimer.start(m_limits.playRetryMs);
}

void CatalogueServer::handleMedia(const Exchange &ex, const QString &relative, const HttpRequest &request)
{
    const QByteArray rangeHeader = request.value("Range");

    if (const int albumId = CataloguePaths::albumIdOfEmbeddedCover(relative)) {
        QByteArray data;
        QString mimeType;
        bool found = false;
        if (!m_database->embeddedCover(albumId, &data, &mimeType, &found))
            return sendDatabaseError(ex);
        if (!found)
            return sendError(ex, 404, QStringLiteral("no such cover"));
        const ByteRange range = parseRange(rangeHeader, data.size());
        const QByteArray type = mimeType.isEmpty() ? CataloguePaths::contentTypeFor(relative) : mimeType.toLatin1();
        if (range.kind == RangeKind::Unsatisfiable) {
            return send(ex, 416, { { "Content-Range", "bytes */" + QByteArray::number(data.size()) } }, QByteArray());
        }
        Headers headers { { "Content-Type", type }, { "Accept-Ranges", "bytes" } };
        if (range.kind == RangeKind::Partial)
            headers.append({ "Content-Range", contentRange(range.start, range.length, data.size()) });
        return send(ex, range.kind == RangeKind::Partial ? 206 : 200, headers, data.mid(range.start, range.length));
    }

    if (!CataloguePaths::isSafeRelativePath(relative))
        return sendError(ex, 403, QStringLiteral("this path is not served"));
    const QString rootPath = m_database->mediaRoot();
    const QString root = rootPath.isEmpty() ? QString() : QFileInfo(rootPath).canonicalFilePath();
    if (root.isEmpty())
        return sendError(ex, 404, QStringLiteral("no media folder has been imported"));
    const QFileInfo file(root + QLatin1Char('/') + relative);
    if (!file.exists())
        return sendError(ex, 404, QStringLiteral("not found"));
    // A link inside the folder may point anywhere; only what really lies inside is served.
    if (!CataloguePaths::isInside(root, file.canonicalFilePath()))
        return sendError(ex, 403, QStringLiteral("this path is not served"));
    if (!file.isFile() || !file.isReadable())
        return sendError(ex, 404, QStringLiteral("not found"));

    const qint64 size = file.size();
    const ByteRange range = parseRange(rangeHeader, size);
    if (range.kind == RangeKind::Unsatisfiable)
        return send(ex, 416, { { "Content-Range", "bytes */" + QByteArray::number(size) } }, QByteArray());
    auto media = std::make_unique<QFile>(file.canonicalFilePath());
    if (!media->open(QIODevice::ReadOnly) || !media->seek(range.start))
        return sendError(ex, 404, QStringLiteral("not found"));
    Headers headers { { "Content-Type", CataloguePaths::contentTypeFor(relative) }, { "Accept-Ranges", "bytes" },
        { "Content-Length", QByteArray::number(range.length) } };
    if (range.kind == RangeKind::Partial)
        headers.append({ "Content-Range", contentRange(range.start, range.length, size) });
    const int status = range.kind == RangeKind::Partial ? 206 : 200;
    if (ex.connection)
        ex.connection->respondFile(status, headers, std::move(media), range.length);
    emit requestHandled(ex.path, ex.query, status);
}
