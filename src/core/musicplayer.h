#pragma once

#include "models.h"

#include <QList>
#include <QMediaPlayer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

class QAudioOutput;
class QTimer;

// The playback engine: owns the play queue, the current index, the play mode and the volume,
// and drives one QMediaPlayer with one QAudioOutput. Failures never throw; they are reported
// through error(QString), once per media source.
class MusicPlayer : public QObject
{
    Q_OBJECT

public:
    enum PlayMode { Sequential = 0, ListLoop = 1, SingleLoop = 2, Shuffle = 3 };
    Q_ENUM(PlayMode)

    // Why an entry could not be played; the window words it in the interface's language.
    enum Failure {
        NoAudioFile = 0, // the entry names no file
        BadAddress = 1, // its path makes no valid address
        Missing = 2, // a local file that does not exist
        Unreachable = 3, // the server did not deliver it (404, server gone, network down)
        Unreadable = 4, // damaged, or a format the media framework cannot decode
        Refused = 5 // access denied
    };
    Q_ENUM(Failure)

    explicit MusicPlayer(QObject *parent = nullptr);
    ~MusicPlayer() override;

    void setPlaylist(const QList<Song> &songs);
    void addToPlaylist(const Song &song);
    void removeFromPlaylist(int index);
    void clearPlaylist();
    // Moves entry `index` so that it plays after the current one (in Shuffle: first in the order).
    void playNext(int index);
    const QList<Song> &playlist() const { return m_playlist; }
    int currentIndex() const { return m_currentIndex; }
    Song currentSong() const;

    // -1 plays the current entry, or entry 0 when there is none. Every start begins at 0.
    void play(int index = -1);
    void pause();
    // Continues a paused song where it stopped; in any other state starts as play(-1) does.
    void resume();
    void stop();
    void next();
    void previous();

    void setPlayMode(PlayMode mode);
    PlayMode playMode() const { return m_playMode; }
    void setVolume(int volume);
    int volume() const { return m_volume; }

    qint64 position() const;
    qint64 duration() const;
    void setPosition(qint64 position);
    QMediaPlayer::PlaybackState playbackState() const;

    // Indexes still to be played in Shuffle mode, the next one first.
    const QList<int> &shuffleOrder() const { return m_shuffleOrder; }

signals:
    void playbackStateChanged(QMediaPlayer::PlaybackState state);
    void positionChanged(qint64 position);
    void durationChanged(qint64 duration);
    void songChanged(Song song);
    void playlistChanged();
    void playModeChanged(MusicPlayer::PlayMode mode);
    void volumeChanged(int volume);
    void error(QString message);
    // An entry really plays: once for each start (a new entry, a restart by single loop or by the
    // user), never for a resume after a pause. A start that fails never sends it.
    void songStarted(Song song);
    // An entry could not be played; the player moves on by the play mode by itself.
    void playbackFailed(Song song, MusicPlayer::Failure reason);
    // Every entry of the queue failed in turn: playback has stopped.
    void queueFailed();

private slots:
    void onMediaStatusChanged(QMediaPlayer::MediaStatus status);
    void onPositionChanged(qint64 position);
    void onDurationChanged(qint64 duration);

private:
    void generateShuffleOrder();
    void advance();
    void startSource(const QUrl &url);
    void onMediaError();
    void noteProgress(qint64 position);
    void fail(const Song &song, Failure reason, const QString &detail);
    void moveOnAfterFailure(int serial);
    void attachMediaPlayer();
    void replaceFailedMediaPlayer();

    QMediaPlayer *m_mediaPlayer = nullptr;
    QAudioOutput *m_audioOutput = nullptr;
    QTimer *m_positionTimer;
    QList<Song> m_playlist;
    QList<int> m_shuffleOrder;
    int m_currentIndex = -1;
    PlayMode m_playMode = ListLoop;
    int m_volume = 80;
    // Set once the current source's error has been reported; Qt repeats errors per source.
    bool m_errorReported = false;
    // True while the source is cleared to force a reload; the clearing's own signals are noise.
    bool m_reloading = false;
    // Set at each start until the position first moves: then the start is announced.
    bool m_startPending = false;
    Song m_startedSong;
    // Entries that failed since the last one that played; all of them means nothing here can play.
    QSet<int> m_failedEntries;
    // Counts starts and queue replacements, so a queued move-on after a failure that the user
    // has overtaken does nothing.
    int m_startSerial = 0;
};
