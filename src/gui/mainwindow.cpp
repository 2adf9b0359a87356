#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "apiclient.h"
#ifdef VELORA_HAVE_MPRIS
#include "desktopcontrols.h"
#endif
#include "languageswitch.h"
#include "localmusicmanager.h"
#include "resultspage.h"
#include "windowchrome.h"
#include "windowtext.h"

#include <QCloseEvent>
#include <QDebug>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTimer>

namespace {

constexpr int FirstLoadDelayMs = 100;

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_apiClient(new ApiClient(this))
    , m_player(new MusicPlayer(this))
    , m_localMusicManager(new LocalMusicManager(this))
    , m_language(new LanguageSwitch(this))
{
    ui->setupUi(this);
    makePages();
    connectPages();

    loadTranslation(m_preferences->load());
    m_localPage->restore();

    showPage(pageNumber(PageIndex::Albums));
    m_sidebar->checkFirst();

    // Not inside the constructor: the window shows first, and an early explicit call wins.
    QTimer::singleShot(FirstLoadDelayMs, this, &MainWindow::loadData);

    m_playerBar->setVolume(PlayerBar::InitialVolume);
}

MainWindow::~MainWindow()
{
    m_localPage->save();
    // The children outlive this body; the player stops while it is destroyed and reports it,
    // and no slot of this window or its pages may run once the form is gone.
    disconnect(m_player, nullptr, this, nullptr);
    disconnect(m_apiClient, nullptr, this, nullptr);
    disconnect(m_localMusicManager, nullptr, this, nullptr);
    const QList<QObject *> pages = { m_preferences, m_lyricsPage, m_localPage, m_queue, m_playerBar, m_charts,
        m_catalogue, m_search, m_sidebar, m_status, m_chrome };
    qDeleteAll(pages);
    delete ui;
    ui = nullptr;
}

// The pages in the order their widgets were first set up; each takes the form's widgets it owns.
void MainWindow::makePages()
{
    m_chrome = new WindowChrome(
        this, { ui->logo, ui->addBtn, ui->minBtn, ui->closeBtn, { ui->headerFrame, ui->frameMenu } });
    m_status = new StatusLine(ui->statusBar, this);
    m_sidebar = new Sidebar(ui->tabContainer, this);
    m_playerBar = new PlayerBar(m_player, m_status, this,
        { ui->playBtn, ui->prevBtn, ui->nextBtn, ui->modeBtn, ui->lyricsToggleBtn, ui->volumeIcon, ui->progressSlider,
            ui->playerTimeLabel, ui->currentSongLabel });
    m_localPage = new LocalPage(m_localMusicManager, &m_settings, m_status, this,
        { ui->localMusicList, ui->selectFolderBtn, ui->scanLocalBtn, ui->clearLocalBtn });
    m_preferences = new PreferencesMenu(&m_settings, m_status, this, ui->menuBtn);
    m_catalogue = new CataloguePages(m_apiClient, m_status, ui->albumList, ui->allSongsList, this);
    m_results = new ResultsPage(ui->centralStack);
    ui->centralStack->insertWidget(pageNumber(PageIndex::Results), m_results);
    m_catalogue->setResultsPage(m_results);
    m_charts = new ChartsPage(m_apiClient, m_catalogue, m_status, ui->rankingList, ui->rankingTypeSelector, this);
    m_queue = new QueuePage(
        m_player, m_status, ui->playlistList, ui->playlistInfo, ui->playAllBtn, ui->clearPlaylistBtn, this);
    m_lyricsPage = new LyricsPage(
        m_player, m_catalogue, ui->lyricsTitle, ui->lyricsArtist, ui->lyricsAlbum, ui->lyricsWidget, this);
    m_search = new SearchBar(m_status, ui->searchInput, ui->searchModeCombo, this);
#ifdef VELORA_HAVE_MPRIS
    new DesktopControls(m_player, m_catalogue, this);
#endif
}

void MainWindow::connectPages()
{
    connect(ui->addBtn, &QAbstractButton::clicked, this, [this] { m_preferences->openProductPage(); });
    connect(ui->logo, &QAbstractButton::clicked, this, [this] { refreshCatalogue(); });
    connect(m_sidebar, &Sidebar::tabClicked, this, &MainWindow::onTabClicked);
    connect(m_search, &SearchBar::searchRequested, this, &MainWindow::searchSongs);

    // Every page starts a list the same way.
    connect(m_catalogue, &CataloguePages::playRequested, this, &MainWindow::playSongs);
    connect(m_charts, &ChartsPage::playRequested, this, &MainWindow::playSongs);
    connect(m_queue, &QueuePage::playRequested, this, &MainWindow::playSongs);
    connect(m_localPage, &LocalPage::playRequested, this, &MainWindow::playSongs);
    connect(m_catalogue, &CataloguePages::songActivated, this, &MainWindow::playAppendedSong);
    connect(m_charts, &ChartsPage::songActivated, this, &MainWindow::playAppendedSong);
    connect(m_results, &ResultsPage::songActivated, this, &MainWindow::playAppendedSong);
    // Results have no tab of their own: back is the page of the checked tab.
    connect(m_results, &ResultsPage::backRequested, this, [this] { showPage(m_sidebar->checkedIndex()); });
    connect(m_localPage, &LocalPage::addRequested, this, [this](const Song &song) {
        m_player->addToPlaylist(song);
        m_queue->refresh();
    });

    connect(m_catalogue, &CataloguePages::pageRequested, this, &MainWindow::showPage);
    connect(m_localPage, &LocalPage::pageRequested, this, &MainWindow::showPage);
    connect(m_catalogue, &CataloguePages::countsChanged, this, &MainWindow::updateTabCounts);
    connect(m_queue, &QueuePage::countChanged, this, &MainWindow::updateTabCounts);
    connect(m_localPage, &LocalPage::countChanged, this, &MainWindow::updateTabCounts);
    connect(m_catalogue, &CataloguePages::catalogueLoaded, this, &MainWindow::checkAutoPlay);
    connect(m_catalogue, &CataloguePages::retryRequested, this, &MainWindow::refreshCatalogue);

    connect(m_playerBar, &PlayerBar::playPauseClicked, this, &MainWindow::onPlayPause);
    connect(m_playerBar, &PlayerBar::lyricsToggled, this, &MainWindow::toggleLyricsView);
    connect(m_preferences, &PreferencesMenu::autoPlayToggled, this, &MainWindow::onAutoPlayToggled);
    connect(m_preferences, &PreferencesMenu::languageTriggered, this, &MainWindow::onLanguageChanged);

    connect(m_player, &MusicPlayer::songChanged, this, &MainWindow::onSongChanged);
    connect(m_player, &MusicPlayer::positionChanged, this, &MainWindow::onPositionChanged);
    connect(m_player, &MusicPlayer::durationChanged, this, &MainWindow::onDurationChanged);
    connect(m_player, &MusicPlayer::playbackStateChanged, this, &MainWindow::onPlaybackStateChanged);
    connect(m_player, &MusicPlayer::playModeChanged, this, &MainWindow::onPlayModeChanged);
    connect(m_player, &MusicPlayer::playlistChanged, this, &MainWindow::onPlaylistChanged);
    // Playback failures are the player bar's non-modal business; the player moves on by itself.
    connect(m_player, &MusicPlayer::playbackFailed, m_playerBar, &PlayerBar::showFailure);
    connect(m_player, &MusicPlayer::queueFailed, m_playerBar, &PlayerBar::showQueueFailed);
    // A play is counted for each real start, never for a resume.
    connect(m_player, &MusicPlayer::songStarted, this, [this](const Song &song) {
        if (song.id > 0)
            m_apiClient->incrementPlayCount(song.id);
    });
    // Whatever shows another page (a search, a sidebar click) leaves the lyrics: the button follows.
    connect(ui->centralStack, &QStackedWidget::currentChanged, this, [this](int index) {
        const QSignalBlocker blocker(ui->lyricsToggleBtn);
        ui->lyricsToggleBtn->setChecked(index == pageNumber(PageIndex::Lyrics));
    });
    connect(m_apiClient, &ApiClient::error, this, &MainWindow::onApiError);
    connect(m_apiClient, &ApiClient::networkError, this, &MainWindow::onNetworkError);
}

// ---- Shared actions ----

void MainWindow::playSongs(const QList<Song> &songs, int index)
{
    m_player->setPlaylist(songs);
    m_player->play(index);
    m_queue->refresh();
}

void MainWindow::addToPlaylist(int songId)
{
    if (m_catalogue->containsSong(songId))
        m_queue->append(m_catalogue->song(songId));
}

void MainWindow::playAppendedSong(int songId)
{
    if (songId <= 0 || !m_catalogue->containsSong(songId))
        return;
    addToPlaylist(songId);
    m_player->play(static_cast<int>(m_player->playlist().size()) - 1);
}

void MainWindow::onTabClicked(int index)
{
    showPage(index);
    m_status->showNotice(Sidebar::switchMessage(index));
    // The search box follows the page but searches nothing: only Enter or the magnifier do.
    m_search->setLocalMode(index == pageNumber(PageIndex::Local));
    if (index == pageNumber(PageIndex::Charts))
        m_charts->reload();
}

void MainWindow::showPage(int index)
{
    ui->centralStack->setCurrentIndex(index);
}

void MainWindow::updateTabCounts()
{
    m_sidebar->setCounts(static_cast<int>(m_catalogue->albums().size()), static_cast<int>(m_catalogue->songs().size()),
        static_cast<int>(m_queue->songs().size()), m_localPage->libraryCount());
}

// The logo refreshes the catalogue: the lists empty at once and refill when the load answers.
// The queue is not part of the catalogue, so the playlist page is rebuilt from the player at
// once instead of staying empty while the queue plays on.
void MainWindow::refreshCatalogue()
{
    m_catalogue->clear();
    m_charts->clear();
    m_queue->refresh();
    m_catalogue->reload();
}

// ---- Catalogue pages ----

void MainWindow::searchSongs()
{
    const QString keyword = m_search->keyword();
    if (m_search->isLocalMode())
        m_localPage->search(keyword);
    else
        m_catalogue->search(keyword);
}

void MainWindow::onApiError(const QString &message)
{
    m_catalogue->loadFailed();
    showToast(tr("API错误: ") + message, true);
}

void MainWindow::onNetworkError(const QString &message)
{
    m_catalogue->loadFailed();
    showToast(tr("网络错误: ") + message, true);
}

// ---- Player bar ----

void MainWindow::onPlayPause()
{
    qDebug() << tr("onPlayPause 被调用，当前状态:") << m_player->playbackState();
    if (m_player->playbackState() == QMediaPlayer::PlayingState) {
        m_player->pause();
        return;
    }
    if (m_player->playlist().isEmpty()) {
        if (m_catalogue->songs().isEmpty()) {
            showToast(tr("没有可播放的歌曲，请先刷新数据"), true);
            return;
        }
        playSongs(m_catalogue->songs(), 0);
        return;
    }
    m_player->resume();
}

void MainWindow::onPositionChanged(qint64 position)
{
    if (m_playerBar->showPosition(position))
        m_lyricsPage->followPosition(m_player->position());
}

void MainWindow::onSongChanged(const Song &song)
{
    qDebug() << tr("========== onSongChanged 被调用 ==========");
    qDebug() << tr("歌曲 ID:") << song.id;
    qDebug() << tr("歌曲标题:") << song.title;
    qDebug() << tr("歌曲艺术家:") << song.artist;
    qDebug() << tr("===========================================");

    m_playerBar->showSong(song);
    updateLyrics();
    m_queue->highlightCurrent();
    m_catalogue->highlightSong(song.id);
    updatePlayButtonIcon();
}

void MainWindow::onPlaybackStateChanged(QMediaPlayer::PlaybackState state)
{
    qDebug() << tr("onPlaybackStateChanged 触发，状态:") << state;
    updatePlayButtonIcon();
}

// ---- Lyrics page ----

void MainWindow::toggleLyricsView()
{
    if (ui->lyricsToggleBtn->isChecked()) {
        updateLyrics();
        showPage(pageNumber(PageIndex::Lyrics));
        return;
    }
    showPage(m_sidebar->checkedIndex());
}

// ---- Preferences ----

void MainWindow::onAutoPlayToggled(bool checked)
{
    m_preferences->storeAutoPlay(checked);
    const QList<Song> &all = m_catalogue->songs();
    if (!checked || all.isEmpty() || m_player->playbackState() == QMediaPlayer::PlayingState)
        return;
    if (m_queue->songs().isEmpty())
        playSongs(all, 0);
    else
        m_player->play(0);
    // Names the song that really starts: a queue kept from before begins with its own song.
    const QString title = m_queue->songs().isEmpty() ? all.first().title : m_queue->songs().first().title;
    showToast(tr("开始播放: %1").arg(title));
}

void MainWindow::checkAutoPlay()
{
    const QList<Song> &all = m_catalogue->songs();
    if (!m_settings.autoPlay() || all.isEmpty())
        return;
    // A catalogue reload while the user listens must not restart the list under them.
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        return;
    qDebug() << tr("自动播放已启用，开始播放...");
    playSongs(all, 0);
    showToast(tr("自动播放: %1").arg(all.first().title));
}

// ---- Languages ----

void MainWindow::onLanguageChanged(QAction *action)
{
    const QString language = action->data().toString();
    m_settings.setLanguage(language);
    loadTranslation(language);
    refreshUITexts();
    // Looked up after the new catalogue is installed, so it speaks the new language.
    showToast(language == QLatin1String("zh") ? tr("已切换到简体中文") : tr("Switched to English"));
}

// Every page and bar translates its own texts; the order matters only for the status line,
// which shows what the refilled selectors announce.
void MainWindow::refreshUITexts()
{
    m_chrome->retranslate();
    m_sidebar->retranslate();
    m_search->retranslate();
    m_charts->retranslate();
    m_results->retranslate();
    m_queue->retranslate();
    m_localPage->retranslate();
    m_preferences->retranslate();
    m_playerBar->retranslate();
    m_lyricsPage->retranslate();
    m_status->retranslate();
    qDebug() << "UI retranslated successfully";
}

// ---- Window events ----

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_search)
        m_search->placeButtonOnResize();
}
