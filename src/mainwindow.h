#pragma once

#include "models.h"
#include "musicplayer.h"

#include <QList>
#include <QMainWindow>
#include <QMediaPlayer>
#include <QPoint>
#include <QSettings>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>

#include <functional>

namespace Ui {
class MainWindow;
}

class ApiClient;
class LocalMusicManager;
class QAbstractButton;
class QAction;
class QActionGroup;
class QButtonGroup;
class QListWidgetItem;
class QMenu;
class QNetworkAccessManager;
class QPushButton;
class QSlider;
class QTimer;
class QTranslator;

// The one window of the player. Owns the catalogue client, the player, the local library, the
// translator and the settings store, and wires every page of the form to them. Its
// implementation is split by area: construction and wiring (mainwindow.cpp), chrome and
// sidebar (mainwindow_chrome.cpp), catalogue pages and charts (mainwindow_catalogue.cpp),
// player bar and queue (mainwindow_player.cpp), lyrics page (mainwindow_lyrics.cpp), local
// music and its persistence (mainwindow_local.cpp), preferences (mainwindow_prefs.cpp) and
// languages (mainwindow_language.cpp).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Asks the user for a music folder; an empty result means cancelled. The default opens a
    // folder dialog; tests put their own chooser here.
    using FolderChooser = std::function<QString(QWidget *parent)>;
    void setFolderChooser(FolderChooser chooser);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void loadData();

    // Catalogue pages
    void loadAlbums();
    void loadAlbumSongs(int albumId);
    void playAlbum(int albumId);
    void loadAllSongs();
    void searchSongs();
    void showSongDetail(const Song &song);

    // Player bar
    void onPlayPause();
    void onNext();
    void onPrevious();
    void onStop();
    void onVolumeChanged(int value);
    void onPositionChanged(qint64 position);
    void onDurationChanged(qint64 duration);
    void onSongChanged(const Song &song);
    void onPlayModeChanged(MusicPlayer::PlayMode mode);
    void onPlaybackStateChanged(QMediaPlayer::PlaybackState state);

    // Playlist page
    void onPlaylistChanged();
    void addToPlaylist(int songId);
    void removeFromPlaylist(int index);
    void clearPlaylist();
    void playPlaylistItem(int index);

    // Charts page
    void loadRanking(const QString &type);
    void loadArtistRanking();
    void loadSongRanking();
    void onRankingItemClicked(int index, const QString &type);
    void playRankingArtist(const QString &artist);

    // Lyrics page
    void updateLyrics();
    void updateLyricsHighlight();
    void toggleLyricsView();

    void onApiError(const QString &message);
    void onNetworkError(const QString &message);

    void showToast(const QString &message, bool isError = false, bool persistent = false);

    void updatePlayButtonIcon();

    // ---- Local music, preferences and languages (mainwindow_local.cpp, mainwindow_prefs.cpp,
    // mainwindow_language.cpp) ----
    void onSearchModeChanged(int index);
    void scanLocalMusic();
    void onLocalScanProgress(int current, int total, const QString &fileName);
    void onLocalScanFinished(int totalFiles);
    void onLocalMusicListChanged();
    void playLocalMusic(int index);
    void addLocalToPlaylist(int index);
    void selectMusicFolder();
    void filterLocalMusic(const QString &text);
    void onAutoStartToggled(bool checked);
    void onAutoPlayToggled(bool checked);
    void onDarkModeToggled(bool checked);
    void onLanguageChanged(QAction *action);
    void showAbout();
    void checkAutoPlay();
    // ---- end of slots of the local, preferences and language areas ----

