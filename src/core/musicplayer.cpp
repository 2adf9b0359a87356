#include "musicplayer.h"

#include "catalogueconfig.h"

#include <QAudioOutput>
#include <QDebug>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>

namespace {
constexpr int PositionIntervalMs = 100;
// How long a failed media pipeline is left to finish its reports before the next entry starts.
constexpr int FailureSettleMs = 300;
}

MusicPlayer::MusicPlayer(QObject *parent)
    : QObject(parent)
    , m_positionTimer(new QTimer(this))
{
    m_positionTimer->setInterval(PositionIntervalMs);
    connect(m_positionTimer, &QTimer::timeout, this, [this]() {
        const qint64 position = m_mediaPlayer->position();
        noteProgress(position);
        emit positionChanged(position);
    });
    attachMediaPlayer();
}

void MusicPlayer::attachMediaPlayer()
{
    m_mediaPlayer = new QMediaPlayer(this);
    m_audioOutput = new QAudioOutput(m_mediaPlayer);
    m_mediaPlayer->setAudioOutput(m_audioOutput);
    m_audioOutput->setVolume(m_volume / 100.0);
    connect(m_mediaPlayer, &QMediaPlayer::mediaStatusChanged, this, &MusicPlayer::onMediaStatusChanged);
    connect(m_mediaPlayer, &QMediaPlayer::positionChanged, this, &MusicPlayer::onPositionChanged);
    connect(m_mediaPlayer, &QMediaPlayer::durationChanged, this, &MusicPlayer::onDurationChanged);
    connect(m_mediaPlayer, &QMediaPlayer::errorOccurred, this, &MusicPlayer::onMediaError);
    connect(m_mediaPlayer, &QMediaPlayer::playbackStateChanged, this, &MusicPlayer::playbackStateChanged);
}

void MusicPlayer::replaceFailedMediaPlayer()
{
    // A failed GStreamer pipeline stays "playing", and the next stop or source change on it waits
    // a full second for a state it never reaches: every next, play or quit after a failure froze
    // the window. Destroying it costs nothing, so the failed one goes and a fresh one takes over.
    // Not deleted at once: this runs inside its own error report.
    QMediaPlayer *failed = m_mediaPlayer;
    disconnect(failed, nullptr, this, nullptr);
    failed->deleteLater();
    attachMediaPlayer();
    if (failed->playbackState() != QMediaPlayer::StoppedState)
        emit playbackStateChanged(QMediaPlayer::StoppedState);
}

MusicPlayer::~MusicPlayer()
{
    // The owning window is already half destroyed when its children go: stop without
    // forwarding the resulting state and position changes to its slots.
    disconnect(m_mediaPlayer, nullptr, this, nullptr);
    m_positionTimer->stop();
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
    m_failedEntries.clear();
    ++m_startSerial;
    generateShuffleOrder();
    emit playlistChanged();
}

void MusicPlayer::addToPlaylist(const Song &song)
{
    m_playlist.append(song);
    if (m_playMode == Shuffle)
        m_shuffleOrder.append(m_playlist.size() - 1);
    emit playlistChanged();
}

void MusicPlayer::removeFromPlaylist(int index)
{
    if (index < 0 || index >= m_playlist.size())
        return;

    m_playlist.removeAt(index);
    m_failedEntries.clear();

    if (m_playMode == Shuffle) {
        m_shuffleOrder.removeAll(index);
        for (int &entry : m_shuffleOrder) {
            if (entry > index)
                --entry;
        }
    }

    if (index == m_currentIndex) {
        // The entry after the removed one plays, by the play mode: the follower in list order,
        // wrapping except in Sequential, or the next of the shuffle order.
        int target = -1;
        if (m_playMode == Shuffle && !m_shuffleOrder.isEmpty())
            target = m_shuffleOrder.takeFirst();
        else if (index < m_playlist.size())
            target = index;
        else if (m_playMode != Sequential && !m_playlist.isEmpty())
            target = 0;
        if (target >= 0) {
            play(target);
        } else {
            m_currentIndex = -1;
            ++m_startSerial;
            m_mediaPlayer->stop();
            m_positionTimer->stop();
            emit songChanged(Song());
        }
    } else if (index < m_currentIndex) {
        --m_currentIndex;
    }

    emit playlistChanged();
}

void MusicPlayer::clearPlaylist()
{
    m_playlist.clear();
    m_shuffleOrder.clear();
    m_currentIndex = -1;
    m_failedEntries.clear();
    ++m_startSerial;
    m_mediaPlayer->stop();
    m_positionTimer->stop();
    emit playlistChanged();
    emit songChanged(Song());
}

