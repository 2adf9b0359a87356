#include "mprisservice.h"

#include "musicplayer.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDebug>
#include <QStringList>

#include <cmath>

namespace {

const QString NoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
const QString TrackPathPrefix = QStringLiteral("/org/velora/track/");

constexpr qlonglong MicrosecondsPerMillisecond = 1000;

} // namespace

// org.mpris.MediaPlayer2: the application as a whole.
class MprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)

public:
    MprisRootAdaptor(MprisService *service, QObject *object)
        : QDBusAbstractAdaptor(object)
        , m_service(service)
    {
    }
    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Velora"); }
    QString desktopEntry() const { return QStringLiteral("velora"); }
    QStringList supportedUriSchemes() const { return {}; }
    QStringList supportedMimeTypes() const { return {}; }

public slots:
    void Raise() { emit m_service->raiseRequested(); }
    void Quit() { emit m_service->quitRequested(); }

private:
    MprisService *m_service;
};

// org.mpris.MediaPlayer2.Player: playback state and commands.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)

public:
    MprisPlayerAdaptor(MprisService *service, QObject *object)
        : QDBusAbstractAdaptor(object)
        , m_service(service)
    {
    }
    QString playbackStatus() const { return m_service->playbackStatus(); }
    QString loopStatus() const { return m_service->loopStatus(); }
    void setLoopStatus(const QString &status) { m_service->setLoopStatus(status); }
    double rate() const { return 1.0; }
    void setRate(double) { } // one speed only; the interface allows ignoring the request
    bool shuffle() const { return m_service->shuffle(); }
    void setShuffle(bool on) { m_service->setShuffle(on); }
    QVariantMap metadata() const { return m_service->metadata(); }
    double volume() const { return m_service->volume(); }
    void setVolume(double volume) { m_service->setVolume(volume); }
    qlonglong position() const { return m_service->position(); }
    bool canGoNext() const { return m_service->canGoNext(); }
    bool canGoPrevious() const { return m_service->canGoPrevious(); }
    bool canPlay() const { return m_service->canPlay(); }
    bool canPause() const { return m_service->canPause(); }
    bool canSeek() const { return m_service->canSeek(); }
    bool canControl() const { return true; }

public slots:
    void Next() { m_service->next(); }
    void Previous() { m_service->previous(); }
    void Pause() { m_service->pause(); }
    void PlayPause() { m_service->playPause(); }
    void Stop() { m_service->stop(); }
    void Play() { m_service->play(); }
    void Seek(qlonglong offset) { m_service->seek(offset); }
    void SetPosition(const QDBusObjectPath &trackId, qlonglong position)
    {
        m_service->setPosition(trackId.path(), position);
    }
    void OpenUri(const QString &) { }

signals:
    void Seeked(qlonglong position);

private:
    MprisService *m_service;

    friend class MprisService;
};

MprisService::MprisService(MusicPlayer *player, QObject *parent)
    : MprisService(player, QDBusConnection::sessionBus(), parent)
{
}

