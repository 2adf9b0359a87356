#include "catalogueserver.h"

#include "cataloguedatabase.h"
#include "cataloguepaths.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

constexpr qint64 ChunkBytes = 64 * 1024;
// Keep this much queued in the socket at most, so one slow listener never holds a whole file
// in memory.
constexpr qint64 SocketHighWater = 256 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 416:
        return "Range Not Satisfiable";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

void CatalogueServer::writeHead(QTcpSocket *socket, int status, const Headers &headers)
{
    m_lastStatus = status;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    head += "Server: velora-catalogue\r\n";
    for (const auto &header : headers)
        head += header.first + ": " + header.second + "\r\n";
    head += "\r\n";
    socket->write(head);
}

namespace {

// Streams one byte range of a file into the socket as the socket drains. It belongs to the
// socket, so a listener that hangs up takes it along.
class FileSender : public QObject
{
public:
    FileSender(QTcpSocket *socket, const QString &path, qint64 offset, qint64 length)
        : QObject(socket)
        , m_socket(socket)
        , m_file(path)
        , m_remaining(length)
    {
        if (!m_file.open(QIODevice::ReadOnly) || !m_file.seek(offset)) {
            m_remaining = -1;
            return;
        }
        connect(socket, &QTcpSocket::bytesWritten, this, &FileSender::pump);
    }

    // Returns false when the file could not be opened; the caller then answers with an error.
    bool isValid() const { return m_remaining >= 0; }

    void pump()
    {
        while (m_remaining > 0 && m_socket->bytesToWrite() < SocketHighWater) {
            const QByteArray chunk = m_file.read(qMin(ChunkBytes, m_remaining));
            if (chunk.isEmpty()) {
                // The file shrank under us: the promised length cannot be kept, so end the
                // connection rather than leave the listener waiting for bytes that never come.
                m_socket->abort();
                deleteLater();
                return;
            }
            m_socket->write(chunk);
            m_remaining -= chunk.size();
        }
        if (m_remaining == 0) {
            disconnect(m_socket, nullptr, this, nullptr);
            m_file.close();
            deleteLater();
        }
    }

private:
    QTcpSocket *m_socket;
    QFile m_file;
    qint64 m_remaining;
};

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

} // namespace

CatalogueServer::CatalogueServer(CatalogueDatabase *database, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_database(database)
{
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
    QTcpServer *server = nullptr;
    if (!certificate.isNull() || !key.isNull()) {
        if (certificate.isNull() || key.isNull()) {
            m_errorString = QStringLiteral("TLS needs both a certificate and its key");
            return false;
        }
        auto *sslServer = new QSslServer(this);
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificateChain(QList<QSslCertificate> { certificate } + chain);
        config.setPrivateKey(key);
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        sslServer->setSslConfiguration(config);
        server = sslServer;
    } else {
        server = new QTcpServer(this);
    }
    if (!server->listen(address, port)) {
        m_errorString = server->errorString();
        delete server;
        return false;
    }
    m_port = server->serverPort();
    bind(server);
    return true;
}

bool CatalogueServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const QString path = request.url().path(QUrl::FullyDecoded);
    const auto method = request.method();
    const bool headOnly = method == QHttpServerRequest::Method::Head;
    const bool knownPath = path == QLatin1String("/music/api.php") || path.startsWith(QLatin1String("/music/"));
    if (!knownPath) {
        sendError(socket, 404, QStringLiteral("not found"), headOnly);
        return true;
    }
    if (method != QHttpServerRequest::Method::Get && !headOnly) {
        QJsonObject error { { QStringLiteral("success"), false },
            { QStringLiteral("error"), QStringLiteral("only GET is allowed") } };
        const QByteArray body = toJson(error);
        writeHead(socket, 405,
            { { "Allow", "GET, HEAD" }, { "Content-Type", "application/json" },
                { "Content-Length", QByteArray::number(body.size()) } });
        socket->write(body);
        return true;
    }
    if (path == QLatin1String("/music/api.php"))
        handleApi(request, socket, headOnly);
    else
        handleMedia(path.mid(int(qstrlen("/music/"))), request, socket, headOnly);
    emit requestHandled(path, request.query().toString(QUrl::FullyDecoded), m_lastStatus);
    return true;
}

void CatalogueServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    sendError(socket, 404, QStringLiteral("not found"), request.method() == QHttpServerRequest::Method::Head);
}

