#pragma once

#include "cataloguepages.h"
#include "chartspage.h"
#include "localpage.h"
#include "lyricspage.h"
#include "musicplayer.h"
#include "playerbar.h"
#include "preferencesmenu.h"
#include "queuepage.h"
#include "searchbar.h"
#include "settings.h"
#include "sidebar.h"
#include "statusline.h"
#include "windowchrome.h"
#include "languageswitch.h"

#include <QMainWindow>
#include <QMediaPlayer>

#include <utility>

namespace Ui {
class MainWindow;
}

class ApiClient;
class LocalMusicManager;
class QAction;
class ResultsPage;

// The one window of the player, a shell: it builds the form, makes one object per page or bar
// over the form's widgets, and wires them to each other and to the core it owns (the catalogue
// client, the player, the local library, the translator and the settings). Its slots are the
// window's public vocabulary; most are one-line forwards to the page that owns the work.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Asks the user for a music folder (empty: cancelled); the default opens a folder dialog.
    using FolderChooser = LocalPage::FolderChooser;
    void setFolderChooser(FolderChooser chooser) { m_localPage->setFolderChooser(std::move(chooser)); }

protected:
    void paintEvent(QPaintEvent *) override { m_chrome->paint(); }
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override { m_chrome->askBeforeClosing(event, m_player); }

private slots:
    void loadData() { m_catalogue->load(); }

    // Catalogue pages
    void loadAlbums() { m_catalogue->loadAlbums(); }
    void loadAlbumSongs(int albumId) { m_catalogue->loadAlbumSongs(albumId); }
    void playAlbum(int albumId) { m_catalogue->playAlbum(albumId); }
    void loadAllSongs() { m_catalogue->loadAllSongs(); }
    void searchSongs();
    void showSongDetail(const Song &song) { m_catalogue->showSongDetail(song); }

    // Player bar
    void onPlayPause();
    void onNext() { m_player->next(); }
    void onPrevious() { m_player->previous(); }
    void onStop() { m_playerBar->stop(); }
    void onVolumeChanged(int value) { m_playerBar->setVolume(value); }
    void onPositionChanged(qint64 position);
    void onDurationChanged(qint64 duration) { m_playerBar->showDuration(duration); }
    void onSongChanged(const Song &song);
    void onPlayModeChanged(MusicPlayer::PlayMode mode) { m_playerBar->showPlayMode(mode); }
    void onPlaybackStateChanged(QMediaPlayer::PlaybackState state);

    // Playlist page
    void onPlaylistChanged() { m_queue->refresh(); }
    void addToPlaylist(int songId);
    void removeFromPlaylist(int index) { m_queue->removeAt(index); }
    void clearPlaylist() { m_queue->clear(); }
    void playPlaylistItem(int index) { m_player->play(index); }

    // Charts page
    void loadRanking(const QString &type) { m_charts->load(type); }
    void loadArtistRanking() { m_charts->loadArtistRanking(); }
    void loadSongRanking() { m_charts->loadSongRanking(); }
    void onRankingItemClicked(int index, const QString &type) { m_charts->activateRow(index, type); }
    void playRankingArtist(const QString &artist) { m_charts->playArtist(artist); }

    // Lyrics page
    void updateLyrics() { m_lyricsPage->update(); }
    void updateLyricsHighlight() { m_lyricsPage->followPosition(m_player->position()); }
    void toggleLyricsView();

    void onApiError(const QString &message);
    void onNetworkError(const QString &message);

    void showToast(const QString &message, bool isError = false, bool persistent = false)
    {
        m_status->show(message, isError, persistent);
    }

    void updatePlayButtonIcon() { m_playerBar->updatePlayButtonIcon(); }

    // Local music, preferences and languages
    void onSearchModeChanged(int index) { m_search->onModeChanged(index); }
    void scanLocalMusic() { m_localPage->scan(); }
    void onLocalScanProgress(int current, int total, const QString &fileName)
    {
        m_localPage->onScanProgress(current, total, fileName);
    }
    void onLocalScanFinished(int totalFiles) { m_localPage->onScanFinished(totalFiles); }
    void onLocalMusicListChanged() { m_localPage->onLibraryChanged(); }
    void playLocalMusic(int index) { m_localPage->play(index); }
    void addLocalToPlaylist(int index) { m_localPage->addToQueue(index); }
    void selectMusicFolder() { m_localPage->selectMusicFolder(); }
    void filterLocalMusic(const QString &text) { m_localPage->filter(text); }
    void onAutoStartToggled(bool checked) { m_preferences->setAutoStart(checked); }
    void onAutoPlayToggled(bool checked);
    void onDarkModeToggled(bool checked) { m_preferences->setDarkMode(checked); }
    void onLanguageChanged(QAction *action);
    void showAbout() { m_preferences->showAbout(); }
    void checkAutoPlay();

private:
    void makePages();
    void connectPages();
    // The one way a list starts: the player takes the list and plays entry `index`.
    void playSongs(const QList<Song> &songs, int index);
    // Appends a catalogue song and starts it at once, even when it already stands in the queue.
    void playAppendedSong(int songId);
    void onTabClicked(int index);
    void showPage(int index);
    void updateTabCounts();
    void refreshCatalogue();
    void loadTranslation(const QString &language)
    {
        m_language->load(language);
        refreshUITexts();
    }
    void refreshUITexts();

    Ui::MainWindow *ui;
    ApiClient *m_apiClient = nullptr;
    MusicPlayer *m_player = nullptr;
    LocalMusicManager *m_localMusicManager = nullptr;
    LanguageSwitch *m_language = nullptr;
    Settings m_settings;

    WindowChrome *m_chrome = nullptr;
    StatusLine *m_status = nullptr;
    Sidebar *m_sidebar = nullptr;
    SearchBar *m_search = nullptr;
    CataloguePages *m_catalogue = nullptr;
    ResultsPage *m_results = nullptr;
    ChartsPage *m_charts = nullptr;
    PlayerBar *m_playerBar = nullptr;
    QueuePage *m_queue = nullptr;
    LocalPage *m_localPage = nullptr;
    LyricsPage *m_lyricsPage = nullptr;
    PreferencesMenu *m_preferences = nullptr;
};
