#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "apiclient.h"
#include "localmusicmanager.h"

#include <QComboBox>
#include <QDebug>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTimer>
#include <QTranslator>

namespace {

constexpr int FirstLoadDelayMs = 100;
constexpr int SearchButtonPlacementDelayMs = 10;
constexpr int InitialVolume = 80;
constexpr int SearchButtonSize = 26;

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_apiClient(new ApiClient(this))
    , m_player(new MusicPlayer(this))
    , m_statusTimer(new QTimer(this))
    , m_localMusicManager(new LocalMusicManager(this))
    , m_translator(new QTranslator(this))
    , m_qtTranslator(new QTranslator(this))
    , m_settings(QStringLiteral("Velora"), QStringLiteral("VeloraPlayer"))
{
    ui->setupUi(this);

    // The window draws its own frame and shadow.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(tr("维洛拉"));

    setupSidebarTabs();
    setupPlayerControls();
    setupLocalMusicConnections();
    setupSettingsMenu();
    setupConnections();
    setupSearchModeConnection();
    setupSearchButton();
    loadSettings();
    loadLocalMusicFromSettings();

    ui->centralStack->setCurrentIndex(0);
    if (!m_tabButtons.isEmpty())
        m_tabButtons.first()->setChecked(true);

    // Not inside the constructor: the window shows first, and an early explicit call wins.
    QTimer::singleShot(FirstLoadDelayMs, this, &MainWindow::loadData);

    m_player->setVolume(InitialVolume);
    updateVolumeIcon(InitialVolume);

    m_statusTimer->setSingleShot(true);
    connect(m_statusTimer, &QTimer::timeout, this, &MainWindow::clearStatusLine);
}

MainWindow::~MainWindow()
{
    saveLocalMusicToSettings();
    // The children outlive this body; the player stops while it is destroyed and reports it,
    // and no slot of this window may run once the form is gone.
    disconnect(m_player, nullptr, this, nullptr);
    disconnect(m_apiClient, nullptr, this, nullptr);
    disconnect(m_localMusicManager, nullptr, this, nullptr);
    if (m_volumeSlider)
        m_volumeSlider->removeEventFilter(this);
    delete ui;
    ui = nullptr;
}

void MainWindow::setupConnections()
{
    connect(ui->addBtn, &QPushButton::clicked, this, [this] { openProductPage(); });
    connect(ui->searchInput, &QLineEdit::returnPressed, this, &MainWindow::searchSongs);
    connect(ui->logo, &QPushButton::clicked, this, [this] { refreshCatalogue(); });

    connect(ui->albumList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        const int id = item->data(Qt::UserRole).toInt();
        if (id > 0)
            playAlbum(id);
    });
    connect(ui->allSongsList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { playAllSongsItem(item); });
    connect(ui->playlistList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        const int index = item->data(Qt::UserRole).toInt();
        if (index >= 0)
            m_player->play(index);
    });
    connect(ui->rankingList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        onRankingItemClicked(ui->rankingList->row(item), item->data(Qt::UserRole + 1).toString());
    });
    connect(ui->rankingTypeSelector, &QComboBox::currentIndexChanged, this, [this](int index) {
        loadRanking(index == 0 ? QStringLiteral("artist") : QStringLiteral("song"));
    });
    connect(ui->playAllBtn, &QPushButton::clicked, this, [this] { playCurrentPlaylistFromStart(); });
    connect(ui->clearPlaylistBtn, &QPushButton::clicked, this, &MainWindow::clearPlaylist);
    connect(ui->closeBtn, &QPushButton::clicked, this, &MainWindow::close);
    connect(ui->minBtn, &QPushButton::clicked, this, &MainWindow::showMinimized);
    connect(ui->playBtn, &QPushButton::clicked, this, &MainWindow::onPlayPause);
    connect(ui->nextBtn, &QPushButton::clicked, this, &MainWindow::onNext);
    connect(ui->prevBtn, &QPushButton::clicked, this, &MainWindow::onPrevious);
    connect(ui->progressSlider, &QSlider::sliderMoved, this, [this](int value) { seekToSliderValue(value); });
    connect(ui->modeBtn, &QPushButton::clicked, this, [this] { cyclePlayMode(); });

    connect(m_player, &MusicPlayer::songChanged, this, &MainWindow::onSongChanged);
    connect(m_player, &MusicPlayer::positionChanged, this, &MainWindow::onPositionChanged);
    connect(m_player, &MusicPlayer::durationChanged, this, &MainWindow::onDurationChanged);
    connect(m_player, &MusicPlayer::playbackStateChanged, this, &MainWindow::onPlaybackStateChanged);
    connect(m_player, &MusicPlayer::playModeChanged, this, &MainWindow::onPlayModeChanged);
    connect(m_player, &MusicPlayer::playlistChanged, this, &MainWindow::onPlaylistChanged);
    connect(m_player, &MusicPlayer::error, this, &MainWindow::onApiError);
    connect(m_apiClient, &ApiClient::error, this, &MainWindow::onApiError);
    connect(m_apiClient, &ApiClient::networkError, this, &MainWindow::onNetworkError);

    connect(m_localMusicManager, &LocalMusicManager::scanProgress, this, &MainWindow::onLocalScanProgress);
    connect(m_localMusicManager, &LocalMusicManager::scanFinished, this, &MainWindow::onLocalScanFinished);
    connect(m_localMusicManager, &LocalMusicManager::musicListChanged, this,
            &MainWindow::onLocalMusicListChanged);
    connect(m_localMusicManager, &LocalMusicManager::scanError, this,
            [this](const QString &error) { showToast(tr("扫描错误: ") + error, true); });
}