void MusicPlayer::playNext(int index)
{
    if (index < 0 || index >= m_playlist.size() || index == m_currentIndex)
        return;
    if (m_playMode == Shuffle) {
        m_shuffleOrder.removeAll(index);
        m_shuffleOrder.prepend(index);
        return;
    }
    const Song song = m_playlist.takeAt(index);
    m_failedEntries.clear();
    if (index < m_currentIndex)
        --m_currentIndex;
    // With nothing current, the next start is entry 0.
    m_playlist.insert(m_currentIndex + 1, song);
    emit playlistChanged();
}

void MusicPlayer::play(int index)
{
    if (m_playlist.isEmpty()) {
        qDebug().noquote() << tr("播放列表为空，无法播放");
        return;
    }
    if (index < 0) {
        index = m_currentIndex;
        if (index < 0 || index >= m_playlist.size())
            index = 0;
    } else if (index >= m_playlist.size()) {
        qDebug().noquote() << tr("无效索引:") << index;
        return;
    }

    // The entry becomes current before its path is checked: a failed start still moves the queue.
    m_currentIndex = index;
    ++m_startSerial;
    m_startPending = false;
    Song song = m_playlist.at(index);

    if (song.filePath.isEmpty()) {
        fail(song, NoAudioFile, tr("歌曲文件路径为空"));
        return;
    }

    // Only a local song (id -1) is read from the disk. A catalogue song names a file in the
    // server's media folder, whatever its text looks like: "/etc/passwd" is not played locally.
    QUrl url;
    if (song.id == -1) {
        qDebug().noquote() << tr("通过 ID -1 检测到本地音乐");
        const QFileInfo info(song.filePath);
        if (info.exists() && info.isFile()) {
            qDebug().noquote() << tr("通过文件存在检测到本地音乐");
            song.filePath = info.absoluteFilePath();
            m_playlist[index].filePath = song.filePath;
        }
        if (song.filePath.startsWith(QLatin1Char('/'))
            || (song.filePath.size() > 1 && song.filePath.at(1) == QLatin1Char(':')))
            qDebug().noquote() << tr("通过绝对路径检测到本地音乐");
        url = QUrl::fromLocalFile(song.filePath);
        qDebug().noquote() << tr("播放本地文件:") << url.toString() << tr("标题:") << song.title;
    } else {
        if (!CatalogueConfig::isSafeMediaPath(song.filePath)) {
            qWarning().noquote() << tr("拒绝播放媒体文件夹之外的路径:") << song.filePath;
            fail(song, BadAddress, tr("歌曲路径不在服务器的媒体文件夹内: %1").arg(song.filePath));
            return;
        }
        url = CatalogueConfig::mediaUrl(song.filePath);
        qDebug().noquote() << tr("播放网络文件:") << CatalogueConfig::mediaBaseUrl().toString() + song.filePath;
    }

    if (!url.isValid()) {
        fail(song, BadAddress, tr("无效的URL: ") + song.filePath);
        return;
    }

    m_startedSong = song;
    emit songChanged(song);
    startSource(url);
    m_startPending = true;
    m_positionTimer->start();
}

void MusicPlayer::pause()
{
    m_mediaPlayer->pause();
    m_positionTimer->stop();
}

void MusicPlayer::resume()
{
    if (m_mediaPlayer->playbackState() != QMediaPlayer::PausedState || currentSong().id == 0) {
        play(-1);
        return;
    }
    m_mediaPlayer->play();
    m_positionTimer->start();
}

void MusicPlayer::stop()
{
    m_mediaPlayer->stop();
    m_positionTimer->stop();
    m_currentIndex = -1;
    m_startPending = false;
    ++m_startSerial;
}

void MusicPlayer::next()
{
    if (m_playlist.isEmpty())
        return;
    advance();
}

void MusicPlayer::previous()
{
    if (m_playlist.isEmpty())
        return;

    const int count = m_playlist.size();
    const int current = m_currentIndex;
    int target;
    if (m_playMode == Shuffle)
        target = qMax(current - 1, 0);
    else if (current > 0)
        target = current - 1;
    else if (m_playMode == Sequential)
        target = 0;
    else
        target = count - 1;
    play(target);
}

void MusicPlayer::setPlayMode(PlayMode mode)
{
    m_playMode = mode;
    if (mode == Shuffle)
        generateShuffleOrder();
    emit playModeChanged(mode);
}

void MusicPlayer::setVolume(int volume)
{
    const int bounded = qBound(0, volume, 100);
    if (bounded == m_volume)
        return;
    m_volume = bounded;
    m_audioOutput->setVolume(m_volume / 100.0);
    emit volumeChanged(m_volume);
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
    if (status != QMediaPlayer::EndOfMedia || m_reloading)
        return;

    if (m_playMode == SingleLoop) {
        // A new start of the same entry: it is announced again once it plays.
        m_startPending = true;
        m_mediaPlayer->setPosition(0);
        m_mediaPlayer->play();
        return;
    }
    advance();
}

void MusicPlayer::onPositionChanged(qint64 position)
{
    noteProgress(position);
    emit positionChanged(position);
}