void CatalogueServer::sendJson(QTcpSocket *socket, int status, const QByteArray &json, bool headOnly)
{
    // Play counts and charts change all the time: no listener should see a cached answer.
    writeHead(socket, status,
        { { "Content-Type", "application/json" }, { "Cache-Control", "no-store" },
            { "Content-Length", QByteArray::number(json.size()) } });
    if (!headOnly)
        socket->write(json);
}

void CatalogueServer::sendError(QTcpSocket *socket, int status, const QString &message, bool headOnly)
{
    sendJson(socket, status, toJson({ { QStringLiteral("success"), false }, { QStringLiteral("error"), message } }),
        headOnly);
}

void CatalogueServer::sendDatabaseError(QTcpSocket *socket, bool headOnly)
{
    qWarning() << "catalogue database error:" << m_database->lastError();
    sendError(socket, 500, QStringLiteral("the catalogue database failed"), headOnly);
}

void CatalogueServer::handleApi(const QHttpServerRequest &request, QTcpSocket *socket, bool headOnly)
{
    const QUrlQuery query = request.query();
    if (!query.hasQueryItem(QStringLiteral("action"))) {
        sendError(socket, 400, QStringLiteral("missing action"), headOnly);
        return;
    }
    const QString action = query.queryItemValue(QStringLiteral("action"), QUrl::FullyDecoded);

    auto requireId = [&](const QString &name, int *id) {
        if (!query.hasQueryItem(name)) {
            sendError(socket, 400, QStringLiteral("missing %1").arg(name), headOnly);
            return false;
        }
        if (!parseId(query.queryItemValue(name, QUrl::FullyDecoded), id)) {
            sendError(socket, 400, QStringLiteral("%1 must be a positive whole number").arg(name), headOnly);
            return false;
        }
        return true;
    };

    if (action == QLatin1String("getAlbums")) {
        QList<Album> albums;
        if (!m_database->albums(&albums))
            return sendDatabaseError(socket, headOnly);
        QJsonArray array;
        for (const Album &album : std::as_const(albums))
            array.append(album.toJson());
        sendJson(socket, 200, toJson({ { QStringLiteral("albums"), array } }), headOnly);
    } else if (action == QLatin1String("getSongs")) {
        int albumId = 0;
        if (query.hasQueryItem(QStringLiteral("album_id"))) {
            if (!requireId(QStringLiteral("album_id"), &albumId))
                return;
            Album album;
            bool found = false;
            if (!m_database->album(albumId, &album, &found))
                return sendDatabaseError(socket, headOnly);
            if (!found)
                return sendError(socket, 404, QStringLiteral("no album with id %1").arg(albumId), headOnly);
        }
        QList<Song> songs;
        if (!m_database->songs(albumId, &songs))
            return sendDatabaseError(socket, headOnly);
        sendJson(socket, 200, toJson({ { QStringLiteral("songs"), songsToJson(songs) } }), headOnly);
    } else if (action == QLatin1String("search")) {
        if (!query.hasQueryItem(QStringLiteral("q")))
            return sendError(socket, 400, QStringLiteral("missing q"), headOnly);
        QList<Song> songs;
        if (!m_database->search(query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded), &songs))
            return sendDatabaseError(socket, headOnly);
        sendJson(socket, 200, toJson({ { QStringLiteral("results"), songsToJson(songs) } }), headOnly);
    } else if (action == QLatin1String("getSong")) {
        int id = 0;
        if (!requireId(QStringLiteral("id"), &id))
            return;
        Song song;
        bool found = false;
        if (!m_database->song(id, &song, &found))
            return sendDatabaseError(socket, headOnly);
        if (!found)
            return sendError(socket, 404, QStringLiteral("no song with id %1").arg(id), headOnly);
        sendJson(socket, 200, toJson(song.toJson()), headOnly);
    } else if (action == QLatin1String("getArtistRanking")) {
        QJsonArray rows;
        if (!m_database->artistRanking(&rows))
            return sendDatabaseError(socket, headOnly);
        sendJson(socket, 200, toJson({ { QStringLiteral("artists"), rows } }), headOnly);
    } else if (action == QLatin1String("getSongRanking")) {
        QList<Song> songs;
        if (!m_database->songRanking(SongRankingLimit, &songs))
            return sendDatabaseError(socket, headOnly);
        sendJson(socket, 200, toJson({ { QStringLiteral("songs"), songsToJson(songs) } }), headOnly);
    } else if (action == QLatin1String("incrementPlayCount")) {
        int id = 0;
        if (!requireId(QStringLiteral("id"), &id))
            return;
        int count = -1;
        if (!m_database->incrementPlayCount(id, &count))
            return sendDatabaseError(socket, headOnly);
        if (count < 0)
            return sendError(socket, 404, QStringLiteral("no song with id %1").arg(id), headOnly);
        sendJson(socket, 200,
            toJson({ { QStringLiteral("success"), true }, { QStringLiteral("id"), id },
                { QStringLiteral("play_count"), count } }),
            headOnly);
    } else {
        sendError(socket, 400, QStringLiteral("unknown action \"%1\"").arg(action.left(64)), headOnly);
    }
}

