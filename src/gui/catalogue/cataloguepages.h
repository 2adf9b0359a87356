#pragma once

#include "models.h"

#include <QList>
#include <QObject>
#include <QSslConfiguration>

class ApiClient;
class QListWidget;
class QListWidgetItem;
class QNetworkAccessManager;
class StatusLine;

// The album and song pages: the catalogue's albums as a grid of covers and its songs as a list
// (or an album's songs, or search results). Owns the loaded catalogue, which other pages read.
class CataloguePages : public QObject
{
    Q_OBJECT

public:
    CataloguePages(
        ApiClient *client, StatusLine *status, QListWidget *albumList, QListWidget *songList, QObject *parent);

    const QList<Album> &albums() const { return m_albums; }
    // The loaded album with this id, or nullptr; valid until the next catalogue load.
    const Album *findAlbum(int albumId) const;
    const QList<Song> &songs() const { return m_songs; }
    bool containsSong(int songId) const;
    // The catalogue song with this id; an invalid song (id 0) when there is none.
    Song song(int songId) const;

    // Loads albums, then every song; a second call while loading or once loaded does nothing.
    void load();
    // Empties both pages; reload() then loads again, ending a load that still runs.
    void clear();
    void reload();
    // An error ended the load: the next load() may start again.
    void loadFailed() { m_isLoading = false; }

    void loadAlbums();
    void loadAlbumSongs(int albumId);
    void playAlbum(int albumId);
    void loadAllSongs();
    void search(const QString &keyword);
    void highlightSong(int songId);
    void showSongDetail(const Song &song);

signals:
    void countsChanged();
    // Every song is in; auto-play may start.
    void catalogueLoaded();
    void playRequested(const QList<Song> &songs, int index);
    // A song row was activated: the song joins the queue and starts.
    void songActivated(int songId);
    void pageRequested(int page);

private:
    // The status line and the window's cursor say a load runs, or that it ended.
    void setLoadingState(bool loading);
    void loadCover(QListWidgetItem *item, const QString &coverPath);
    void clearAlbumGrid();

    ApiClient *m_client;
    StatusLine *m_status;
    QListWidget *m_albumList;
    QListWidget *m_songList;
    bool m_isLoading = false;
    bool m_dataLoaded = false;
    QList<Album> m_albums;
    QList<Song> m_songs;
    // One manager for every cover, so covers share connections instead of each opening its own;
    // one TLS configuration for all its requests, since pooled connections keep the first one.
    QNetworkAccessManager *m_coverManager = nullptr;
    QSslConfiguration m_coverSslConfiguration;
    int m_coverTimeoutMs = 0;
    // Bumped whenever the album grid is emptied: a cover reply of an older grid has no tile.
    int m_albumGridGeneration = 0;
};
