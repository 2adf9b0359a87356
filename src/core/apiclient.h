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

// Completion callbacks of the catalogue operations; any of them may be empty.
using AlbumsCallback = std::function<void(QList<Album> albums)>;
using SongsCallback = std::function<void(QList<Song> songs)>;
using SongCallback = std::function<void(Song song)>;
using RankingCallback = std::function<void(QJsonArray rows)>;

// The one way to the catalogue server. Every operation sends one GET and returns at once; its
// callback runs exactly once with the result, or with an empty result when anything failed
// (transport, TLS, HTTP status, timeout, oversized or malformed body). Nothing is queued,
// retried or cached. Callbacks never run after the client is destroyed.
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
    QJsonArray readRows(QNetworkReply *reply, const ListTexts &texts) const;
    void logSummary(const ListTexts &texts, qsizetype count) const;
    QString failureReason(const QNetworkReply *reply) const;

    QNetworkAccessManager *m_manager = nullptr;
    QString m_baseUrl; // the endpoint address: base address + "/music/api.php"
    // Read once: every request of m_manager must carry the same TLS settings.
    QSslConfiguration m_sslConfiguration;
    int m_transferTimeoutMs = 0;
};
