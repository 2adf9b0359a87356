#pragma once

#include "models.h"

#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Why a catalogue request failed, for the user. Kind None after a success.
struct ApiError
{
    enum Kind {
        None,
        Unreachable, // no connection: refused, unknown host, dropped
        Certificate, // TLS handshake or an untrusted certificate
        Timeout, // no progress for the transfer timeout, or past the request deadline
        HttpStatus, // the server answered with an error status
        TooLarge, // the reply outgrew the size limit
        Malformed, // not JSON, or not the expected shape
        Cancelled, // dropped by cancelCatalogueRequests()
        Refused, // nothing listens at the address: the server is not running there
        NoAnswer, // connected (or still connecting), but the server never began to answer
    };
    Kind kind = None;
    QString message; // translated, names the server address and what failed; empty for None

    bool failed() const { return kind != None; }
};

// Completion callbacks of the catalogue operations; any of them may be empty.
using AlbumsCallback = std::function<void(QList<Album> albums)>;
using SongsCallback = std::function<void(QList<Song> songs)>;
using SongCallback = std::function<void(Song song)>;
using RankingCallback = std::function<void(QJsonArray rows)>;

// The one way to the catalogue server. Every operation sends one GET and returns at once; its
// callback runs exactly once with the result, or with an empty result when anything failed
// (transport, TLS, HTTP status, timeout, oversized or malformed body). Nothing is queued,
// retried or cached. Callbacks never run after the client is destroyed. While a callback runs,
// lastError() says why its result is empty (kind None when the request succeeded).
class ApiClient : public QObject
{
    Q_OBJECT

public:
    using AlbumsCallback = ::AlbumsCallback;
    using SongsCallback = ::SongsCallback;
    using SongCallback = ::SongCallback;
    using RankingCallback = ::RankingCallback;

    explicit ApiClient(QObject *parent = nullptr);
    ~ApiClient() override;

    void getAlbums(AlbumsCallback callback);
    // albumId > 0 filters by album; anything else asks for every song.
    void getSongs(int albumId, SongsCallback callback);
    void getAllSongs(SongsCallback callback);
    // The keyword is sent as it stands (callers trim it), UTF-8 percent-encoded.
    void search(const QString &keyword, SongsCallback callback);
    void getSong(int songId, SongCallback callback);
    void getArtistRanking(RankingCallback callback);
    void getSongRanking(RankingCallback callback);
    // Fire and forget; only a failure is logged.
    void incrementPlayCount(int songId);

    // The outcome of the request whose callback runs now, or of the last one that finished.
    const ApiError &lastError() const { return m_lastError; }
    // Aborts every catalogue request still running (play counts go on); their callbacks do not
    // run. A refresh uses it so that a stalled load cannot hold the next one back.
    void cancelCatalogueRequests();

signals:
    // Connected by the window; the operations report failures as empty results instead.
    void error(const QString &message);
    void networkError(const QString &message);

private:
    // What a list operation logs; empty texts are not logged.
    struct ListTexts
    {
        QLatin1String key; // the object key that may hold the rows
        QString failure;
        QString response;
        QString unit;
    };

    QNetworkReply *sendGet(const QString &query);
    // Error log and rows of a finished list reply; no rows when it failed.
    QJsonArray readRows(QNetworkReply *reply, const ListTexts &texts);
    void logSummary(const ListTexts &texts, qsizetype count) const;
    ApiError transportError(const QNetworkReply *reply) const;
    QString failureReason(const QNetworkReply *reply) const;
    ApiError malformedError() const;
    void parseSongsAside(const QByteArray &body, const ListTexts &texts, const SongsCallback &callback);

    QNetworkAccessManager *m_manager = nullptr;
    QString m_baseUrl; // the endpoint address: base address + "/music/api.php"
    // Read once: every request of m_manager must carry the same TLS settings.
    QSslConfiguration m_sslConfiguration;
    int m_transferTimeoutMs = 0;
    int m_requestDeadlineMs = 0;
    int m_answerTimeoutMs = 0;
    QString m_serverAddress; // scheme, host and port, for messages
    ApiError m_lastError;
};