private:
    // Construction and wiring (mainwindow.cpp)
    void setupConnections();
    void setupSearchModeConnection();
    void setupSearchButton();
    void positionSearchButton();
    void refreshCatalogue();

    // Sidebar and chrome (mainwindow_chrome.cpp)
    void setupSidebarTabs();
    void onTabClicked(QAbstractButton *button);
    void updateTabCounts();
    void showTabSwitchMessage(int index);
    void setLoadingState(bool loading);
    void clearStatusLine();

    // Catalogue pages (mainwindow_catalogue.cpp)
    void loadCover(QListWidgetItem *item, const QString &coverPath);
    void playAllSongsItem(QListWidgetItem *item);

    // Player bar and queue (mainwindow_player.cpp)
    void setupPlayerControls();
    void updateCurrentSongUI(const Song &song);
    void toggleVolumeSlider();
    void updateVolumeIcon(int volume);
    QString formatTime(qint64 ms) const;
    void seekToSliderValue(int value);
    void cyclePlayMode();
    void updatePlaylistView();
    void highlightCurrentRows(const Song &song);
    void playCurrentPlaylistFromStart();
    void playAppendedSong(int songId);

    // ---- Local music, preferences and languages: private helpers ----
    void setupLocalMusicConnections();
    void updateLocalMusicList();
    void removeLocalMusic(int index);
    void clearLocalMusic();
    void showLocalMusicContextMenu(const QPoint &pos);
    void loadLocalMusicFromSettings();
    void saveLocalMusicToSettings();
    void setupSettingsMenu();
    void loadSettings();
    void applyTheme(bool darkMode);
    void openProductPage();
    void loadTranslation(const QString &language);
    void refreshUITexts();
    void scheduleLocalRefresh();
    void removeStoredLocalLibrary();
    void continueLocalRestore();
    void finishLocalRestore();
    void cancelLocalRestore();
    // ---- end of private helpers of the local, preferences and language areas ----

    Ui::MainWindow *ui;
    ApiClient *m_apiClient = nullptr;
    MusicPlayer *m_player = nullptr;
    QTimer *m_statusTimer = nullptr;
    LocalMusicManager *m_localMusicManager = nullptr;
    QTranslator *m_translator = nullptr;
    QTranslator *m_qtTranslator = nullptr; // Qt's own texts, in the same language
    QSettings m_settings;

    // Status line
    QString m_statusMessage;
    bool m_statusPersistent = false;

    // Sidebar
    QButtonGroup *m_tabGroup = nullptr;
    QList<QPushButton *> m_tabButtons;

    QPushButton *m_searchButton = nullptr;

    // Catalogue load guard and the loaded catalogue
    bool m_isLoading = false;
    bool m_dataLoaded = false;
    QList<Album> m_albums;
    QList<Song> m_allSongs;
    // One manager for every cover, so covers share connections instead of each opening its own;
    // one TLS configuration for all its requests, since pooled connections keep the first one.
    QNetworkAccessManager *m_coverManager = nullptr;
    QSslConfiguration m_coverSslConfiguration;
    int m_coverTimeoutMs = 0;
    // Bumped whenever the album grid is emptied: a cover reply of an older grid has no tile.
    int m_albumGridGeneration = 0;

    // The list last handed to the player (the playlist page mirrors the player's queue)
    QList<Song> m_currentPlaylist;

    // Window dragging by the header
    bool m_dragging = false;
    QPoint m_dragStartPosition;
    QPoint m_windowStartPosition;

    // Volume pop-up
    QSlider *m_volumeSlider = nullptr;
    bool m_volumeSliderVisible = false;

    // ---- Local music, preferences and languages: members ----
    QList<LocalMusicFile> m_filteredLocalMusic;
    bool m_isLocalFiltered = false;
    QMenu *m_settingsMenu = nullptr;
    QAction *m_autoStartAction = nullptr;
    QAction *m_autoPlayAction = nullptr;
    QAction *m_darkModeAction = nullptr;
    QActionGroup *m_languageGroup = nullptr;
    QAction *m_aboutAction = nullptr;
    FolderChooser m_folderChooser;
    // Library changes arrive one file at a time; the page is rebuilt once per event-loop turn.
    bool m_localRefreshPending = false;
    // The stored library is re-read in slices once the window runs, so a large or slow library
    // does not hold the window back; the stored list stays untouched until that ends.
    QStringList m_pendingRestore;
    qsizetype m_storedLocalEntries = 0;
    bool m_restoringLocal = false;
    // ---- end of members of the local, preferences and language areas ----
};
