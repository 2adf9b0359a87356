#pragma once

#include "models.h"
#include "musicplayer.h"

#include <QObject>

class QAbstractButton;
class QLabel;
class QMainWindow;
class QPoint;
class QSlider;
class StatusLine;

// The player bar: play/pause, previous, next, the play mode, the progress slider with the time,
// the current song, the volume pop-up and the lyrics switch. Shows what the player does and
// hands the controls' clicks to it; starting a list is the window's business (playPauseClicked).
class PlayerBar : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QAbstractButton *playButton;
        QAbstractButton *previousButton;
        QAbstractButton *nextButton;
        QAbstractButton *modeButton;
        QAbstractButton *lyricsButton;
        QAbstractButton *volumeButton;
        QSlider *progressSlider;
        QLabel *timeLabel;
        QLabel *songLabel;
    };

    static constexpr int InitialVolume = 80;

    PlayerBar(MusicPlayer *player, StatusLine *status, QMainWindow *window, const Widgets &widgets);

    void stop();
    void setVolume(int value);
    void updateVolumeIcon(int volume);
    void toggleVolumePopup();
    // False while the user drags the handle: the position is theirs then.
    bool showPosition(qint64 position);
    void showDuration(qint64 duration);
    void showSong(const Song &song);
    void showPlayMode(MusicPlayer::PlayMode mode);
    // Non-modal: the status line names the song and the reason; the player moves on by itself.
    void showFailure(const Song &song, MusicPlayer::Failure reason);
    void showQueueFailed();
    // The length the bar shows and seeks by (see MainWindowHelpers::shownDuration).
    qint64 duration() const;
    void updatePlayButtonIcon();
    void retranslate();

signals:
    void playPauseClicked();
    void lyricsToggled(bool shown);

protected:
    // Follows the volume pop-up's visibility and the window's mouse presses.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A press anywhere on the window outside the pop-up closes it.
    void hideVolumePopupOutside(const QPoint &globalPos);
    void seekToSliderValue(int value);
    void showDraggedPosition(int value);
    QString timeText(qint64 position, qint64 duration) const;
    void cyclePlayMode();

    MusicPlayer *m_player;
    StatusLine *m_status;
    QMainWindow *m_window;
    Widgets m_widgets;
    QSlider *m_volumeSlider = nullptr;
    bool m_volumeSliderVisible = false;
    // Set once the framework's length of the current song proved wrong; cleared by a new song.
    bool m_useCatalogueDuration = false;
};
