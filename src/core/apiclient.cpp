#include "apiclient.h"

#include "catalogueconfig.h"

#include <QDebug>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPromise>
#include <QThreadPool>
#include <QUrl>

#include <memory>
#include <utility>

namespace {

// Longest part of a reply body that goes to the log.
constexpr qsizetype LoggedBodyBytes = 200;

// At most the first LoggedBodyBytes of the body, cut back to a whole UTF-8 character.
QString bodyForLog(const QByteArray &body)
{
    if (body.size() <= LoggedBodyBytes)
        return QString::fromUtf8(body);
    qsizetype end = LoggedBodyBytes;
    // A UTF-8 character has at most three continuation bytes (10xxxxxx) after its lead byte.
    for (int back = 0; back < 3 && (static_cast<unsigned char>(body.at(end)) & 0xC0) == 0x80; ++back)
        --end;
    return QString::fromUtf8(body.left(end));
}

// The rows of a list reply: the array itself, or the array under key. ok is false when the body
// is not JSON or has neither shape.
QJsonArray rowsOf(const QByteArray &body, QLatin1String key, bool *ok)
{
    *ok = true;
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    if (doc.isArray())
        return doc.array();
    if (doc.isObject()) {
        const QJsonValue value = doc.object().value(key);
        if (value.isArray())
            return value.toArray();
    }
    *ok = false;
    return {};
}

// Song lists larger than this are parsed on a worker thread.
constexpr qint64 ThreadedParseBytes = 256 * 1024;
// Object name of the watchers of those parses, which a cancel drops with their callbacks.
constexpr const char *ParseWatcherName = "veloraSongParse";

// Set on play-count requests, which a catalogue refresh leaves running.
const char *const KeepOnCancelProperty = "veloraKeepOnCancel";

template <typename Record> QList<Record> recordsOf(const QJsonArray &rows)
{
    QList<Record> records;
    records.reserve(rows.size());
    for (const QJsonValue &row : rows)
        records.append(Record::fromJson(row.toObject()));
    return records;
}

} // namespace

ApiClient::ApiClient(QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
    , m_baseUrl(CatalogueConfig::apiUrl().toString())
    , m_sslConfiguration(CatalogueConfig::sslConfiguration())
    , m_transferTimeoutMs(CatalogueConfig::transferTimeoutMs())
    , m_requestDeadlineMs(CatalogueConfig::requestDeadlineMs())
    , m_answerTimeoutMs(CatalogueConfig::answerTimeoutMs())
    , m_serverAddress(CatalogueConfig::baseUrl().toString())
{
    qDebug().noquote() << tr("API客户端已初始化，基础URL:") << m_baseUrl;
    if (m_sslConfiguration.peerVerifyMode() == QSslSocket::VerifyNone)
        qWarning().noquote() << tr("已关闭证书验证，服务器身份未经核实");
}

ApiClient::~ApiClient()
{
    // Replies still running die with m_manager; make sure none of them reaches a handler first.
    const QList<QNetworkReply *> replies = m_manager->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies)
        reply->disconnect(this);
}

