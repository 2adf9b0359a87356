#include "playerbar.h"

#include "mainwindowhelpers.h"
#include "statusline.h"
#include "windowtext.h"

#include <QAbstractButton>
#include <QDebug>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScreen>
#include <QSlider>

namespace {

const QSize PlayerIconSize(28, 28);
const QSize VolumeIconSize(26, 26);
const QString NoTimeText = QStringLiteral("00:00 / 00:00");

const char *const VolumePopupStyle
    = "QSlider {"
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

// A left click on the groove puts the handle under the pointer (and starts a drag there)
// instead of stepping a page towards it.
class JumpToClickStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(
        StyleHint hint, const QStyleOption *option, const QWidget *widget, QStyleHintReturn *returnData) const override
    {
        if (hint == QStyle::SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

PlayerBar::PlayerBar(MusicPlayer *player, StatusLine *status, QMainWindow *window, const Widgets &widgets)
    : QObject(window)
    , m_player(player)
    , m_status(status)
    , m_window(window)
    , m_widgets(widgets)
{
    const Widgets &w = m_widgets;
    w.playButton->setIcon(QIcon(QStringLiteral(":/icons/play.svg")));
    w.previousButton->setIcon(QIcon(QStringLiteral(":/icons/prev.svg")));
    w.nextButton->setIcon(QIcon(QStringLiteral(":/icons/next.svg")));
    w.playButton->setIconSize(PlayerIconSize);
    w.previousButton->setIconSize(PlayerIconSize);
    w.nextButton->setIconSize(PlayerIconSize);

    // The player's signals are not connected yet, so this switch shows no message.
    m_player->setPlayMode(MusicPlayer::Sequential);
    w.modeButton->setIcon(QIcon(MainWindowHelpers::playModeIconPath(MusicPlayer::Sequential)));
    w.modeButton->setToolTip(WindowText::playModeName(MusicPlayer::Sequential));

    w.lyricsButton->setIcon(QIcon(QStringLiteral(":/icons/lyrics.svg")));
    w.lyricsButton->setIconSize(PlayerIconSize);
    w.lyricsButton->setToolTip(WindowText::tr("显示/隐藏歌词"));
    w.lyricsButton->setCheckable(true);

    w.volumeButton->setIcon(QIcon(QStringLiteral(":/icons/volume-up.svg")));
    w.volumeButton->setIconSize(PlayerIconSize);
    w.volumeButton->setCursor(Qt::PointingHandCursor);

    m_volumeSlider = new QSlider(Qt::Vertical, window);
    m_volumeSlider->setRange(0, 100);
    m_volumeSlider->setValue(InitialVolume);
    m_volumeSlider->setFixedSize(30, 120);
    m_volumeSlider->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_volumeSlider->setAttribute(Qt::WA_TranslucentBackground);
    m_volumeSlider->hide();
    m_volumeSlider->setStyleSheet(QString::fromLatin1(VolumePopupStyle));

    connect(m_volumeSlider, &QSlider::valueChanged, this, [this](int value) { setVolume(value); });
    m_volumeSlider->installEventFilter(this);
    window->installEventFilter(this);

    connect(w.volumeButton, &QAbstractButton::clicked, this, [this] { toggleVolumePopup(); });
    connect(w.lyricsButton, &QAbstractButton::toggled, this, &PlayerBar::lyricsToggled);
    connect(w.playButton, &QAbstractButton::clicked, this, &PlayerBar::playPauseClicked);
    connect(w.nextButton, &QAbstractButton::clicked, this, [this] { m_player->next(); });
    connect(w.previousButton, &QAbstractButton::clicked, this, [this] { m_player->previous(); });
    // The slider owns the style: a proxy without a base follows the application's style.
    auto *style = new JumpToClickStyle;
    style->setParent(w.progressSlider);
    w.progressSlider->setStyle(style);
    // A drag shows where the handle is; the one seek happens when it is let go (a click is a
    // press and a release at one point).
    connect(w.progressSlider, &QSlider::sliderMoved, this, [this](int value) { showDraggedPosition(value); });
    connect(w.progressSlider, &QSlider::sliderReleased, this,
        [this] { seekToSliderValue(m_widgets.progressSlider->value()); });
    connect(w.modeButton, &QAbstractButton::clicked, this, [this] { cyclePlayMode(); });
}

void PlayerBar::stop()
{
    m_player->stop();
    updatePlayButtonIcon();
    m_widgets.songLabel->setText(WindowText::notPlaying());
    m_widgets.timeLabel->setText(NoTimeText);
    m_widgets.progressSlider->setValue(0);
    // Unchecking leaves the lyrics page through the button's toggled signal.
    m_widgets.lyricsButton->setChecked(false);
}

void PlayerBar::seekToSliderValue(int value)
{
    const qint64 position = MainWindowHelpers::seekPositionForSliderValue(value, duration());
    if (position >= 0)
        m_player->setPosition(position);
}

void PlayerBar::showDraggedPosition(int value)
{
    const qint64 length = duration();
    const qint64 position = MainWindowHelpers::seekPositionForSliderValue(value, length);
    if (position >= 0)
        m_widgets.timeLabel->setText(timeText(position, length));
}

qint64 PlayerBar::duration() const
{
    const qint64 reported = m_player->duration();
    const int catalogueSeconds = m_player->currentSong().duration;
    if (m_useCatalogueDuration && catalogueSeconds > 0)
        return qint64(catalogueSeconds) * 1000;
    return reported;
}

QString PlayerBar::timeText(qint64 position, qint64 length) const
{
    return QStringLiteral("%1 / %2").arg(
        MainWindowHelpers::formatTimeText(MainWindowHelpers::shownPosition(position, length)),
        MainWindowHelpers::formatTimeText(length));
}

void PlayerBar::showFailure(const Song &song, MusicPlayer::Failure reason)
{
    m_status->show(WindowText::playbackFailure(song, reason));
}

void PlayerBar::showQueueFailed()
{
    m_status->show(WindowText::queueFailed());
    updatePlayButtonIcon();
    m_widgets.songLabel->setText(WindowText::notPlaying());
    m_widgets.timeLabel->setText(NoTimeText);
    m_widgets.progressSlider->setValue(0);
}

void PlayerBar::cyclePlayMode()
{
    m_player->setPlayMode(static_cast<MusicPlayer::PlayMode>((m_player->playMode() + 1) % 4));
}

void PlayerBar::showPlayMode(MusicPlayer::PlayMode mode)
{
    const QString text = WindowText::playModeName(mode);
    m_widgets.modeButton->setIcon(QIcon(MainWindowHelpers::playModeIconPath(mode)));
    m_widgets.modeButton->setToolTip(text);
    m_status->show(text);
}

// ---- Volume ----

void PlayerBar::toggleVolumePopup()
{
    if (m_volumeSliderVisible) {
        m_volumeSlider->hide();
        m_volumeSliderVisible = false;
        return;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect screenGeometry = screen ? screen->geometry() : QRect();
    QAbstractButton *icon = m_widgets.volumeButton;
    const QPoint topLeft = MainWindowHelpers::volumePopupPosition(
        icon->mapToGlobal(QPoint(0, 0)), icon->size(), m_volumeSlider->size(), screenGeometry);
    m_volumeSlider->setGeometry(QRect(topLeft, m_volumeSlider->size()));
    m_volumeSlider->show();
    m_volumeSlider->raise();
    m_volumeSlider->setFocus(Qt::OtherFocusReason);
}

void PlayerBar::hideVolumePopupOutside(const QPoint &globalPos)
{
    if (m_volumeSliderVisible && m_volumeSlider
        && !QRect(m_volumeSlider->mapToGlobal(QPoint(0, 0)), m_volumeSlider->size()).contains(globalPos)) {
        m_volumeSlider->hide();
        m_volumeSliderVisible = false;
    }
}

void PlayerBar::setVolume(int value)
{
    m_player->setVolume(value);
    if (m_volumeSlider)
        m_volumeSlider->setValue(value);
    updateVolumeIcon(value);
}

void PlayerBar::updateVolumeIcon(int volume)
{
    m_widgets.volumeButton->setIcon(QIcon(MainWindowHelpers::volumeIconPath(volume)));
    m_widgets.volumeButton->setIconSize(VolumeIconSize);
}

bool PlayerBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::MouseButtonPress)
        hideVolumePopupOutside(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
    if (m_volumeSlider && watched == m_volumeSlider) {
        switch (event->type()) {
        case QEvent::Show:
            m_volumeSliderVisible = true;
            break;
        case QEvent::Hide:
            m_volumeSliderVisible = false;
            break;
        case QEvent::WindowDeactivate:
            m_volumeSlider->hide();
            m_volumeSliderVisible = false;
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- Following the player ----

bool PlayerBar::showPosition(qint64 position)
{
    // While the user drags, the handle is theirs.
    if (m_widgets.progressSlider->isSliderDown())
        return false;
    if (!m_useCatalogueDuration
        && MainWindowHelpers::reportedDurationIsWrong(position, m_player->duration(), m_player->currentSong().duration))
        m_useCatalogueDuration = true;
    const qint64 length = duration();
    const int value
        = MainWindowHelpers::progressSliderValue(MainWindowHelpers::shownPosition(position, length), length);
    if (value >= 0)
        m_widgets.progressSlider->setValue(value);
    m_widgets.timeLabel->setText(timeText(position, length));
    return true;
}

void PlayerBar::showDuration(qint64 reported)
{
    const int catalogueSeconds = m_player->currentSong().duration;
    const qint64 length = m_useCatalogueDuration && catalogueSeconds > 0 ? qint64(catalogueSeconds) * 1000 : reported;
    m_widgets.timeLabel->setText(QStringLiteral("00:00 / %1").arg(MainWindowHelpers::formatTimeText(length)));
}

void PlayerBar::showSong(const Song &song)
{
    qDebug() << WindowText::tr("updateCurrentSongUI 被调用 - 标题:") << song.title;
    m_useCatalogueDuration = false;
    if (song.id > 0 || song.id == -1) {
        m_widgets.songLabel->setText(QStringLiteral("%1（%2）").arg(song.title, song.artist));
        m_window->setWindowTitle(QStringLiteral("%1 - %2").arg(WindowText::appName(), song.title));
        qDebug() << WindowText::tr("currentSongLabel 设置为:") << m_widgets.songLabel->text();
    } else {
        m_widgets.songLabel->setText(WindowText::notPlaying());
        m_widgets.timeLabel->setText(NoTimeText);
        m_window->setWindowTitle(WindowText::appName());
    }
}

void PlayerBar::updatePlayButtonIcon()
{
    if (m_player->playbackState() == QMediaPlayer::PlayingState) {
        m_widgets.playButton->setIcon(QIcon(QStringLiteral(":/icons/pause.svg")));
        m_widgets.playButton->setToolTip(WindowText::tr("暂停"));
    } else {
        m_widgets.playButton->setIcon(QIcon(QStringLiteral(":/icons/play.svg")));
        m_widgets.playButton->setToolTip(WindowText::tr("播放"));
    }
}

void PlayerBar::retranslate()
{
    // The tool tips name what the buttons do now, not a fixed state.
    const bool playing = m_player->playbackState() == QMediaPlayer::PlayingState;
    m_widgets.playButton->setToolTip(playing ? WindowText::tr("暂停") : WindowText::tr("播放"));
    m_widgets.volumeButton->setToolTip(WindowText::tr("音量"));
    m_widgets.lyricsButton->setToolTip(WindowText::tr("显示/隐藏歌词"));
    m_widgets.modeButton->setToolTip(WindowText::playModeName(m_player->playMode()));

    const Song song = m_player->currentSong();
    if (song.id > 0 || song.id == -1) {
        showSong(song);
    } else {
        m_widgets.songLabel->setText(WindowText::notPlaying());
        m_window->setWindowTitle(WindowText::appName());
    }
}
