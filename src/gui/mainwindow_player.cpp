// Player bar and the playlist page (the queue).
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "apiclient.h"
#include "lyricswidget.h"
#include "mainwindowhelpers.h"

#include <QDebug>
#include <QGuiApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>

namespace {

const QSize PlayerIconSize(28, 28);
const QSize VolumeIconSize(26, 26);
const QColor CurrentRowColour(QStringLiteral("#e8f8f2"));
constexpr int InitialVolume = 80;

const char *const VolumePopupStyle =
    "QSlider {"
    " background: rgba(22, 27, 34, 0.98);"
    " border: 1px solid rgba(0, 212, 160, 0.10);"
    " border-radius: 5px;"
    " padding-top: 10px;"
    " padding-bottom: 10px;"
    "}"
    "QSlider::groove:vertical {"
    " background: rgba(255, 255, 255, 0.06);"
    " width: 4px;"
    " border-radius: 2px;"
    " margin: 8px 0;"
    "}"
    "QSlider::handle:vertical {"
    " background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #009970, stop:1 #00d4a0);"
    " width: 14px;"
    " height: 11px;"
    " margin: -5px;"
    " border-radius: 7px;"
    " border: 2px solid #161b22;"
    "}"
    "QSlider::handle:vertical:hover {"
    " background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #00d4a0, stop:1 #00e6b0);"
    " width: 16px;"
    " height: 13px;"
    " margin: -6px;"
    " border-radius: 8px;"
    "}"
    "QSlider::add-page:vertical {"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #00e6b0, stop:1 #009970);"
    " border-radius: 2px;"
    "}";

} // namespace

// ---- Set-up ----

void MainWindow::setupPlayerControls()
{
    ui->playBtn->setIcon(QIcon(QStringLiteral(":/icons/play.svg")));
    ui->prevBtn->setIcon(QIcon(QStringLiteral(":/icons/prev.svg")));
    ui->nextBtn->setIcon(QIcon(QStringLiteral(":/icons/next.svg")));
    ui->playBtn->setIconSize(PlayerIconSize);
    ui->prevBtn->setIconSize(PlayerIconSize);
    ui->nextBtn->setIconSize(PlayerIconSize);

    // The player's signals are not connected yet, so this switch shows no message.
    m_player->setPlayMode(MusicPlayer::Sequential);
    ui->modeBtn->setIcon(QIcon(MainWindowHelpers::playModeIconPath(MusicPlayer::Sequential)));
    ui->modeBtn->setToolTip(tr("顺序播放"));

    ui->lyricsToggleBtn->setIcon(QIcon(QStringLiteral(":/icons/lyrics.svg")));
    ui->lyricsToggleBtn->setIconSize(PlayerIconSize);
    ui->lyricsToggleBtn->setToolTip(tr("显示/隐藏歌词"));
    ui->lyricsToggleBtn->setCheckable(true);

    ui->volumeIcon->setIcon(QIcon(QStringLiteral(":/icons/volume-up.svg")));
    ui->volumeIcon->setIconSize(PlayerIconSize);
    ui->volumeIcon->setCursor(Qt::PointingHandCursor);

    m_volumeSlider = new QSlider(Qt::Vertical, this);
    m_volumeSlider->setRange(0, 100);
    m_volumeSlider->setValue(InitialVolume);
    m_volumeSlider->setFixedSize(30, 120);
    m_volumeSlider->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_volumeSlider->setAttribute(Qt::WA_TranslucentBackground);
    m_volumeSlider->hide();
    m_volumeSlider->setStyleSheet(QString::fromLatin1(VolumePopupStyle));

    connect(m_volumeSlider, &QSlider::valueChanged, this, &MainWindow::onVolumeChanged);
    m_volumeSlider->installEventFilter(this);

    connect(ui->volumeIcon, &QPushButton::clicked, this, [this] { toggleVolumeSlider(); });
    connect(ui->lyricsToggleBtn, &QPushButton::toggled, this, &MainWindow::toggleLyricsView);
}

// ---- Controls ----

void MainWindow::onPlayPause()
{
    qDebug() << tr("onPlayPause 被调用，当前状态:") << m_player->playbackState();
    if (m_player->playbackState() == QMediaPlayer::PlayingState) {
        m_player->pause();
        return;
    }
    if (m_player->playlist().isEmpty()) {
        if (m_allSongs.isEmpty()) {
            showToast(tr("没有可播放的歌曲，请先刷新数据"), true);
            return;
        }
        m_currentPlaylist = m_allSongs;
        m_player->setPlaylist(m_currentPlaylist);
        updatePlaylistView();
        m_player->play(0);
        return;
    }
    m_player->play(-1);
}

