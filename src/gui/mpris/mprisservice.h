#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

class MusicPlayer;

// The desktop's player controls (MPRIS 2 on the session bus): publishes the player's state as
// "org.mpris.MediaPlayer2.velora" and carries the desktop's commands to the player. Owns its
// two D-Bus adaptors; the player must outlive it. Without a bus it does nothing but say so once.
class MprisService : public QObject
{
    Q_OBJECT

public:
    static inline const QString ServiceName = QStringLiteral("org.mpris.MediaPlayer2.velora");
    static inline const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

    MprisService(MusicPlayer *player, const QDBusConnection &bus, QObject *parent = nullptr);
    explicit MprisService(MusicPlayer *player, QObject *parent = nullptr);
    ~MprisService() override;

    // Whether the service holds its bus name: false without a session bus.
    bool isRegistered() const { return m_registered; }
    QString registeredName() const { return m_name; }

    // What the player's records do not carry: the album's name and the cover's address.
    void setTrackDetails(const QString &album, const QUrl &artUrl);

    // Pure mappings, exposed for tests.
    static QString playbackStatusText(int state);
    static QString loopStatusText(int playMode);
    // The play mode a LoopStatus asks for; -1 for an unknown text.
    static int playModeForLoopStatus(const QString &loopStatus);

    QString playbackStatus() const;
    QString loopStatus() const;
    void setLoopStatus(const QString &status);
    bool shuffle() const;
    void setShuffle(bool on);
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const;
    QVariantMap metadata() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;

    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    void seek(qlonglong offsetUs);
    void setPosition(const QString &trackId, qlonglong positionUs);

signals:
    void raiseRequested();
    void quitRequested();

private:
    QString trackId() const;
    void propertiesChanged(const QStringList &names);

    MusicPlayer *m_player;
    QDBusConnection m_bus;
    QString m_name;
    bool m_registered = false;
    QString m_album;
    QUrl m_artUrl;
    // The mode Shuffle=false returns to: the last one that was not Shuffle.
    int m_lastOrderedMode = 1;
};
