#pragma once

#include "apiclient.h"
#include "models.h"

#include <QList>
#include <QObject>
#include <QSslConfiguration>

class PageNotice;
class QListWidget;
class QListWidgetItem;
class QNetworkAccessManager;
class ResultsPage;
class StatusLine;

// The album and song pages: the catalogue's albums as a grid of covers and all its songs as a
// list; search results and an album's songs go to the results page. Owns the loaded catalogue,
// which other pages read.
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

    // Loads albums and every song together; a second call while loading or once loaded does
    // nothing. The load ends when both have answered; a failure is said on both pages.
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
    // Search results and album songs go to this page instead of the All Songs list.
    void setResultsPage(ResultsPage *page) { m_results = page; }
    void showSongDetail(const Song &song);

signals:
    void countsChanged();
    // Every song is in; auto-play may start.
    void catalogueLoaded();
    void playRequested(const QList<Song> &songs, int index);
    // A song row was activated: the song joins the queue and starts.
    void songActivated(int songId);
    void pageRequested(int page);
    // The Retry (or Refresh) button of a page notice.
    void retryRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The grid's cells share the page's width between as many whole columns as fit.
    void fitAlbumGrid();
    enum LoadPart { AlbumsPart = 1, SongsPart = 2 };
    // One list of the load has answered; the load ends with the last one.
    void partArrived(LoadPart part);
    void showLoadOutcome();
    // The status line and the window's cursor say a load runs, or that it ended.
    void setLoadingState(bool loading);
    void loadCover(QListWidgetItem *item, const QString &coverPath);
    void clearAlbumGrid();
    // One album's songs on the results page, headed by the album's name.
    void showAlbum(int albumId, const QList<Song> &songs);

    ApiClient *m_client;
    StatusLine *m_status;
    QListWidget *m_albumList;
    QListWidget *m_songList;
    ResultsPage *m_results = nullptr;
    PageNotice *m_albumNotice;
    PageNotice *m_songNotice;
    int m_pendingParts = 0; // LoadPart bits still awaited
    ApiError m_loadFailure; // the first failure of the running load
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