void MainWindow::onNext()
{
    m_player->next();
}

void MainWindow::onPrevious()
{
    m_player->previous();
}

void MainWindow::onStop()
{
    m_player->stop();
    updatePlayButtonIcon();
    ui->currentSongLabel->setText(tr("未播放"));
    ui->playerTimeLabel->setText(QStringLiteral("00:00 / 00:00"));
    ui->progressSlider->setValue(0);
    // Unchecking leaves the lyrics page through the button's toggled signal.
    ui->lyricsToggleBtn->setChecked(false);
}

void MainWindow::seekToSliderValue(int value)
{
    const qint64 position = MainWindowHelpers::seekPositionForSliderValue(value, m_player->duration());
    if (position >= 0)
        m_player->setPosition(position);
}

void MainWindow::cyclePlayMode()
{
    m_player->setPlayMode(static_cast<MusicPlayer::PlayMode>((m_player->playMode() + 1) % 4));
}

void MainWindow::onPlayModeChanged(MusicPlayer::PlayMode mode)
{
    QString text;
    switch (mode) {
    case MusicPlayer::Sequential:
        text = tr("顺序播放");
        break;
    case MusicPlayer::ListLoop:
        text = tr("列表循环");
        break;
    case MusicPlayer::SingleLoop:
        text = tr("单曲循环");
        break;
    case MusicPlayer::Shuffle:
        text = tr("随机播放");
        break;
    }
    ui->modeBtn->setIcon(QIcon(MainWindowHelpers::playModeIconPath(mode)));
    ui->modeBtn->setToolTip(text);
    showToast(text);
}

// ---- Volume ----

