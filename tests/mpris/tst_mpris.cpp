#include "mprisservice.h"
#include "musicplayer.h"
#include "wavwriter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int SongMs = 4000; // long enough to pause, seek and read a position mid-song

Song localSong(const QString &path, const QString &title, const QString &artist)
{
    Song song;
    song.id = -1;
    song.title = title;
    song.artist = artist;
    song.duration = SongMs / 1000;
    song.filePath = path;
    return song;
}

} // namespace

// Collects the PropertiesChanged signals the service sends for the player interface.
class PropertiesWatcher : public QObject
{
    Q_OBJECT

public:
    QList<QVariantMap> changes;

public slots:
    void onChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == MprisService::PlayerInterface)
            changes.append(changed);
    }
    void onSeeked(qlonglong position) { seeked.append(position); }

public:
    QList<qlonglong> seeked;

    // The last value announced for a property, or an invalid variant.
    QVariant last(const QString &name) const
    {
        for (auto it = changes.crbegin(); it != changes.crend(); ++it) {
            if (it->contains(name))
                return it->value(name);
        }
        return QVariant();
    }
};

// The desktop's player controls, on a private bus that the test starts, driven by the desktop's
// own command-line controller.
class TestMpris : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void loopStatusMapping_data();
    void loopStatusMapping();
    void playbackStatusMapping_data();
    void playbackStatusMapping();

    void withoutABusThePlayerStillPlays();
    void rootInterfaceNamesTheProgram();
    void controllerDrivesThePlayer();
    void changesAreAnnounced();
    void loopShuffleAndVolumeFromTheDesktop();
    void raiseAndQuitReachTheWindow();

private:
    QString playerctl(const QStringList &arguments);
    QDBusConnection bus() const { return QDBusConnection(QStringLiteral("mpris-test-bus")); }

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_playerctl;
    QList<Song> m_songs;
};

void TestMpris::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (const QString &name : { QStringLiteral("a.wav"), QStringLiteral("b.wav") })
        QVERIFY(writeWav(m_dir.filePath(name), SongMs));
    m_songs = { localSong(m_dir.filePath(QStringLiteral("a.wav")), QStringLiteral("Alpha"), QStringLiteral("Ann")),
        localSong(m_dir.filePath(QStringLiteral("b.wav")), QStringLiteral("Beta"), QStringLiteral("Bob")) };

    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    m_playerctl = QStandardPaths::findExecutable(QStringLiteral("playerctl"));
    QVERIFY2(!daemon.isEmpty() && !m_playerctl.isEmpty(),
        "dbus-daemon and playerctl are needed (Debian packages dbus and playerctl; scripts/install-deps.sh)");
    m_daemon.start(
        daemon, { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
    QVERIFY(m_daemon.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_daemon.canReadLine(), 10000);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    QVERIFY(m_address.startsWith(QLatin1String("unix:")));
    QVERIFY(QDBusConnection::connectToBus(m_address, QStringLiteral("mpris-test-bus")).isConnected());
}

void TestMpris::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("mpris-test-bus"));
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}

QString TestMpris::playerctl(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    process.setProcessEnvironment(env);
    // The caller's event loop must keep turning while the controller waits for our answer.
    process.start(m_playerctl, QStringList { QStringLiteral("-p"), QStringLiteral("velora") } + arguments);
    if (!process.waitForStarted())
        return QStringLiteral("<not started>");
    QDeadlineTimer deadline(10000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(10);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void TestMpris::loopStatusMapping_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("loopStatus");
    QTest::addColumn<int>("modeBack"); // the mode that LoopStatus asks for
    QTest::newRow("sequential") << int(MusicPlayer::Sequential) << "None" << int(MusicPlayer::Sequential);
    QTest::newRow("list loop") << int(MusicPlayer::ListLoop) << "Playlist" << int(MusicPlayer::ListLoop);
    QTest::newRow("single loop") << int(MusicPlayer::SingleLoop) << "Track" << int(MusicPlayer::SingleLoop);
    // Shuffle draws a new order when one runs out: a looping list, with Shuffle on.
    QTest::newRow("shuffle") << int(MusicPlayer::Shuffle) << "Playlist" << int(MusicPlayer::ListLoop);
}

void TestMpris::loopStatusMapping()
{
    QFETCH(int, mode);
    QFETCH(QString, loopStatus);
    QFETCH(int, modeBack);
    QCOMPARE(MprisService::loopStatusText(mode), loopStatus);
    QCOMPARE(MprisService::playModeForLoopStatus(loopStatus), modeBack);
    QCOMPARE(MprisService::playModeForLoopStatus(QStringLiteral("playlist")), -1);
}

void TestMpris::playbackStatusMapping_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("status");
    QTest::newRow("playing") << int(QMediaPlayer::PlayingState) << "Playing";
    QTest::newRow("paused") << int(QMediaPlayer::PausedState) << "Paused";
    QTest::newRow("stopped") << int(QMediaPlayer::StoppedState) << "Stopped";
}

