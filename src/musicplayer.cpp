#include "musicplayer.h"

#include <QAudioOutput>
#include <QTimer>

MusicPlayer::MusicPlayer(QObject *parent)
    : QObject(parent)
    , m_mediaPlayer(new QMediaPlayer(this))
    , m_audioOutput(new QAudioOutput(this))
    , m_positionTimer(new QTimer(this))
{
    m_mediaPlayer->setAudioOutput(m_audioOutput);
    m_audioOutput->setVolume(m_volume / 100.0);
    m_positionTimer->setInterval(100);
}

MusicPlayer::~MusicPlayer()
{
    m_mediaPlayer->stop();
}

Song MusicPlayer::currentSong() const
{
    if (m_currentIndex >= 0 && m_currentIndex < m_playlist.size())
        return m_playlist.at(m_currentIndex);
    return Song();
}

void MusicPlayer::setPlaylist(const QList<Song> &songs)
{
    m_playlist = songs;
    m_currentIndex = -1;
    emit playlistChanged();
}

void MusicPlayer::addToPlaylist(const Song &song)
{
    m_playlist.append(song);
    emit playlistChanged();
}

void MusicPlayer::removeFromPlaylist(int index)
{
    Q_UNUSED(index)
}

void MusicPlayer::clearPlaylist()
{
    m_playlist.clear();
    m_currentIndex = -1;
    emit playlistChanged();
    emit songChanged(Song());
}

void MusicPlayer::play(int index)
{
    Q_UNUSED(index)
}

void MusicPlayer::pause()
{
    m_mediaPlayer->pause();
    m_positionTimer->stop();
}

void MusicPlayer::stop()
{
    m_mediaPlayer->stop();
    m_positionTimer->stop();
    m_currentIndex = -1;
}

void MusicPlayer::next() {}

void MusicPlayer::previous() {}

void MusicPlayer::setPlayMode(PlayMode mode)
{
    m_playMode = mode;
    emit playModeChanged(mode);
}

void MusicPlayer::setVolume(int volume)
{
    m_volume = qBound(0, volume, 100);
    m_audioOutput->setVolume(m_volume / 100.0);
}

qint64 MusicPlayer::position() const
{
    return m_mediaPlayer->position();
}

qint64 MusicPlayer::duration() const
{
    return m_mediaPlayer->duration();
}

void MusicPlayer::setPosition(qint64 position)
{
    m_mediaPlayer->setPosition(position);
}

QMediaPlayer::PlaybackState MusicPlayer::playbackState() const
{
    return m_mediaPlayer->playbackState();
}

void MusicPlayer::onMediaStatusChanged(QMediaPlayer::MediaStatus status)
{
    Q_UNUSED(status)
}

void MusicPlayer::onPositionChanged(qint64 position)
{
    emit positionChanged(position);
}

void MusicPlayer::onDurationChanged(qint64 duration)
{
    emit durationChanged(duration);
}

void MusicPlayer::generateShuffleOrder() {}

void MusicPlayer::advance() {}

void MusicPlayer::startSource(const QUrl &url)
{
    Q_UNUSED(url)
}

void MusicPlayer::onMediaError() {}