void CatalogueServer::handleMedia(
    const QString &relative, const QHttpServerRequest &request, QTcpSocket *socket, bool headOnly)
{
    const QByteArray rangeHeader = request.value("Range");

    if (const int albumId = CataloguePaths::albumIdOfEmbeddedCover(relative)) {
        QByteArray data;
        QString mimeType;
        bool found = false;
        if (!m_database->embeddedCover(albumId, &data, &mimeType, &found))
            return sendDatabaseError(socket, headOnly);
        if (!found)
            return sendError(socket, 404, QStringLiteral("no such cover"), headOnly);
        const ByteRange range = parseRange(rangeHeader, data.size());
        const QByteArray type = mimeType.isEmpty() ? CataloguePaths::contentTypeFor(relative) : mimeType.toLatin1();
        if (range.kind == RangeKind::Unsatisfiable) {
            writeHead(socket, 416,
                { { "Content-Range", "bytes */" + QByteArray::number(data.size()) }, { "Content-Length", "0" } });
            return;
        }
        Headers headers { { "Content-Type", type }, { "Accept-Ranges", "bytes" },
            { "Content-Length", QByteArray::number(range.length) } };
        if (range.kind == RangeKind::Partial) {
            headers.append({ "Content-Range",
                "bytes " + QByteArray::number(range.start) + '-' + QByteArray::number(range.start + range.length - 1)
                    + '/' + QByteArray::number(data.size()) });
        }
        writeHead(socket, range.kind == RangeKind::Partial ? 206 : 200, headers);
        if (!headOnly)
            socket->write(data.mid(range.start, range.length));
        return;
    }

    if (!CataloguePaths::isSafeRelativePath(relative))
        return sendError(socket, 403, QStringLiteral("this path is not served"), headOnly);
    const QString rootPath = m_database->mediaRoot();
    const QString root = rootPath.isEmpty() ? QString() : QFileInfo(rootPath).canonicalFilePath();
    if (root.isEmpty())
        return sendError(socket, 404, QStringLiteral("no media folder has been imported"), headOnly);
    const QFileInfo file(root + QLatin1Char('/') + relative);
    if (!file.exists())
        return sendError(socket, 404, QStringLiteral("not found"), headOnly);
    // A link inside the folder may point anywhere; only what really lies inside is served.
    if (!CataloguePaths::isInside(root, file.canonicalFilePath()))
        return sendError(socket, 403, QStringLiteral("this path is not served"), headOnly);
    if (!file.isFile() || !file.isReadable())
        return sendError(socket, 404, QStringLiteral("not found"), headOnly);

    const qint64 size = file.size();
    const ByteRange range = parseRange(rangeHeader, size);
    if (range.kind == RangeKind::Unsatisfiable) {
        writeHead(
            socket, 416, { { "Content-Range", "bytes */" + QByteArray::number(size) }, { "Content-Length", "0" } });
        return;
    }
    FileSender *sender = nullptr;
    if (!headOnly && range.length > 0) {
        sender = new FileSender(socket, file.canonicalFilePath(), range.start, range.length);
        if (!sender->isValid()) {
            delete sender;
            return sendError(socket, 404, QStringLiteral("not found"), headOnly);
        }
    }
    Headers headers { { "Content-Type", CataloguePaths::contentTypeFor(relative) }, { "Accept-Ranges", "bytes" },
        { "Content-Length", QByteArray::number(range.length) } };
    if (range.kind == RangeKind::Partial) {
        headers.append({ "Content-Range",
            "bytes " + QByteArray::number(range.start) + '-' + QByteArray::number(range.start + range.length - 1) + '/'
                + QByteArray::number(size) });
    }
    writeHead(socket, range.kind == RangeKind::Partial ? 206 : 200, headers);
    if (sender)
        sender->pump();
}