void TestMpris::playbackStatusMapping()
{
    QFETCH(int, state);
    QFETCH(QString, status);
    QCOMPARE(MprisService::playbackStatusText(state), status);
}

void TestMpris::withoutABusThePlayerStillPlays()
{
    const QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + m_dir.filePath(QStringLiteral("no-bus")), QStringLiteral("mpris-no-bus"));
    QVERIFY(!none.isConnected());
    MusicPlayer player;
    MprisService service(&player, none);
    QVERIFY(!service.isRegistered());
    player.setPlaylist(m_songs);
    player.play(0);
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);
    player.stop();
    QDBusConnection::disconnectFromBus(QStringLiteral("mpris-no-bus"));
}

void TestMpris::rootInterfaceNamesTheProgram()
{
    MusicPlayer player;
    MprisService service(&player, bus());
    QVERIFY(service.isRegistered());
    QCOMPARE(service.registeredName(), MprisService::ServiceName);
    QVERIFY(bus().interface()->isServiceRegistered(MprisService::ServiceName));

    QDBusInterface root(
        MprisService::ServiceName, MprisService::ObjectPath, QStringLiteral("org.mpris.MediaPlayer2"), bus());
    QVERIFY(root.isValid());
    QCOMPARE(root.property("Identity").toString(), QStringLiteral("Velora"));
    QCOMPARE(root.property("DesktopEntry").toString(), QStringLiteral("velora"));
    QCOMPARE(root.property("CanRaise").toBool(), true);

    // A second copy of the program (its own connection) takes a name of its own.
    {
        const QDBusConnection second = QDBusConnection::connectToBus(m_address, QStringLiteral("mpris-second"));
        MusicPlayer otherPlayer;
        MprisService other(&otherPlayer, second);
        QVERIFY(other.isRegistered());
        QVERIFY(other.registeredName().startsWith(MprisService::ServiceName + QStringLiteral(".instance")));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("mpris-second"));
}

void TestMpris::controllerDrivesThePlayer()
{
    MusicPlayer player;
    MprisService service(&player, bus());
    QVERIFY(service.isRegistered());
    QCOMPARE(playerctl({ QStringLiteral("status") }), QStringLiteral("Stopped"));

    player.setPlaylist(m_songs);
    player.play(0);
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);
    QTRY_VERIFY(player.duration() > 0);
    QCOMPARE(playerctl({ QStringLiteral("status") }), QStringLiteral("Playing"));
    QCOMPARE(playerctl({ QStringLiteral("metadata"), QStringLiteral("--format"),
                 QStringLiteral("{{title}}|{{artist}}|{{mpris:length}}") }),
        QStringLiteral("Alpha|Ann|%1").arg(player.duration() * 1000));

    playerctl({ QStringLiteral("play-pause") });
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PausedState);
    const qint64 pausedAt = player.position();
    // A resume continues the song; it does not start it again.
    playerctl({ QStringLiteral("play") });
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);
    QVERIFY2(player.position() >= pausedAt, qPrintable(QStringLiteral("%1 < %2").arg(player.position()).arg(pausedAt)));
    QCOMPARE(player.currentIndex(), 0);

    playerctl({ QStringLiteral("position"), QStringLiteral("1.5") });
    QTRY_VERIFY(player.position() >= 1400);
    const double reported = playerctl({ QStringLiteral("position") }).toDouble();
    QVERIFY2(reported >= 1.4 && reported < SongMs / 1000.0, qPrintable(QString::number(reported)));

    playerctl({ QStringLiteral("next") });
    QTRY_COMPARE(player.currentIndex(), 1);
    QTRY_COMPARE(playerctl({ QStringLiteral("metadata"), QStringLiteral("title") }), QStringLiteral("Beta"));
    playerctl({ QStringLiteral("previous") });
    QTRY_COMPARE(player.currentIndex(), 0);
    playerctl({ QStringLiteral("stop") });
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::StoppedState);
}