QNetworkReply *ApiClient::sendGet(const QString &query)
{
    QNetworkRequest request(QUrl(m_baseUrl + query, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    CatalogueConfig::prepareRequest(request, m_sslConfiguration, m_transferTimeoutMs);
    QNetworkReply *reply = m_manager->get(request);
    CatalogueConfig::limitReplySize(reply);
    CatalogueConfig::limitReplyTime(reply, m_requestDeadlineMs);
    CatalogueConfig::limitAnswerTime(reply, m_answerTimeoutMs);
    return reply;
}

void ApiClient::cancelCatalogueRequests()
{
    const QList<QNetworkReply *> replies = m_manager->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies) {
        if (reply->isFinished() || reply->property(KeepOnCancelProperty).toBool())
            continue;
        // Disconnected first: abort() emits finished at once, and the callback must not run.
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    // A list being parsed aside is part of a load too.
    for (QObject *watcher : findChildren<QObject *>(QLatin1String(ParseWatcherName), Qt::FindDirectChildrenOnly))
        delete watcher;
}

ApiError ApiClient::transportError(const QNetworkReply *reply) const
{
    ApiError error;
    if (CatalogueConfig::replyTooLarge(reply)) {
        error.kind = ApiError::TooLarge;
        error.message = tr("服务器 %1 的回复超过大小上限").arg(m_serverAddress);
        return error;
    }
    if (CatalogueConfig::replyUnanswered(reply)) {
        error.kind = ApiError::NoAnswer;
        error.message = tr("服务器 %1 在 %2 秒内没有应答").arg(m_serverAddress).arg(m_answerTimeoutMs / 1000.0);
        return error;
    }
    if (CatalogueConfig::replyPastDeadline(reply)) {
        error.kind = ApiError::Timeout;
        error.message = tr("服务器 %1 在 %2 秒内没有完成回复").arg(m_serverAddress).arg(m_requestDeadlineMs / 1000.0);
        return error;
    }
    switch (reply->error()) {
    case QNetworkReply::NoError:
        return error;
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
        // The client aborts only for its own limits, so this is the transfer timeout.
        error.kind = ApiError::Timeout;
        error.message = tr("服务器 %1 有 %2 秒没有响应").arg(m_serverAddress).arg(m_transferTimeoutMs / 1000.0);
        return error;
    case QNetworkReply::ConnectionRefusedError:
        error.kind = ApiError::Refused;
        error.message = tr("无法连接服务器 %1: 连接被拒绝，服务器可能没有运行").arg(m_serverAddress);
        return error;
    case QNetworkReply::SslHandshakeFailedError:
        error.kind = ApiError::Certificate;
        error.message = tr("服务器证书不受信任: %2 (%1)").arg(m_serverAddress, reply->errorString());
        return error;
    default:
        break;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        error.kind = ApiError::HttpStatus;
        error.message = tr("服务器 %1 返回错误状态 %2").arg(m_serverAddress).arg(status);
        return error;
    }
    // Unknown host, dropped connection: the server was not there to answer.
    error.kind = ApiError::Unreachable;
    error.message = tr("无法连接服务器 %1: %2").arg(m_serverAddress, reply->errorString());
    return error;
}

ApiError ApiClient::malformedError() const
{
    return { ApiError::Malformed, tr("%1 的回复不是音乐目录数据，请检查服务器地址").arg(m_serverAddress) };
}

QString ApiClient::failureReason(const QNetworkReply *reply) const
{
    if (CatalogueConfig::replyTooLarge(reply))
        return tr("回复超过大小上限，已中止");
    if (CatalogueConfig::replyPastDeadline(reply))
        return tr("超过请求期限，已中止");
    if (CatalogueConfig::replyUnanswered(reply))
        return tr("服务器没有应答，已中止");
    // Besides the two limits above the client aborts nothing it still listens to, so a
    // cancellation is the transfer timeout.
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return tr("请求超时");
    return reply->errorString();
}

QJsonArray ApiClient::readRows(QNetworkReply *reply, const ListTexts &texts)
{
    m_lastError = transportError(reply);
    if (reply->error() != QNetworkReply::NoError) {
        qDebug().noquote() << texts.failure << failureReason(reply);
        return {};
    }
    const QByteArray body = reply->readAll();
    // The body is quoted so that control characters from the server cannot forge log lines.
    if (!texts.response.isEmpty()) {
        QDebug log = qDebug().noquote();
        log << texts.response;
        log.quote() << bodyForLog(body);
    }
    bool ok = false;
    const QJsonArray rows = rowsOf(body, texts.key, &ok);
    if (!ok) {
        m_lastError = malformedError();
        qDebug().noquote() << texts.failure << m_lastError.message;
    }
    return rows;
}

void ApiClient::logSummary(const ListTexts &texts, qsizetype count) const
{
    if (!texts.unit.isEmpty())
        qDebug().noquote() << tr("已加载") << count << texts.unit;
}

void ApiClient::getAlbums(AlbumsCallback callback)
{
    QNetworkReply *reply = sendGet(QStringLiteral("?action=getAlbums"));
    connect(reply, &QNetworkReply::finished, this, [this, reply, callback = std::move(callback)] {
        const ListTexts texts { QLatin1String("albums"), tr("获取专辑失败:"), tr("专辑响应:"), tr("个专辑") };
        const QList<Album> albums = recordsOf<Album>(readRows(reply, texts));
        logSummary(texts, albums.size());
        // Scheduled before the callback: the callback may destroy this client and the reply with it.
        reply->deleteLater();
        if (callback)
            callback(albums);
    });
}

void ApiClient::getSongs(int albumId, SongsCallback callback)
{
    QString query = QStringLiteral("?action=getSongs");
    if (albumId > 0)
        query += QStringLiteral("&album_id=") + QString::number(albumId);
    QNetworkReply *reply = sendGet(query);
    connect(reply, &QNetworkReply::finished, this, [this, reply, callback = std::move(callback)] {
        const ListTexts texts { QLatin1String("songs"), tr("获取歌曲失败:"), tr("歌曲响应:"), tr("首歌曲") };
        reply->deleteLater();
        if (reply->error() == QNetworkReply::NoError && reply->bytesAvailable() > ThreadedParseBytes) {
            parseSongsAside(reply->readAll(), texts, callback);
            return;
        }
        const QList<Song> songs = recordsOf<Song>(readRows(reply, texts));
        logSummary(texts, songs.size());
        if (callback)
            callback(songs);
    });
}

// A whole catalogue is megabytes of JSON: read on the window's thread it would freeze the window.
void ApiClient::parseSongsAside(const QByteArray &body, const ListTexts &texts, const SongsCallback &callback)
{
    struct Parsed
    {
        QList<Song> songs;
        bool ok = false;
    };
    auto promise = std::make_shared<QPromise<Parsed>>();
    auto *watcher = new QFutureWatcher<Parsed>(this);
    watcher->setObjectName(QLatin1String(ParseWatcherName));
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, texts, callback] {
        watcher->deleteLater();
        const Parsed parsed = watcher->future().resultCount() > 0 ? watcher->result() : Parsed();
        m_lastError = parsed.ok ? ApiError() : malformedError();
        if (!parsed.ok)
            qDebug().noquote() << texts.failure << m_lastError.message;
        logSummary(texts, parsed.songs.size());
        if (callback)
            callback(parsed.songs);
    });
    watcher->setFuture(promise->future());
    {
        QDebug log = qDebug().noquote();
        log << texts.response;
        log.quote() << bodyForLog(body);
    }
    QThreadPool::globalInstance()->start([promise, body, key = texts.key] {
        promise->start();
        Parsed parsed;
        parsed.songs = recordsOf<Song>(rowsOf(body, key, &parsed.ok));
        promise->addResult(std::move(parsed));
        promise->finish();
    });
}