MprisService::MprisService(MusicPlayer *player, const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_bus(bus)
{
    if (m_player->playMode() != MusicPlayer::Shuffle)
        m_lastOrderedMode = m_player->playMode();
    if (!m_bus.isConnected()) {
        qInfo().noquote() << "No D-Bus session bus: the desktop's player controls are not offered ("
                + m_bus.lastError().message() + u')';
        return;
    }
    new MprisRootAdaptor(this, this);
    new MprisPlayerAdaptor(this, this);
    if (!m_bus.registerObject(ObjectPath, this)) {
        qInfo() << "D-Bus: the object path" << ObjectPath << "is taken; no desktop player controls";
        return;
    }
    // A second running copy takes a name of its own, as the interface asks.
    m_name = ServiceName;
    if (!m_bus.registerService(m_name)) {
        m_name = ServiceName + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
        if (!m_bus.registerService(m_name)) {
            qInfo().noquote() << "D-Bus: could not take the name" << m_name << m_bus.lastError().message();
            m_bus.unregisterObject(ObjectPath);
            m_name.clear();
            return;
        }
    }
    m_registered = true;

    connect(m_player, &MusicPlayer::playbackStateChanged, this, [this] {
        propertiesChanged({ QStringLiteral("PlaybackStatus"), QStringLiteral("CanPause"), QStringLiteral("CanSeek") });
    });
    connect(m_player, &MusicPlayer::songChanged, this, [this] {
        // Details of the song before are no longer true; the window sets the new ones.
        m_album.clear();
        m_artUrl.clear();
        propertiesChanged({ QStringLiteral("Metadata"), QStringLiteral("CanPlay"), QStringLiteral("CanPause"),
            QStringLiteral("CanSeek") });
    });
    connect(m_player, &MusicPlayer::durationChanged, this, [this] {
        propertiesChanged({ QStringLiteral("Metadata"), QStringLiteral("CanSeek") });
    });
    connect(m_player, &MusicPlayer::playlistChanged, this, [this] {
        propertiesChanged({ QStringLiteral("CanGoNext"), QStringLiteral("CanGoPrevious"), QStringLiteral("CanPlay"),
            QStringLiteral("Metadata") });
    });
    connect(m_player, &MusicPlayer::playModeChanged, this, [this](MusicPlayer::PlayMode mode) {
        if (mode != MusicPlayer::Shuffle)
            m_lastOrderedMode = mode;
        propertiesChanged({ QStringLiteral("LoopStatus"), QStringLiteral("Shuffle") });
    });
    connect(m_player, &MusicPlayer::volumeChanged, this, [this] { propertiesChanged({ QStringLiteral("Volume") }); });
}

MprisService::~MprisService()
{
    if (!m_registered)
        return;
    m_bus.unregisterObject(ObjectPath);
    m_bus.unregisterService(m_name);
}

void MprisService::setTrackDetails(const QString &album, const QUrl &artUrl)
{
    if (album == m_album && artUrl == m_artUrl)
        return;
    m_album = album;
    m_artUrl = artUrl;
    propertiesChanged({ QStringLiteral("Metadata") });
}

QString MprisService::playbackStatusText(int state)
{
    switch (state) {
    case QMediaPlayer::PlayingState:
        return QStringLiteral("Playing");
    case QMediaPlayer::PausedState:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QString MprisService::loopStatusText(int playMode)
{
    switch (playMode) {
    case MusicPlayer::Sequential:
        return QStringLiteral("None");
    case MusicPlayer::SingleLoop:
        return QStringLiteral("Track");
    default:
        // List loop, and shuffle, which draws a new order when one runs out.
        return QStringLiteral("Playlist");
    }
}

int MprisService::playModeForLoopStatus(const QString &loopStatus)
{
    if (loopStatus == QLatin1String("None"))
        return MusicPlayer::Sequential;
    if (loopStatus == QLatin1String("Track"))
        return MusicPlayer::SingleLoop;
    if (loopStatus == QLatin1String("Playlist"))
        return MusicPlayer::ListLoop;
    return -1;
}

QString MprisService::playbackStatus() const
{
    return playbackStatusText(m_player->playbackState());
}

QString MprisService::loopStatus() const
{
    return loopStatusText(m_player->playMode());
}

void MprisService::setLoopStatus(const QString &status)
{
    const int mode = playModeForLoopStatus(status);
    if (mode < 0) {
        qInfo() << "D-Bus: unknown LoopStatus" << status;
        return;
    }
    m_player->setPlayMode(MusicPlayer::PlayMode(mode));
}

bool MprisService::shuffle() const
{
    return m_player->playMode() == MusicPlayer::Shuffle;
}

void MprisService::setShuffle(bool on)
{
    if (on == shuffle())
        return;
    m_player->setPlayMode(on ? MusicPlayer::Shuffle : MusicPlayer::PlayMode(m_lastOrderedMode));
}

double MprisService::volume() const
{
    return m_player->volume() / 100.0;
}

void MprisService::setVolume(double volume)
{
    if (!std::isfinite(volume))
        return;
    m_player->setVolume(int(std::lround(qBound(0.0, volume, 1.0) * 100)));
}

qlonglong MprisService::position() const
{
    return m_player->position() * MicrosecondsPerMillisecond;
}

QVariantMap MprisService::metadata() const
{
    const Song song = m_player->currentSong();
    if (song.id == 0)
        return { { QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(NoTrack)) } };
    QVariantMap map { { QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId())) },
        { QStringLiteral("xesam:title"), song.title } };
    if (!song.artist.isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList { song.artist });
    if (!m_album.isEmpty())
        map.insert(QStringLiteral("xesam:album"), m_album);
    if (song.trackNumber > 0)
        map.insert(QStringLiteral("xesam:trackNumber"), song.trackNumber);
    if (!song.genre.isEmpty())
        map.insert(QStringLiteral("xesam:genre"), QStringList { song.genre });
    // The media's own figure once known, else the catalogue's.
    const qlonglong lengthMs = m_player->duration() > 0 ? m_player->duration() : qlonglong(song.duration) * 1000;
    if (lengthMs > 0)
        map.insert(QStringLiteral("mpris:length"), lengthMs * MicrosecondsPerMillisecond);
    if (m_artUrl.isValid())
        map.insert(QStringLiteral("mpris:artUrl"), m_artUrl.toString());
    return map;
}