void TestMpris::changesAreAnnounced()
{
    MusicPlayer player;
    MprisService service(&player, bus());
    PropertiesWatcher watcher;
    QVERIFY(bus().connect(QString(), MprisService::ObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"), &watcher, SLOT(onChanged(QString, QVariantMap, QStringList))));
    QVERIFY(bus().connect(QString(), MprisService::ObjectPath, MprisService::PlayerInterface, QStringLiteral("Seeked"),
        &watcher, SLOT(onSeeked(qlonglong))));

    player.setPlaylist(m_songs);
    player.play(1);
    QTRY_COMPARE(watcher.last(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    QTRY_VERIFY(watcher.last(QStringLiteral("Metadata")).isValid());
    QTRY_VERIFY(player.duration() > 0);

    service.setTrackDetails(QStringLiteral("Second Album"), QUrl(QStringLiteral("http://127.0.0.1:9/cover.png")));
    QTRY_COMPARE(playerctl({ QStringLiteral("metadata"), QStringLiteral("--format"),
                     QStringLiteral("{{album}}|{{mpris:artUrl}}") }),
        QStringLiteral("Second Album|http://127.0.0.1:9/cover.png"));

    player.pause();
    QTRY_COMPARE(watcher.last(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));

    // A seek from the desktop is confirmed with Seeked at the new place, in microseconds.
    playerctl({ QStringLiteral("position"), QStringLiteral("2") });
    QTRY_COMPARE(watcher.seeked.size(), 1);
    QCOMPARE(watcher.seeked.first(), qlonglong(2000000));

    // A SetPosition for a track that is no longer current changes nothing.
    QDBusInterface iface(MprisService::ServiceName, MprisService::ObjectPath, MprisService::PlayerInterface, bus());
    const QDBusMessage reply = iface.call(QStringLiteral("SetPosition"),
        QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/velora/track/9_local"))), qlonglong(500000));
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(watcher.seeked.size(), 1);
    player.stop();
}

void TestMpris::loopShuffleAndVolumeFromTheDesktop()
{
    MusicPlayer player;
    player.setPlayMode(MusicPlayer::Sequential);
    MprisService service(&player, bus());
    QCOMPARE(playerctl({ QStringLiteral("loop") }), QStringLiteral("None"));
    playerctl({ QStringLiteral("loop"), QStringLiteral("Track") });
    QTRY_COMPARE(player.playMode(), MusicPlayer::SingleLoop);
    playerctl({ QStringLiteral("shuffle"), QStringLiteral("On") });
    QTRY_COMPARE(player.playMode(), MusicPlayer::Shuffle);
    QCOMPARE(playerctl({ QStringLiteral("shuffle") }), QStringLiteral("On"));
    // Shuffle off returns to the mode it replaced.
    playerctl({ QStringLiteral("shuffle"), QStringLiteral("Off") });
    QTRY_COMPARE(player.playMode(), MusicPlayer::SingleLoop);

    QSignalSpy volume(&player, &MusicPlayer::volumeChanged);
    playerctl({ QStringLiteral("volume"), QStringLiteral("0.35") });
    QTRY_COMPARE(player.volume(), 35);
    QCOMPARE(volume.size(), 1);
    player.setVolume(60);
    QCOMPARE(playerctl({ QStringLiteral("volume") }).toDouble(), 0.6);
}

void TestMpris::raiseAndQuitReachTheWindow()
{
    MusicPlayer player;
    MprisService service(&player, bus());
    QSignalSpy raise(&service, &MprisService::raiseRequested);
    QSignalSpy quit(&service, &MprisService::quitRequested);
    QDBusInterface root(
        MprisService::ServiceName, MprisService::ObjectPath, QStringLiteral("org.mpris.MediaPlayer2"), bus());
    QCOMPARE(root.call(QStringLiteral("Raise")).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(raise.size(), 1);
    QCOMPARE(root.call(QStringLiteral("Quit")).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(quit.size(), 1);
}

QTEST_GUILESS_MAIN(TestMpris)
#include "tst_mpris.moc"