void ApiClient::getAllSongs(SongsCallback callback)
{
    getSongs(0, std::move(callback));
}

void ApiClient::search(const QString &keyword, SongsCallback callback)
{
    const QByteArray encoded = keyword.toUtf8().toPercentEncoding(QByteArray(), QByteArray(), '%');
    QNetworkReply *reply = sendGet(QStringLiteral("?action=search&q=") + QString::fromLatin1(encoded));
    connect(reply, &QNetworkReply::finished, this, [this, reply, callback = std::move(callback)] {
        const ListTexts texts { QLatin1String("results"), tr("搜索失败:"), QString(), QString() };
        const QList<Song> songs = recordsOf<Song>(readRows(reply, texts));
        reply->deleteLater();
        if (callback)
            callback(songs);
    });
}

void ApiClient::getSong(int songId, SongCallback callback)
{
    QNetworkReply *reply = sendGet(QStringLiteral("?action=getSong&id=") + QString::number(songId));
    connect(reply, &QNetworkReply::finished, this, [this, reply, callback = std::move(callback)] {
        Song song;
        m_lastError = transportError(reply);
        if (reply->error() != QNetworkReply::NoError) {
            qDebug().noquote() << tr("获取歌曲失败:") << failureReason(reply);
        } else {
            const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll());
            if (doc.isObject())
                song = Song::fromJson(doc.object());
            else if (doc.isArray() && !doc.array().isEmpty())
                song = Song::fromJson(doc.array().first().toObject());
            else
                m_lastError = malformedError();
        }
        reply->deleteLater();
        if (callback)
            callback(song);
    });
}

void ApiClient::getArtistRanking(RankingCallback callback)
{
    QNetworkReply *reply = sendGet(QStringLiteral("?action=getArtistRanking"));
    connect(reply, &QNetworkReply::finished, this, [this, reply, callback = std::move(callback)] {
        const QJsonArray rows
            = readRows(reply, { QLatin1String("artists"), tr("获取排行榜失败:"), QString(), QString() });
        reply->deleteLater();
        if (callback)
            callback(rows);
    });
}

void ApiClient::getSongRanking(RankingCallback callback)
{
    QNetworkReply *reply = sendGet(QStringLiteral("?action=getSongRanking"));
    connect(reply, &QNetworkReply::finished, this, [this, reply, callback = std::move(callback)] {
        const QJsonArray rows
            = readRows(reply, { QLatin1String("songs"), tr("获取排行榜失败:"), QString(), QString() });
        reply->deleteLater();
        if (callback)
            callback(rows);
    });
}

void ApiClient::incrementPlayCount(int songId)
{
    QNetworkReply *reply = sendGet(QStringLiteral("?action=incrementPlayCount&id=") + QString::number(songId));
    reply->setProperty(KeepOnCancelProperty, true);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply->error() != QNetworkReply::NoError)
            qDebug().noquote() << tr("增加播放次数失败:") << failureReason(reply);
        reply->deleteLater();
    });
}