void MainWindow::setupSearchModeConnection()
{
    connect(ui->searchModeCombo, &QComboBox::currentIndexChanged, this, &MainWindow::onSearchModeChanged);
    ui->searchModeCombo->setCurrentIndex(0);
}

void MainWindow::setupSearchButton()
{
    m_searchButton = new QPushButton(ui->searchInput);
    m_searchButton->setIcon(QIcon(QStringLiteral(":/icons/search.svg")));
    m_searchButton->setIconSize(QSize(14, 14));
    m_searchButton->setFixedSize(SearchButtonSize, SearchButtonSize);
    m_searchButton->setCursor(Qt::PointingHandCursor);
    m_searchButton->setStyleSheet(QStringLiteral("QPushButton {    background: transparent;    border: none;    "
                                                 "border-radius: 12px;}QPushButton:hover {    background: "
                                                 "rgba(255, 255, 255, 0.1);}"));
    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::searchSongs);
    // The line edit has its final size only once the layout has run.
    QTimer::singleShot(SearchButtonPlacementDelayMs, this, &MainWindow::positionSearchButton);
}

void MainWindow::positionSearchButton()
{
    if (!m_searchButton || !ui || !ui->searchInput)
        return;
    const int w = ui->searchInput->width();
    const int h = ui->searchInput->height();
    if (w < 0 || h < 0)
        return;
    const int y = h > SearchButtonSize ? (h - SearchButtonSize) / 2 : 0;
    m_searchButton->setGeometry(w - SearchButtonSize, y, SearchButtonSize, SearchButtonSize);
    m_searchButton->raise();
}

void MainWindow::loadData()
{
    if (m_isLoading) {
        qDebug() << tr("正在加载中，跳过");
        return;
    }
    if (m_dataLoaded) {
        qDebug() << tr("数据已加载，跳过");
        return;
    }
    m_isLoading = true;
    setLoadingState(true);
    loadAlbums();
}

// The logo refreshes the catalogue: the lists empty at once and refill when the load answers.
// The queue is not part of the catalogue, so the playlist page is rebuilt from the player at
// once instead of staying empty while the queue plays on.
void MainWindow::refreshCatalogue()
{
    ++m_albumGridGeneration;
    ui->albumList->clear();
    ui->allSongsList->clear();
    ui->playlistList->clear();
    ui->rankingList->clear();
    updatePlaylistView();
    m_dataLoaded = false;
    // A load still running (a stalled server) would refuse this one.
    m_apiClient->cancelCatalogueRequests();
    m_isLoading = false;
    loadData();
}

void MainWindow::onApiError(const QString &message)
{
    m_isLoading = false;
    showToast(tr("API错误: ") + message, true);
}

void MainWindow::onNetworkError(const QString &message)
{
    m_isLoading = false;
    showToast(tr("网络错误: ") + message, true);
}
