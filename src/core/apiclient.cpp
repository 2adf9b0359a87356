#include "apiclient.h"

#include "catalogueconfig.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

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

QJsonArray rowsOf(const QByteArray &body, QLatin1String key)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    if (doc.isArray())
        return doc.array();
    if (doc.isObject()) {
        const QJsonValue value = doc.object().value(key);
        if (value.isArray())
            return value.toArray();
    }
    return {};
}

template<typename Record>
QList<Record> recordsOf(const QJsonArray &rows)
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
    return reply;
}

QString ApiClient::failureReason(const QNetworkReply *reply) const
{
    if (CatalogueConfig::replyTooLarge(reply))
        return tr("回复超过大小上限，已中止");
    // The client never aborts a request itself, so a cancellation is the transfer timeout.
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return tr("请求超时");
    return reply->errorString();
}

QJsonArray ApiClient::readRows(QNetworkReply *reply, const ListTexts &texts) const
{
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
    return rowsOf(body, texts.key);
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
        const ListTexts texts{QLatin1String("albums"), tr("获取专辑失败:"), tr("专辑响应:"), tr("个专辑")};
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
        const ListTexts texts{QLatin1String("songs"), tr("获取歌曲失败:"), tr("歌曲响应:"), tr("首歌曲")};
        const QList<Song> songs = recordsOf<Song>(readRows(reply, texts));
        logSummary(texts, songs.size());
        reply->deleteLater();
        if (callback)
            callback(songs);
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
        const ListTexts texts{QLatin1String("results"), tr("搜索失败:"), QString(), QString()};
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
        if (reply->error() != QNetworkReply::NoError) {
            qDebug().noquote() << tr("获取歌曲失败:") << failureReason(reply);
        } else {
            const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll());
            if (doc.isObject())
                song = Song::fromJson(doc.object());
            else if (doc.isArray() && !doc.array().isEmpty())
                song = Song::fromJson(doc.array().first().toObject());
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
        const QJsonArray rows = readRows(reply, {QLatin1String("artists"), tr("获取排行榜失败:"), QString(), QString()});
        reply->deleteLater();
        if (callback)
            callback(rows);
    });
}

void ApiClient::getSongRanking(RankingCallback callback)
{
    QNetworkReply *reply = sendGet(QStringLiteral("?action=getSongRanking"));
    connect(reply, &QNetworkReply::finished, this, [this, reply, callback = std::move(callback)] {
        const QJsonArray rows = readRows(reply, {QLatin1String("songs"), tr("获取排行榜失败:"), QString(), QString()});
        reply->deleteLater();
        if (callback)
            callback(rows);
    });
}

void ApiClient::incrementPlayCount(int songId)
{
    QNetworkReply *reply = sendGet(QStringLiteral("?action=incrementPlayCount&id=") + QString::number(songId));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply->error() != QNetworkReply::NoError)
            qDebug().noquote() << tr("增加播放次数失败:") << failureReason(reply);
        reply->deleteLater();
    });
}
