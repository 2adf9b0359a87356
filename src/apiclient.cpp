#include "apiclient.h"

#include <QNetworkAccessManager>

#include <utility>

ApiClient::ApiClient(QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
}

ApiClient::~ApiClient() = default;

void ApiClient::getAlbums(AlbumsCallback callback)
{
    if (callback)
        callback({});
}

void ApiClient::getSongs(int albumId, SongsCallback callback)
{
    Q_UNUSED(albumId);
    if (callback)
        callback({});
}

void ApiClient::getAllSongs(SongsCallback callback)
{
    getSongs(0, std::move(callback));
}

void ApiClient::search(const QString &keyword, SongsCallback callback)
{
    Q_UNUSED(keyword);
    if (callback)
        callback({});
}

void ApiClient::getSong(int songId, SongCallback callback)
{
    Q_UNUSED(songId);
    if (callback)
        callback(Song());
}

void ApiClient::getArtistRanking(RankingCallback callback)
{
    if (callback)
        callback({});
}

void ApiClient::getSongRanking(RankingCallback callback)
{
    if (callback)
        callback({});
}

void ApiClient::incrementPlayCount(int songId)
{
    Q_UNUSED(songId);
}