void MainWindow::toggleVolumeSlider()
{
    if (m_volumeSliderVisible) {
        m_volumeSlider->hide();
        m_volumeSliderVisible = false;
        return;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect screenGeometry = screen ? screen->geometry() : QRect();
    const QPoint topLeft = MainWindowHelpers::volumePopupPosition(
        ui->volumeIcon->mapToGlobal(QPoint(0, 0)), ui->volumeIcon->size(), m_volumeSlider->size(), screenGeometry);
    m_volumeSlider->setGeometry(QRect(topLeft, m_volumeSlider->size()));
    m_volumeSlider->show();
    m_volumeSlider->raise();
    m_volumeSlider->setFocus(Qt::OtherFocusReason);
}

void MainWindow::onVolumeChanged(int value)
{
    m_player->setVolume(value);
    if (m_volumeSlider)
        m_volumeSlider->setValue(value);
    updateVolumeIcon(value);
}

void MainWindow::updateVolumeIcon(int volume)
{
    ui->volumeIcon->setIcon(QIcon(MainWindowHelpers::volumeIconPath(volume)));
    ui->volumeIcon->setIconSize(VolumeIconSize);
}

// ---- Following the player ----

QString MainWindow::formatTime(qint64 ms) const
{
    return MainWindowHelpers::formatTimeText(ms);
}

void MainWindow::onPositionChanged(qint64 position)
{
    // While the user drags, the handle is theirs.
    if (ui->progressSlider->isSliderDown())
        return;
    const qint64 duration = m_player->duration();
    const int value = MainWindowHelpers::progressSliderValue(position, duration);
    if (value >= 0)
        ui->progressSlider->setValue(value);
    ui->playerTimeLabel->setText(QStringLiteral("%1 / %2").arg(formatTime(position), formatTime(duration)));
    ui->lyricsWidget->updatePosition(m_player->position());
}

void MainWindow::onDurationChanged(qint64 duration)
{
    ui->playerTimeLabel->setText(QStringLiteral("00:00 / %1").arg(formatTime(duration)));
}

void MainWindow::onSongChanged(const Song &song)
{
    qDebug() << tr("========== onSongChanged 被调用 ==========");
    qDebug() << tr("歌曲 ID:") << song.id;
    qDebug() << tr("歌曲标题:") << song.title;
    qDebug() << tr("歌曲艺术家:") << song.artist;
    qDebug() << tr("===========================================");

    updateCurrentSongUI(song);
    updateLyrics();
    highlightCurrentRows(song);
    if (song.id > 0)
        m_apiClient->incrementPlayCount(song.id);
    updatePlayButtonIcon();
}

void MainWindow::highlightCurrentRows(const Song &song)
{
    const int current = m_player->currentIndex();
    for (int row = 0; row < ui->playlistList->count(); ++row) {
        QListWidgetItem *item = ui->playlistList->item(row);
        const bool isCurrent = item->data(Qt::UserRole).toInt() == current;
        item->setBackground(isCurrent ? QBrush(CurrentRowColour) : QBrush(Qt::transparent));
    }
    for (int row = 0; row < ui->allSongsList->count(); ++row) {
        QListWidgetItem *item = ui->allSongsList->item(row);
        const bool isCurrent = item->data(Qt::UserRole).toInt() == song.id;
        item->setBackground(isCurrent ? QBrush(CurrentRowColour) : QBrush(Qt::transparent));
    }
}

void MainWindow::updateCurrentSongUI(const Song &song)
{
    qDebug() << tr("updateCurrentSongUI 被调用 - 标题:") << song.title;
    if (song.id > 0 || song.id == -1) {
        ui->currentSongLabel->setText(QStringLiteral("%1（%2）").arg(song.title, song.artist));
        setWindowTitle(QStringLiteral("%1 - %2").arg(tr("维洛拉"), song.title));
        qDebug() << tr("currentSongLabel 设置为:") << ui->currentSongLabel->text();
    } else {
        ui->currentSongLabel->setText(tr("未播放"));
        ui->playerTimeLabel->setText(QStringLiteral("00:00 / 00:00"));
        setWindowTitle(tr("维洛拉"));
    }
}

void MainWindow::updatePlayButtonIcon()
{
    if (m_player->playbackState() == QMediaPlayer::PlayingState) {
        ui->playBtn->setIcon(QIcon(QStringLiteral(":/icons/pause.svg")));
        ui->playBtn->setToolTip(tr("暂停"));
    } else {
        ui->playBtn->setIcon(QIcon(QStringLiteral(":/icons/play.svg")));
        ui->playBtn->setToolTip(tr("播放"));
    }
}

void MainWindow::onPlaybackStateChanged(QMediaPlayer::PlaybackState state)
{
    qDebug() << tr("onPlaybackStateChanged 触发，状态:") << state;
    updatePlayButtonIcon();
}

// ---- Playlist page ----

void MainWindow::updatePlaylistView()
{
    m_currentPlaylist = m_player->playlist();
    ui->playlistList->clear();
    const int current = m_player->currentIndex();
    const QIcon icon(QStringLiteral(":/icons/music.svg"));
    for (int i = 0; i < m_currentPlaylist.size(); ++i) {
        auto *item = new QListWidgetItem(icon, MainWindowHelpers::songRowText(m_currentPlaylist.at(i)));
        item->setData(Qt::UserRole, i);
        if (i == current)
            item->setBackground(CurrentRowColour);
        ui->playlistList->addItem(item);
    }
    ui->playlistInfo->setText(tr("共 %1 首歌曲").arg(m_currentPlaylist.size()));
    updateTabCounts();
}

void MainWindow::onPlaylistChanged()
{
    updatePlaylistView();
}

void MainWindow::playPlaylistItem(int index)
{
    m_player->play(index);
}

void MainWindow::addToPlaylist(int songId)
{
    for (const Song &song : std::as_const(m_allSongs)) {
        if (song.id == songId) {
            m_player->addToPlaylist(song);
            showToast(tr("已添加: %1").arg(song.title));
            return;
        }
    }
}

// Appends a catalogue song and starts it at once, even when it already stands in the queue.
void MainWindow::playAppendedSong(int songId)
{
    const bool known = std::any_of(m_allSongs.cbegin(), m_allSongs.cend(),
                                   [songId](const Song &song) { return song.id == songId; });
    if (songId <= 0 || !known)
        return;
    addToPlaylist(songId);
    m_player->play(static_cast<int>(m_player->playlist().size()) - 1);
}

void MainWindow::playCurrentPlaylistFromStart()
{
    if (m_currentPlaylist.isEmpty())
        return;
    m_player->setPlaylist(m_currentPlaylist);
    m_player->play(0);
}

void MainWindow::removeFromPlaylist(int index)
{
    m_player->removeFromPlaylist(index);
    showToast(tr("已移除"));
}

void MainWindow::clearPlaylist()
{
    if (m_currentPlaylist.isEmpty())
        return;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        nullptr, tr("确认"), tr("确定要清空播放列表吗？"), QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::No)
        return;
    m_player->clearPlaylist();
    updatePlaylistView();
    showToast(tr("播放列表已清空"));
}