bool MprisService::canGoNext() const
{
    return !m_player->playlist().isEmpty();
}

bool MprisService::canGoPrevious() const
{
    return !m_player->playlist().isEmpty();
}

bool MprisService::canPlay() const
{
    return !m_player->playlist().isEmpty();
}

bool MprisService::canPause() const
{
    return m_player->currentSong().id != 0;
}

bool MprisService::canSeek() const
{
    return m_player->currentSong().id != 0 && m_player->duration() > 0;
}

void MprisService::play()
{
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        return;
    m_player->resume();
}

void MprisService::pause()
{
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
}

void MprisService::playPause()
{
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
    else
        m_player->resume();
}

void MprisService::stop()
{
    m_player->stop();
}

void MprisService::next()
{
    m_player->next();
}

void MprisService::previous()
{
    m_player->previous();
}

void MprisService::seek(qlonglong offsetUs)
{
    if (!canSeek())
        return;
    const qint64 duration = m_player->duration();
    const qint64 target = m_player->position() + offsetUs / MicrosecondsPerMillisecond;
    // Past the end the interface asks for the next track; before the start, the start.
    if (target >= duration) {
        m_player->next();
        return;
    }
    setPosition(trackId(), qMax<qint64>(0, target) * MicrosecondsPerMillisecond);
}

void MprisService::setPosition(const QString &track, qlonglong positionUs)
{
    // A request for a track that is no longer current, or outside it, is ignored as the
    // interface says.
    if (!canSeek() || track != trackId() || positionUs < 0)
        return;
    const qint64 target = positionUs / MicrosecondsPerMillisecond;
    if (target > m_player->duration())
        return;
    m_player->setPosition(target);
    if (m_registered) {
        if (auto *adaptor = findChild<MprisPlayerAdaptor *>())
            emit adaptor->Seeked(positionUs);
    }
}

QString MprisService::trackId() const
{
    // Queue position and song: unique while the entry is current, and valid as an object path.
    const Song song = m_player->currentSong();
    if (song.id == 0)
        return NoTrack;
    const QString key = song.id > 0 ? QString::number(song.id) : QStringLiteral("local");
    return TrackPathPrefix + QString::number(m_player->currentIndex()) + u'_' + key;
}

void MprisService::propertiesChanged(const QStringList &names)
{
    if (!m_registered)
        return;
    QVariantMap changed;
    for (const QString &name : names) {
        if (name == QLatin1String("PlaybackStatus"))
            changed.insert(name, playbackStatus());
        else if (name == QLatin1String("LoopStatus"))
            changed.insert(name, loopStatus());
        else if (name == QLatin1String("Shuffle"))
            changed.insert(name, shuffle());
        else if (name == QLatin1String("Metadata"))
            changed.insert(name, metadata());
        else if (name == QLatin1String("Volume"))
            changed.insert(name, volume());
        else if (name == QLatin1String("CanGoNext"))
            changed.insert(name, canGoNext());
        else if (name == QLatin1String("CanGoPrevious"))
            changed.insert(name, canGoPrevious());
        else if (name == QLatin1String("CanPlay"))
            changed.insert(name, canPlay());
        else if (name == QLatin1String("CanPause"))
            changed.insert(name, canPause());
        else if (name == QLatin1String("CanSeek"))
            changed.insert(name, canSeek());
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        ObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << PlayerInterface << changed << QStringList();
    m_bus.send(signal);
}

#include "mprisservice.moc"