void MusicPlayer::noteProgress(qint64 position)
{
    if (!m_startPending || position <= 0 || m_reloading)
        return;
    m_startPending = false;
    m_failedEntries.clear();
    emit songStarted(m_startedSong);
}

void MusicPlayer::onDurationChanged(qint64 duration)
{
    emit durationChanged(duration);
}

void MusicPlayer::generateShuffleOrder()
{
    m_shuffleOrder.clear();
    for (int i = 0; i < m_playlist.size(); ++i) {
        if (i != m_currentIndex)
            m_shuffleOrder.append(i);
    }
    for (int i = int(m_shuffleOrder.size()) - 1; i > 0; --i) {
        const int j = int(QRandomGenerator::global()->bounded(i + 1));
        m_shuffleOrder.swapItemsAt(i, j);
    }
    if (m_currentIndex >= 0)
        m_shuffleOrder.append(m_currentIndex);
}

// The step shared by next() and the end of a song.
void MusicPlayer::advance()
{
    const int count = m_playlist.size();
    int target = -1;
    switch (m_playMode) {
    case Sequential:
        if (m_currentIndex + 1 >= count) {
            m_mediaPlayer->stop();
            m_positionTimer->stop();
            m_currentIndex = -1;
            return;
        }
        target = m_currentIndex + 1;
        break;
    case ListLoop:
        target = (m_currentIndex + 1) % count;
        break;
    case SingleLoop:
        target = m_currentIndex;
        break;
    case Shuffle:
        if (m_shuffleOrder.isEmpty())
            generateShuffleOrder();
        if (!m_shuffleOrder.isEmpty())
            target = m_shuffleOrder.takeFirst();
        break;
    }
    if (target >= 0 && target < count)
        play(target);
}

void MusicPlayer::startSource(const QUrl &url)
{
    // Qt 6.4 returns early from setSource() with the URL it already holds: nothing reloads, no
    // duration is announced, and after the end of a song not even its implied stop happens.
    // Clearing the source first makes a restart of the current entry (resume via play(-1),
    // single loop via next(), a one-song list loop) a full start from 0 like any other.
    if (m_mediaPlayer->source() == url) {
        m_reloading = true;
        m_mediaPlayer->setSource(QUrl());
        m_reloading = false;
    }
    m_errorReported = false;
    m_mediaPlayer->setSource(url);
    m_mediaPlayer->play();
}

void MusicPlayer::onMediaError()
{
    // Qt raises the same failure of one source up to four times; the user gets one message.
    if (m_reloading || m_errorReported)
        return;
    m_errorReported = true;
    m_startPending = false;

    const Song song = currentSong();
    const bool local = m_mediaPlayer->source().isLocalFile();
    Failure reason = Unreadable;
    switch (m_mediaPlayer->error()) {
    case QMediaPlayer::AccessDeniedError:
        reason = Refused;
        break;
    case QMediaPlayer::NetworkError:
        reason = Unreachable;
        break;
    case QMediaPlayer::ResourceError:
        // The framework says "resource" for a 404, a server gone and a stream it cannot type alike.
        if (!local)
            reason = Unreachable;
        else if (!QFileInfo::exists(m_mediaPlayer->source().toLocalFile()))
            reason = Missing;
        break;
    default:
        if (local && !QFileInfo::exists(m_mediaPlayer->source().toLocalFile()))
            reason = Missing;
        break;
    }
    const QString detail = m_mediaPlayer->errorString();
    m_positionTimer->stop();
    replaceFailedMediaPlayer();
    fail(song, reason, detail);
}

void MusicPlayer::fail(const Song &song, Failure reason, const QString &detail)
{
    emit error(detail);
    emit playbackFailed(song, reason);
    m_failedEntries.insert(m_currentIndex);
    // Not at once: the failed pipeline goes on reporting for a moment (one failure comes as up
    // to four errors), and a source set meanwhile fails with it. A queue of failing entries also
    // must not recurse through play().
    const int serial = m_startSerial;
    QTimer::singleShot(reason == NoAudioFile || reason == BadAddress ? 0 : FailureSettleMs, this,
        [this, serial] { moveOnAfterFailure(serial); });
}

void MusicPlayer::moveOnAfterFailure(int serial)
{
    // The user started something else, or changed the queue, since the failure.
    if (serial != m_startSerial || m_playlist.isEmpty())
        return;
    // The failed source is dropped first: its pipeline's late reports (one failure comes as up to
    // four errors) must not be taken for a failure of the entry that follows.
    m_reloading = true;
    m_mediaPlayer->setSource(QUrl());
    m_reloading = false;
    if (m_failedEntries.size() >= m_playlist.size()) {
        stop();
        m_failedEntries.clear();
        emit queueFailed();
        return;
    }
    // Single loop would try the same entry again; a failure moves to the following one.
    if (m_playMode == SingleLoop)
        play((m_currentIndex + 1) % int(m_playlist.size()));
    else
        advance();
}
