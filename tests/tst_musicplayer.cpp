#include "musicplayer.h"

#include "testhttpserver.h"
#include "wavwriter.h"

#include <QAudioOutput>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int ShortMs = 200; // ends quickly: for end-of-song tests
constexpr int LongMs = 700; // still playing while a test pokes at it

Song makeSong(int id, const QString &title, const QString &path)
{
    Song song;
    song.id = id;
    song.title = title;
    song.artist = QStringLiteral("Tester");
    song.filePath = path;
    return song;
}

QTimer *positionTimer(MusicPlayer &player)
{
    return player.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
}

// Records the player's queue signals in order, so tests can check which came first.
class SignalTrace : public QObject
{
public:
    explicit SignalTrace(MusicPlayer *player)
    {
        connect(player, &MusicPlayer::songChanged, this, [this](const Song &song) {
            events.append(QStringLiteral("song:") + (song.id == 0 ? QStringLiteral("<none>") : song.title));
            songs.append(song);
        });
        connect(player, &MusicPlayer::playlistChanged, this, [this]() { events.append(QStringLiteral("playlist")); });
        connect(player, &MusicPlayer::error, this, [this](const QString &message) { errors.append(message); });
        connect(player, &MusicPlayer::positionChanged, this, [this](qint64 position) { positions.append(position); });
        connect(player, &MusicPlayer::durationChanged, this, [this](qint64 duration) { durations.append(duration); });
        connect(player, &MusicPlayer::playbackStateChanged, this,
            [this](QMediaPlayer::PlaybackState state) { states.append(state); });
        connect(player, &MusicPlayer::songStarted, this, [this](const Song &song) { started.append(song.title); });
        connect(player, &MusicPlayer::playbackFailed, this, [this](const Song &song, MusicPlayer::Failure reason) {
            failed.append(song.title);
            reasons.append(reason);
        });
        connect(player, &MusicPlayer::queueFailed, this, [this]() { ++queueFailures; });
    }

    QStringList titles() const
    {
        QStringList result;
        for (const Song &song : songs)
            result.append(song.title);
        return result;
    }

    QStringList events;
    QList<Song> songs;
    QStringList errors;
    QList<qint64> positions;
    QList<qint64> durations;
    QList<QMediaPlayer::PlaybackState> states;
    QStringList started;
    QStringList failed;
    QList<MusicPlayer::Failure> reasons;
    int queueFailures = 0;
};

} // namespace

class TestMusicPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void initialState();

    void nextStep_data();
    void nextStep();
    void previousStep_data();
    void previousStep();
    void playIndexOutOfRange();
    void emptyPlaylist();

    void shuffleOrder();
    void shuffleOrderFollowsQueueEdits();

    void removeFromPlaylist_data();
    void removeFromPlaylist();
    void removeOnlyEntry();
    void clearPlaylist();
    void setPlayModeAlwaysSignals();
    void setVolume_data();
    void setVolume();

    void resolveSource_data();
    void resolveSource();
    void networkSongPlaysFromMediaBase_data();
    void networkSongPlaysFromMediaBase();
    void catalogueSongNeverLeavesMediaFolder_data();
    void catalogueSongNeverLeavesMediaFolder();
    void startFailureMovesOn_data();
    void startFailureMovesOn();

    void restartBeginsAtStart_data();
    void restartBeginsAtStart();
    void endOfSongSingleLoopRestarts_data();
    void endOfSongSingleLoopRestarts();
    void endOfSongMovesOn_data();
    void endOfSongMovesOn();
    void endOfQueueSequentialStops();
    void mediaErrorReportedOnceAndMovesOn_data();
    void mediaErrorReportedOnceAndMovesOn();
    void failingQueueStopsOnce_data();
    void failingQueueStopsOnce();
    void resumeContinuesWherePaused();
    void songStartedOncePerStart_data();
    void songStartedOncePerStart();
    void playNext_data();
    void playNext();
    void positionAndDurationForwarded();
    void destructionIsSilent();

private:
    QList<Song> localSongs(int count, const QString &file) const;

    QTemporaryDir m_dir;
    QString m_shortWav;
    QString m_longWav;
    QByteArray m_savedServerUrl;
    QString m_savedCwd;
};

void TestMusicPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_shortWav = m_dir.filePath(QStringLiteral("short.wav"));
    m_longWav = m_dir.filePath(QStringLiteral("long.wav"));
    QVERIFY(writeWav(m_shortWav, ShortMs));
    QVERIFY(writeWav(m_longWav, LongMs));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("rel")));
    QVERIFY(writeWav(m_dir.filePath(QStringLiteral("rel/a.wav")), ShortMs));
    m_savedServerUrl = qgetenv("VELORA_SERVER_URL");
    m_savedCwd = QDir::currentPath();
}

void TestMusicPlayer::cleanupTestCase()
{
    qputenv("VELORA_SERVER_URL", m_savedServerUrl);
    QDir::setCurrent(m_savedCwd);
}

void TestMusicPlayer::init()
{
    qputenv("VELORA_SERVER_URL", m_savedServerUrl);
    QDir::setCurrent(m_savedCwd);
}

QList<Song> TestMusicPlayer::localSongs(int count, const QString &file) const
{
    QList<Song> songs;
    for (int i = 0; i < count; ++i)
        songs.append(makeSong(-1, QStringLiteral("s%1").arg(i), file));
    return songs;
}

void TestMusicPlayer::initialState()
{
    MusicPlayer player;
    QCOMPARE(player.currentIndex(), -1);
    QCOMPARE(player.playMode(), MusicPlayer::ListLoop);
    QCOMPARE(player.volume(), 80);
    QCOMPARE(player.currentSong().id, 0);
    QVERIFY(player.playlist().isEmpty());
    QCOMPARE(player.playbackState(), QMediaPlayer::StoppedState);
    QTimer *timer = positionTimer(player);
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 100);
    QVERIFY(!timer->isActive());
    QAudioOutput *output = player.findChild<QAudioOutput *>();
    QVERIFY(output);
    QCOMPARE(output->volume(), 0.8f);
}

// current -1 means the queue is set but nothing was played yet.
void TestMusicPlayer::nextStep_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("expected"); // index afterwards
    QTest::addColumn<bool>("starts"); // songChanged emitted

    QTest::newRow("sequential, middle") << int(MusicPlayer::Sequential) << 3 << 0 << 1 << true;
    QTest::newRow("sequential, none current") << int(MusicPlayer::Sequential) << 3 << -1 << 0 << true;
    QTest::newRow("sequential, last runs off") << int(MusicPlayer::Sequential) << 3 << 2 << -1 << false;
    QTest::newRow("sequential, empty") << int(MusicPlayer::Sequential) << 0 << -1 << -1 << false;
    QTest::newRow("list loop, middle") << int(MusicPlayer::ListLoop) << 3 << 1 << 2 << true;
    QTest::newRow("list loop, last wraps") << int(MusicPlayer::ListLoop) << 3 << 2 << 0 << true;
    QTest::newRow("list loop, none current") << int(MusicPlayer::ListLoop) << 3 << -1 << 0 << true;
    QTest::newRow("list loop, one song") << int(MusicPlayer::ListLoop) << 1 << 0 << 0 << true;
    QTest::newRow("list loop, empty") << int(MusicPlayer::ListLoop) << 0 << -1 << -1 << false;
    QTest::newRow("single loop, repeats") << int(MusicPlayer::SingleLoop) << 3 << 1 << 1 << true;
    QTest::newRow("single loop, last repeats") << int(MusicPlayer::SingleLoop) << 3 << 2 << 2 << true;
    QTest::newRow("single loop, none current") << int(MusicPlayer::SingleLoop) << 3 << -1 << -1 << false;
    QTest::newRow("single loop, empty") << int(MusicPlayer::SingleLoop) << 0 << -1 << -1 << false;
    QTest::newRow("shuffle, empty") << int(MusicPlayer::Shuffle) << 0 << -1 << -1 << false;
    QTest::newRow("shuffle, one song") << int(MusicPlayer::Shuffle) << 1 << 0 << 0 << true;
}

void TestMusicPlayer::nextStep()
{
    QFETCH(int, mode);
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(int, expected);
    QFETCH(bool, starts);

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::PlayMode(mode));
    player.setPlaylist(localSongs(count, m_longWav));
    if (current >= 0)
        player.play(current);
    QCOMPARE(player.currentIndex(), current);

    SignalTrace trace(&player);
    player.next();

    QCOMPARE(player.currentIndex(), expected);
    QCOMPARE(trace.songs.size(), starts ? 1 : 0);
    if (starts)
        QCOMPARE(trace.songs.first().title, QStringLiteral("s%1").arg(expected));
    QVERIFY(trace.errors.isEmpty());
    if (count > 0 && current == count - 1 && mode == MusicPlayer::Sequential) {
        QVERIFY(!positionTimer(player)->isActive());
        QTRY_COMPARE(player.playbackState(), QMediaPlayer::StoppedState);
    } else if (starts) {
        QVERIFY(positionTimer(player)->isActive());
        QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);
    }
}

void TestMusicPlayer::previousStep_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("expected"); // -1: nothing played

    QTest::newRow("sequential, middle") << int(MusicPlayer::Sequential) << 3 << 2 << 1;
    QTest::newRow("sequential, first stays") << int(MusicPlayer::Sequential) << 3 << 0 << 0;
    QTest::newRow("sequential, none current") << int(MusicPlayer::Sequential) << 3 << -1 << 0;
    QTest::newRow("sequential, empty") << int(MusicPlayer::Sequential) << 0 << -1 << -1;
    QTest::newRow("list loop, middle") << int(MusicPlayer::ListLoop) << 3 << 1 << 0;
    QTest::newRow("list loop, first wraps") << int(MusicPlayer::ListLoop) << 3 << 0 << 2;
    QTest::newRow("list loop, none current") << int(MusicPlayer::ListLoop) << 3 << -1 << 2;
    QTest::newRow("single loop, middle") << int(MusicPlayer::SingleLoop) << 3 << 1 << 0;
    QTest::newRow("single loop, first wraps") << int(MusicPlayer::SingleLoop) << 3 << 0 << 2;
    QTest::newRow("single loop, empty") << int(MusicPlayer::SingleLoop) << 0 << -1 << -1;
    QTest::newRow("shuffle, queue order") << int(MusicPlayer::Shuffle) << 5 << 3 << 2;
    QTest::newRow("shuffle, first stays") << int(MusicPlayer::Shuffle) << 3 << 0 << 0;
    QTest::newRow("shuffle, none current") << int(MusicPlayer::Shuffle) << 3 << -1 << 0;
    QTest::newRow("shuffle, empty") << int(MusicPlayer::Shuffle) << 0 << -1 << -1;
}

void TestMusicPlayer::previousStep()
{
    QFETCH(int, mode);
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(int, expected);

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::PlayMode(mode));
    player.setPlaylist(localSongs(count, m_longWav));
    if (current >= 0)
        player.play(current);
    const QList<int> orderBefore = player.shuffleOrder();

    SignalTrace trace(&player);
    player.previous();

    if (expected < 0) {
        QCOMPARE(player.currentIndex(), current);
        QVERIFY(trace.songs.isEmpty());
    } else {
        QCOMPARE(player.currentIndex(), expected);
        QCOMPARE(trace.titles(), QStringList { QStringLiteral("s%1").arg(expected) });
    }
    // Going back never consumes the shuffle order.
    QCOMPARE(player.shuffleOrder(), orderBefore);
}

void TestMusicPlayer::playIndexOutOfRange()
{
    MusicPlayer player;
    player.setPlaylist(localSongs(3, m_longWav));
    player.play(1);
    SignalTrace trace(&player);

    QTest::ignoreMessage(QtDebugMsg, "无效索引: 7");
    player.play(7);
    QCOMPARE(player.currentIndex(), 1);
    QVERIFY(trace.events.isEmpty());
    QVERIFY(trace.errors.isEmpty());

    // -1 resumes the current entry rather than jumping to the first one.
    player.play(-1);
    QCOMPARE(player.currentIndex(), 1);
    QCOMPARE(trace.titles(), QStringList { QStringLiteral("s1") });
}

void TestMusicPlayer::emptyPlaylist()
{
    MusicPlayer player;
    SignalTrace trace(&player);
    player.setPlaylist({});
    QCOMPARE(trace.events, QStringList { QStringLiteral("playlist") });

    QTest::ignoreMessage(QtDebugMsg, "播放列表为空，无法播放");
    player.play(0);
    player.next();
    player.previous();
    QCOMPARE(player.currentIndex(), -1);
    QCOMPARE(trace.events, QStringList { QStringLiteral("playlist") });
    QVERIFY(trace.errors.isEmpty());
    QVERIFY(!positionTimer(player)->isActive());
}

void TestMusicPlayer::shuffleOrder()
{
    MusicPlayer player;
    player.setPlaylist(localSongs(5, m_longWav));
    player.play(2);
    player.setPlayMode(MusicPlayer::Shuffle);

    QList<int> order = player.shuffleOrder();
    QCOMPARE(order.size(), 5);
    QCOMPARE(order.last(), 2);
    QList<int> others = order.mid(0, 4);
    std::sort(others.begin(), others.end());
    QCOMPARE(others, (QList<int> { 0, 1, 3, 4 }));

    // One pass plays the drawn order exactly, the formerly current entry last.
    SignalTrace trace(&player);
    for (int i = 0; i < 5; ++i)
        player.next();
    QStringList expectedTitles;
    for (int index : order)
        expectedTitles.append(QStringLiteral("s%1").arg(index));
    QCOMPARE(trace.titles(), expectedTitles);
    QCOMPARE(player.currentIndex(), 2);
    QVERIFY(player.shuffleOrder().isEmpty());

    // The sixth draws a new order without the current entry and with it at the end.
    player.next();
    const int sixth = player.currentIndex();
    QVERIFY(sixth != 2);
    const QList<int> rest = player.shuffleOrder();
    QCOMPARE(rest.size(), 4);
    QCOMPARE(rest.last(), 2);
    QList<int> drawn = rest.mid(0, 3);
    drawn.append(sixth);
    std::sort(drawn.begin(), drawn.end());
    QCOMPARE(drawn, (QList<int> { 0, 1, 3, 4 }));

    // A fresh order is drawn on every setPlayMode(Shuffle); over many draws every candidate
    // leads at least once (a fixed order would fail with certainty).
    QSet<int> leaders;
    for (int i = 0; i < 200 && leaders.size() < 4; ++i) {
        player.setPlayMode(MusicPlayer::Shuffle);
        leaders.insert(player.shuffleOrder().first());
        QCOMPARE(player.shuffleOrder().last(), sixth);
    }
    QCOMPARE(leaders.size(), 4);
}

void TestMusicPlayer::shuffleOrderFollowsQueueEdits()
{
    MusicPlayer player;
    player.setPlayMode(MusicPlayer::Shuffle);
    player.setPlaylist(localSongs(5, m_longWav));
    // With nothing current, setPlaylist draws all indexes.
    QList<int> order = player.shuffleOrder();
    std::sort(order.begin(), order.end());
    QCOMPARE(order, (QList<int> { 0, 1, 2, 3, 4 }));

    player.addToPlaylist(makeSong(-1, QStringLiteral("s5"), m_longWav));
    QCOMPARE(player.shuffleOrder().size(), 6);
    QCOMPARE(player.shuffleOrder().last(), 5);

    // Removing index 1 drops it from the order and shifts the later indexes down.
    QList<int> expected;
    for (int index : player.shuffleOrder()) {
        if (index != 1)
            expected.append(index > 1 ? index - 1 : index);
    }
    player.removeFromPlaylist(1);
    QCOMPARE(player.shuffleOrder(), expected);

    // Every remaining step plays a valid, distinct entry.
    SignalTrace trace(&player);
    for (int i = 0; i < 5; ++i)
        player.next();
    QStringList titles = trace.titles();
    titles.sort();
    QCOMPARE(titles,
        (QStringList { QStringLiteral("s0"), QStringLiteral("s2"), QStringLiteral("s3"), QStringLiteral("s4"),
            QStringLiteral("s5") }));

    // In the other modes adding leaves the order alone; entering Shuffle redraws it anyway.
    player.setPlayMode(MusicPlayer::Sequential);
    player.addToPlaylist(makeSong(-1, QStringLiteral("s6"), m_longWav));
    player.setPlayMode(MusicPlayer::Shuffle);
    QCOMPARE(player.shuffleOrder().size(), player.playlist().size());
}

void TestMusicPlayer::removeFromPlaylist_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("removed");
    QTest::addColumn<int>("expectedIndex");
    QTest::addColumn<QString>("expectedTitle"); // title of the current entry afterwards
    QTest::addColumn<QStringList>("expectedEvents");

    const QString playlist = QStringLiteral("playlist");
    const int loop = MusicPlayer::ListLoop;
    const int sequential = MusicPlayer::Sequential;
    QTest::newRow("before current") << loop << 5 << 3 << 1 << 2 << "s3" << QStringList { playlist };
    QTest::newRow("after current") << loop << 5 << 1 << 3 << 1 << "s1" << QStringList { playlist };
    QTest::newRow("at current, middle") << loop << 5 << 2 << 2 << 2 << "s3" << QStringList { "song:s3", playlist };
    // Removing the playing entry moves on to the next one by the play mode.
    QTest::newRow("at current, last, list loop wraps")
        << loop << 4 << 3 << 3 << 0 << "s0" << QStringList { "song:s0", playlist };
    QTest::newRow("at current, last, sequential stops")
        << sequential << 4 << 3 << 3 << -1 << "" << QStringList { "song:<none>", playlist };
    QTest::newRow("at current, middle, single loop")
        << int(MusicPlayer::SingleLoop) << 4 << 1 << 1 << 1 << "s2" << QStringList { "song:s2", playlist };
    QTest::newRow("at the end, not current") << loop << 4 << 1 << 3 << 1 << "s1" << QStringList { playlist };
    QTest::newRow("nothing current") << loop << 3 << -1 << 0 << -1 << "" << QStringList { playlist };
    QTest::newRow("index too large") << loop << 3 << 1 << 3 << 1 << "s1" << QStringList {};
    QTest::newRow("negative index") << loop << 3 << 1 << -1 << 1 << "s1" << QStringList {};
}

void TestMusicPlayer::removeFromPlaylist()
{
    QFETCH(int, mode);
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(int, removed);
    QFETCH(int, expectedIndex);
    QFETCH(QString, expectedTitle);
    QFETCH(QStringList, expectedEvents);

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::PlayMode(mode));
    player.setPlaylist(localSongs(count, m_longWav));
    if (current >= 0)
        player.play(current);

    SignalTrace trace(&player);
    player.removeFromPlaylist(removed);

    QCOMPARE(trace.events, expectedEvents);
    QCOMPARE(player.playlist().size(), expectedEvents.isEmpty() ? count : count - 1);
    QCOMPARE(player.currentIndex(), expectedIndex);
    QCOMPARE(player.currentSong().title, expectedTitle);
}

void TestMusicPlayer::removeOnlyEntry()
{
    MusicPlayer player;
    player.setPlaylist(localSongs(1, m_longWav));
    player.play(0);
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);

    SignalTrace trace(&player);
    player.removeFromPlaylist(0);

    QCOMPARE(trace.events, (QStringList { QStringLiteral("song:<none>"), QStringLiteral("playlist") }));
    QCOMPARE(trace.songs.first().id, 0);
    QCOMPARE(player.currentIndex(), -1);
    QVERIFY(player.playlist().isEmpty());
    QVERIFY(!positionTimer(player)->isActive());
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::StoppedState);
}

void TestMusicPlayer::clearPlaylist()
{
    MusicPlayer player;
    player.setPlayMode(MusicPlayer::Shuffle);
    player.setPlaylist(localSongs(3, m_longWav));
    player.play(1);
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);

    SignalTrace trace(&player);
    player.clearPlaylist();

    QCOMPARE(trace.events, (QStringList { QStringLiteral("playlist"), QStringLiteral("song:<none>") }));
    QCOMPARE(player.currentIndex(), -1);
    QVERIFY(player.playlist().isEmpty());
    QVERIFY(player.shuffleOrder().isEmpty());
    QVERIFY(!positionTimer(player)->isActive());
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::StoppedState);
    player.next(); // nothing to do on an empty queue
    QCOMPARE(trace.events.size(), 2);
}

void TestMusicPlayer::setPlayModeAlwaysSignals()
{
    MusicPlayer player;
    QSignalSpy spy(&player, &MusicPlayer::playModeChanged);
    player.setPlayMode(MusicPlayer::ListLoop);
    player.setPlayMode(MusicPlayer::SingleLoop);
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(0).at(0).value<MusicPlayer::PlayMode>(), MusicPlayer::ListLoop);
    QCOMPARE(spy.at(1).at(0).value<MusicPlayer::PlayMode>(), MusicPlayer::SingleLoop);
    QCOMPARE(player.playMode(), MusicPlayer::SingleLoop);
}

void TestMusicPlayer::setVolume_data()
{
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("stored");

    QTest::newRow("above range") << 150 << 100;
    QTest::newRow("below range") << -5 << 0;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("full") << 100 << 100;
    QTest::newRow("inside") << 37 << 37;
}

void TestMusicPlayer::setVolume()
{
    QFETCH(int, input);
    QFETCH(int, stored);

    MusicPlayer player;
    player.setVolume(input);
    QCOMPARE(player.volume(), stored);
    QAudioOutput *output = player.findChild<QAudioOutput *>();
    QVERIFY(output);
    QCOMPARE(output->volume(), float(stored / 100.0));
}

void TestMusicPlayer::resolveSource_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("path"); // "@/" stands for the fixture folder
    QTest::addColumn<QStringList>("messages"); // debug lines in order; "@/" as above
    QTest::addColumn<QString>("playedPath"); // filePath of songChanged and of the queue entry
    QTest::addColumn<bool>("playable");

    const QString byId = QStringLiteral("通过 ID -1 检测到本地音乐");
    const QString byFile = QStringLiteral("通过文件存在检测到本地音乐");
    const QString byAbsolute = QStringLiteral("通过绝对路径检测到本地音乐");

    QTest::newRow("id -1, absolute existing file")
        << -1 << "@/short.wav" << QStringList { byId, byFile, byAbsolute, "播放本地文件: file://@/short.wav 标题: t" }
        << "@/short.wav" << true;
    // A catalogue song names a file on the server, even when the same path exists here.
    QTest::newRow("catalogue id, relative path that exists locally")
        << 5 << "rel/a.wav" << QStringList { "播放网络文件: http://127.0.0.1:9/music/rel/a.wav" } << "rel/a.wav"
        << false;
    QTest::newRow("id -1, missing relative file")
        << -1 << "rel/missing.wav" << QStringList { byId, "播放本地文件: file:rel/missing.wav 标题: t" }
        << "rel/missing.wav" << false;
    QTest::newRow("catalogue id, catalogue path")
        << 7 << "songs/a.mp3" << QStringList { "播放网络文件: http://127.0.0.1:9/music/songs/a.mp3" } << "songs/a.mp3"
        << false;
}

// Which test decides "local", and what URL results, observed through the debug lines.
void TestMusicPlayer::resolveSource()
{
    QFETCH(int, id);
    QFETCH(QString, path);
    QFETCH(QStringList, messages);
    QFETCH(QString, playedPath);
    QFETCH(bool, playable);

    const QString root = QDir(m_dir.path()).canonicalPath() + QLatin1Char('/');
    QVERIFY(QDir::setCurrent(root));
    path.replace(QStringLiteral("@/"), root);
    playedPath.replace(QStringLiteral("@/"), root);

    MusicPlayer player;
    player.setPlaylist({ makeSong(id, QStringLiteral("t"), path) });
    SignalTrace trace(&player);
    for (QString message : messages)
        QTest::ignoreMessage(QtDebugMsg, message.replace(QStringLiteral("@/"), root).toUtf8().constData());
    player.play(0);

    QCOMPARE(trace.songs.size(), 1);
    QCOMPARE(trace.songs.first().filePath, playedPath);
    QCOMPARE(player.playlist().first().filePath, playedPath);
    if (playable) {
        QTRY_VERIFY(player.duration() > 0);
        QVERIFY(trace.errors.isEmpty());
    } else {
        QTRY_COMPARE(trace.errors.size(), 1);
    }
}

void TestMusicPlayer::networkSongPlaysFromMediaBase_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("blank") << QStringLiteral("songs/a b.wav");
    // '#' and '?' are part of the file name, not a fragment or a query.
    QTest::newRow("hash and question mark") << QStringLiteral("songs/Track #1?.wav");
    // Valid escapes in a file name are part of the name: encoded once, not taken as encoding.
    QTest::newRow("percent escapes") << QStringLiteral("songs/%41%2e.wav");
    QTest::newRow("percent and non-ASCII") << QStringLiteral("歌曲/100% 好.wav");
}

void TestMusicPlayer::networkSongPlaysFromMediaBase()
{
    QFETCH(QString, path);
    QFile wav(m_shortWav);
    QVERIFY(wav.open(QIODevice::ReadOnly));
    TestHttpServer server;
    TestHttpServer::Response response;
    response.contentType = "audio/wav";
    response.body = wav.readAll();
    server.setRoute(QStringLiteral("/music/") + path, response);
    QVERIFY(server.start());
    qputenv("VELORA_SERVER_URL", server.baseUrl().toString().toUtf8());

    MusicPlayer player;
    player.setPlaylist({ makeSong(12, QStringLiteral("net"), path) });
    SignalTrace trace(&player);
    QTest::ignoreMessage(
        QtDebugMsg, qPrintable(QStringLiteral("播放网络文件: %1/music/%2").arg(server.baseUrl().toString(), path)));
    player.play(0);

    QCOMPARE(trace.titles(), QStringList { QStringLiteral("net") });
    QCOMPARE(trace.songs.first().filePath, path); // not rewritten
    QTRY_VERIFY(!server.requests().isEmpty());
    QCOMPARE(server.requests().first().url.path(QUrl::FullyDecoded), QStringLiteral("/music/") + path);
    QTRY_VERIFY(player.duration() > 0);
    QVERIFY(trace.errors.isEmpty());
}

void TestMusicPlayer::catalogueSongNeverLeavesMediaFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("system file") << QStringLiteral("/etc/passwd");
    QTest::newRow("device") << QStringLiteral("/dev/urandom");
    QTest::newRow("file URL") << QStringLiteral("file:///etc/passwd");
    QTest::newRow("other server") << QStringLiteral("http://example.invalid/a.wav");
    QTest::newRow("drive") << QStringLiteral("C:/music/a.wav");
    QTest::newRow("parent first") << QStringLiteral("../secret.wav");
    QTest::newRow("parent inside") << QStringLiteral("audio/../../etc/passwd");
    QTest::newRow("backslash parent") << QStringLiteral("audio\\..\\..\\x.wav");
}

// A catalogue entry is refused before anything is opened: no local file, no request.
void TestMusicPlayer::catalogueSongNeverLeavesMediaFolder()
{
    QFETCH(QString, path);
    TestHttpServer server;
    QVERIFY(server.start());
    qputenv("VELORA_SERVER_URL", server.baseUrl().toString().toUtf8());

    MusicPlayer player;
    player.setPlaylist({ makeSong(8, QStringLiteral("bad"), path) });
    SignalTrace trace(&player);
    QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("拒绝播放媒体文件夹之外的路径: ") + path));
    player.play(0);

    QCOMPARE(trace.errors, QStringList { QStringLiteral("歌曲路径不在服务器的媒体文件夹内: ") + path });
    QVERIFY(trace.songs.isEmpty());
    QTest::qWait(100); // a request or a local read would have started by now
    QVERIFY(server.requests().isEmpty());
    QCOMPARE(player.playbackState(), QMediaPlayer::StoppedState);
    QCOMPARE(trace.errors.size(), 1);
}

void TestMusicPlayer::startFailureMovesOn_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("reason");

    QTest::newRow("empty path") << QString() << QStringLiteral("歌曲文件路径为空") << int(MusicPlayer::NoAudioFile);
    // A leading "//" names a host: not a path in the media folder.
    QTest::newRow("host instead of a path")
        << QStringLiteral("//[x/y.wav") << QStringLiteral("歌曲路径不在服务器的媒体文件夹内: //[x/y.wav")
        << int(MusicPlayer::BadAddress);
}

// An entry that cannot even start is reported once and the queue moves on by itself.
void TestMusicPlayer::startFailureMovesOn()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFETCH(int, reason);

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::Sequential);
    QList<Song> songs = localSongs(4, m_longWav);
    songs[2].id = 4;
    songs[2].filePath = path;
    player.setPlaylist(songs);
    player.play(0);
    QTRY_VERIFY(player.position() > 0);

    SignalTrace trace(&player);
    player.play(2);

    QCOMPARE(trace.errors, QStringList { message });
    QCOMPARE(trace.failed, QStringList { QStringLiteral("s2") });
    QCOMPARE(trace.reasons, QList<MusicPlayer::Failure> { MusicPlayer::Failure(reason) });
    QVERIFY(trace.songs.isEmpty());
    QCOMPARE(player.currentIndex(), 2);

    QTRY_COMPARE(player.currentIndex(), 3);
    QCOMPARE(trace.titles(), QStringList { QStringLiteral("s3") });
    QTRY_COMPARE(trace.started, QStringList { QStringLiteral("s3") });
    QCOMPARE(trace.errors.size(), 1);
    QCOMPARE(trace.queueFailures, 0);
}

// Every start begins at 0, also for the entry that is already loaded.
void TestMusicPlayer::restartBeginsAtStart_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("pauseFirst");
    QTest::addColumn<int>("how"); // 0: play(-1), 1: next(), 2: play(0)

    QTest::newRow("resume after pause") << int(MusicPlayer::Sequential) << true << 0;
    QTest::newRow("play(-1) while playing") << int(MusicPlayer::ListLoop) << false << 0;
    QTest::newRow("single loop next") << int(MusicPlayer::SingleLoop) << false << 1;
    QTest::newRow("one-song list loop next") << int(MusicPlayer::ListLoop) << false << 1;
    QTest::newRow("play current index") << int(MusicPlayer::Shuffle) << true << 2;
}

void TestMusicPlayer::restartBeginsAtStart()
{
    QFETCH(int, mode);
    QFETCH(bool, pauseFirst);
    QFETCH(int, how);

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::PlayMode(mode));
    player.setPlaylist(localSongs(1, m_longWav));
    player.play(0);
    QTRY_VERIFY(player.position() >= 150);
    if (pauseFirst) {
        player.pause();
        QTRY_COMPARE(player.playbackState(), QMediaPlayer::PausedState);
        QVERIFY(!positionTimer(player)->isActive());
    }
    const qint64 reached = player.position();

    SignalTrace trace(&player);
    const QList<qint64> &positions = trace.positions;
    if (how == 0)
        player.play(-1);
    else if (how == 1)
        player.next();
    else
        player.play(0);

    QCOMPARE(trace.titles(), QStringList { QStringLiteral("s0") });
    QVERIFY(positionTimer(player)->isActive());
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);
    // Without a reload the player would carry on from where it was.
    QTRY_VERIFY(!positions.isEmpty());
    QVERIFY2(*std::min_element(positions.begin(), positions.end()) < reached,
        qPrintable(QStringLiteral("reached %1, then saw %2").arg(reached).arg(positions.first())));
    // A real reload announces the length again, as for any other start; the window's time
    // label waits for it after songChanged.
    QTRY_VERIFY(!trace.durations.isEmpty() && trace.durations.last() > 0);
    QVERIFY(trace.errors.isEmpty());
}

void TestMusicPlayer::endOfSongSingleLoopRestarts_data()
{
    QTest::addColumn<bool>("network");
    QTest::newRow("local file") << false;
    QTest::newRow("network song") << true;
}

void TestMusicPlayer::endOfSongSingleLoopRestarts()
{
    QFETCH(bool, network);

    TestHttpServer server;
    QList<Song> songs = localSongs(2, m_shortWav);
    if (network) {
        QFile wav(m_shortWav);
        QVERIFY(wav.open(QIODevice::ReadOnly));
        TestHttpServer::Response response;
        response.contentType = "audio/wav";
        response.body = wav.readAll();
        server.setRoute(QStringLiteral("/music/loop.wav"), response);
        QVERIFY(server.start());
        qputenv("VELORA_SERVER_URL", server.baseUrl().toString().toUtf8());
        songs[1] = makeSong(21, QStringLiteral("s1"), QStringLiteral("loop.wav"));
    }

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::SingleLoop);
    player.setPlaylist(songs);
    player.play(1);
    QTRY_VERIFY(player.duration() > 0);

    SignalTrace trace(&player);
    const QList<QMediaPlayer::PlaybackState> &states = trace.states;
    const QList<qint64> &positions = trace.positions;

    // The end stops the media player; the loop starts it again.
    QTRY_VERIFY(states.size() >= 2);
    QCOMPARE(states.at(0), QMediaPlayer::StoppedState);
    QCOMPARE(states.at(1), QMediaPlayer::PlayingState);
    // After reaching the end, the position goes back to the start.
    const qint64 length = player.duration();
    QTRY_VERIFY(std::find_if(positions.begin(), positions.end(), [&](qint64 p) { return p >= length - 20; })
        != positions.end());
    auto atEnd = std::find_if(positions.begin(), positions.end(), [&](qint64 p) { return p >= length - 20; });
    const int endIndex = int(atEnd - positions.begin());
    QTRY_VERIFY(std::any_of(positions.begin() + endIndex, positions.end(), [&](qint64 p) { return p < length / 2; }));

    QVERIFY(trace.songs.isEmpty());
    QCOMPARE(player.currentIndex(), 1);
    QVERIFY(positionTimer(player)->isActive());
    QVERIFY(trace.errors.isEmpty());
    // A second round shows the loop keeps going.
    QTRY_VERIFY(states.size() >= 4);
    QCOMPARE(states.at(3), QMediaPlayer::PlayingState);
    QVERIFY(trace.songs.isEmpty());
}

void TestMusicPlayer::endOfSongMovesOn_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("expected");

    QTest::newRow("sequential") << int(MusicPlayer::Sequential) << 0 << 1;
    QTest::newRow("list loop wraps") << int(MusicPlayer::ListLoop) << 1 << 0;
    QTest::newRow("shuffle") << int(MusicPlayer::Shuffle) << 0 << 1;
}

void TestMusicPlayer::endOfSongMovesOn()
{
    QFETCH(int, mode);
    QFETCH(int, start);
    QFETCH(int, expected);

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::PlayMode(mode));
    QList<Song> songs = localSongs(2, m_shortWav);
    songs[1].filePath = m_longWav; // the second entry outlasts the test's checks
    if (start == 1)
        std::swap(songs[0].filePath, songs[1].filePath);
    player.setPlaylist(songs);
    player.play(start);
    // Drawn with entry 0 current, the order of two entries can only be {1, 0}.
    if (mode == MusicPlayer::Shuffle) {
        player.setPlayMode(MusicPlayer::Shuffle);
        QCOMPARE(player.shuffleOrder(), (QList<int> { 1, 0 }));
    }

    SignalTrace trace(&player);
    QTRY_COMPARE(trace.songs.size(), 1);
    QCOMPARE(trace.titles(), QStringList { QStringLiteral("s%1").arg(expected) });
    QCOMPARE(player.currentIndex(), expected);
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);
    QVERIFY(positionTimer(player)->isActive());
    QVERIFY(trace.errors.isEmpty());
}

void TestMusicPlayer::endOfQueueSequentialStops()
{
    MusicPlayer player;
    player.setPlayMode(MusicPlayer::Sequential);
    player.setPlaylist(localSongs(2, m_shortWav));
    player.play(0);

    SignalTrace trace(&player);
    QTRY_COMPARE(trace.songs.size(), 1);
    QCOMPARE(trace.titles(), QStringList { QStringLiteral("s1") });
    QTRY_COMPARE(player.currentIndex(), -1);
    QVERIFY(!positionTimer(player)->isActive());
    QCOMPARE(player.playbackState(), QMediaPlayer::StoppedState);
    QCOMPARE(trace.songs.size(), 1);
    QVERIFY(trace.errors.isEmpty());

    // After running off the end, previous() starts from the first entry again.
    player.previous();
    QCOMPARE(player.currentIndex(), 0);
}

void TestMusicPlayer::mediaErrorReportedOnceAndMovesOn_data()
{
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("reason");

    QTest::newRow("missing local file") << false << m_dir.filePath(QStringLiteral("gone.wav"))
                                        << int(MusicPlayer::Missing);
    QTest::newRow("damaged local file") << false << m_dir.filePath(QStringLiteral("damaged.wav"))
                                        << int(MusicPlayer::Unreadable);
    QTest::newRow("HTTP 404") << true << QStringLiteral("songs/none.wav") << int(MusicPlayer::Unreachable);
}

void TestMusicPlayer::mediaErrorReportedOnceAndMovesOn()
{
    QFETCH(bool, network);
    QFETCH(QString, path);
    QFETCH(int, reason);

    QFile damaged(m_dir.filePath(QStringLiteral("damaged.wav")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();

    TestHttpServer server;
    if (network) {
        QVERIFY(server.start());
        qputenv("VELORA_SERVER_URL", server.baseUrl().toString().toUtf8());
    }

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::Sequential);
    player.setPlaylist(
        { makeSong(network ? 9 : -1, QStringLiteral("bad"), path), makeSong(-1, QStringLiteral("good"), m_longWav) });
    player.setVolume(37);
    QPointer<QMediaPlayer> failedBackend = player.findChild<QMediaPlayer *>();
    QVERIFY(failedBackend);
    SignalTrace trace(&player);
    player.play(0);
    QCOMPARE(trace.titles(), QStringList { QStringLiteral("bad") });
    QTRY_COMPARE(trace.errors.size(), 1);
    QVERIFY(!trace.errors.first().isEmpty());
    QCOMPARE(trace.failed, QStringList { QStringLiteral("bad") });
    QCOMPARE(trace.reasons, QList<MusicPlayer::Failure> { MusicPlayer::Failure(reason) });
    // The failed backend is not reused (stopping or reloading it blocks for a second) but
    // replaced, and the replacement plays at the volume the user set.
    QTRY_VERIFY(!failedBackend);
    QCOMPARE(player.findChildren<QMediaPlayer *>().size(), 1);
    QCOMPARE(player.findChild<QAudioOutput *>()->volume(), 0.37f);
    if (network)
        QVERIFY(!server.requests().isEmpty());

    // The queue moves on by itself; Qt's repeats of the failure reach nobody, and the next
    // entry is not taken for failed by them.
    QTRY_COMPARE(trace.titles(), (QStringList { QStringLiteral("bad"), QStringLiteral("good") }));
    QCOMPARE(player.currentIndex(), 1);
    QTRY_COMPARE(trace.started, QStringList { QStringLiteral("good") });
    QCOMPARE(trace.errors.size(), 1);
    QCOMPARE(trace.failed.size(), 1);
    QCOMPARE(player.playlist().size(), 2);

    // A later start of the bad entry gets its own, separate report.
    player.play(0);
    QTRY_COMPARE(trace.errors.size(), 2);
}

void TestMusicPlayer::failingQueueStopsOnce_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("list loop") << int(MusicPlayer::ListLoop);
    QTest::newRow("single loop") << int(MusicPlayer::SingleLoop);
    QTest::newRow("shuffle") << int(MusicPlayer::Shuffle);
}

// A server that went away: every entry fails in turn, each once, then playback stops with one
// report instead of going round the queue for ever.
void TestMusicPlayer::failingQueueStopsOnce()
{
    QFETCH(int, mode);

    // Nothing listens on the discard port.
    qputenv("VELORA_SERVER_URL", QByteArray("http://127.0.0.1:9"));

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::PlayMode(mode));
    player.setPlaylist({ makeSong(1, QStringLiteral("a"), QStringLiteral("a.wav")),
        makeSong(2, QStringLiteral("b"), QStringLiteral("b.wav")),
        makeSong(3, QStringLiteral("c"), QStringLiteral("c.wav")) });
    SignalTrace trace(&player);
    player.play(0);

    QTRY_COMPARE_WITH_TIMEOUT(trace.queueFailures, 1, 10000);
    // Shuffle may draw an entry twice before it has drawn them all; each counts once.
    QStringList failed = trace.failed;
    failed.removeDuplicates();
    failed.sort();
    QCOMPARE(failed, (QStringList { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") }));
    QCOMPARE(player.currentIndex(), -1);
    QVERIFY(!positionTimer(player)->isActive());
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::StoppedState);
    QVERIFY(trace.started.isEmpty());
    // Nothing more comes: no second round, no second report.
    const qsizetype reports = trace.failed.size();
    QTest::qWait(500);
    QCOMPARE(trace.queueFailures, 1);
    QCOMPARE(trace.failed.size(), reports);
}

// Play after pause continues at the paused position: no new start, no new announcement.
void TestMusicPlayer::resumeContinuesWherePaused()
{
    MusicPlayer player;
    player.setPlaylist(localSongs(2, m_longWav));
    player.play(1);
    QTRY_VERIFY(player.position() >= 150);
    player.pause();
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PausedState);
    const qint64 reached = player.position();

    SignalTrace trace(&player);
    player.resume();
    QVERIFY(positionTimer(player)->isActive());
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);
    QTRY_VERIFY(player.position() > reached);
    // Nothing went back towards the start (a reload would report positions from 0).
    for (qint64 position : trace.positions)
        QVERIFY2(position >= reached - 20, qPrintable(QStringLiteral("%1 after %2").arg(position).arg(reached)));
    QCOMPARE(player.currentIndex(), 1);
    QVERIFY(trace.songs.isEmpty());
    QVERIFY(trace.started.isEmpty());

    // Not paused: resume starts as play(-1) does.
    player.stop();
    player.resume();
    QCOMPARE(trace.titles(), QStringList { QStringLiteral("s0") });
    QTRY_COMPARE(trace.started, QStringList { QStringLiteral("s0") });
}

void TestMusicPlayer::songStartedOncePerStart_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("expected"); // songStarted titles after the first start

    QTest::newRow("single loop end restarts") << int(MusicPlayer::SingleLoop) << "end" << QStringList { "s0" };
    QTest::newRow("end moves on") << int(MusicPlayer::Sequential) << "end" << QStringList { "s1" };
    QTest::newRow("user restart") << int(MusicPlayer::Sequential) << "restart" << QStringList { "s0" };
    QTest::newRow("pause and resume") << int(MusicPlayer::Sequential) << "resume" << QStringList {};
}

void TestMusicPlayer::songStartedOncePerStart()
{
    QFETCH(int, mode);
    QFETCH(QString, how);
    QFETCH(QStringList, expected);

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::PlayMode(mode));
    QList<Song> songs = localSongs(2, how == QLatin1String("end") ? m_shortWav : m_longWav);
    songs[1].filePath = m_longWav;
    player.setPlaylist(songs);
    SignalTrace trace(&player);
    player.play(0);
    QTRY_COMPARE(trace.started, QStringList { QStringLiteral("s0") });
    trace.started.clear();

    if (how == QLatin1String("restart")) {
        player.play(-1);
    } else if (how == QLatin1String("resume")) {
        player.pause();
        QTRY_COMPARE(player.playbackState(), QMediaPlayer::PausedState);
        player.resume();
        QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);
        player.pause();
        QTRY_COMPARE(player.playbackState(), QMediaPlayer::PausedState);
        player.resume();
    }
    if (expected.isEmpty()) {
        const qint64 from = player.position();
        QTRY_VERIFY(player.position() > from + 100);
    } else {
        QTRY_COMPARE(trace.started, expected);
    }
    QCOMPARE(trace.started, expected);
}

void TestMusicPlayer::playNext_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("moved");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<int>("expectedCurrent");

    QTest::newRow("from behind") << 1 << 4 << QStringList { "s0", "s1", "s4", "s2", "s3" } << 1;
    QTest::newRow("from before") << 3 << 0 << QStringList { "s1", "s2", "s3", "s0", "s4" } << 2;
    QTest::newRow("already next") << 1 << 2 << QStringList { "s0", "s1", "s2", "s3", "s4" } << 1;
    QTest::newRow("nothing current") << -1 << 3 << QStringList { "s3", "s0", "s1", "s2", "s4" } << -1;
    QTest::newRow("the current one") << 2 << 2 << QStringList { "s0", "s1", "s2", "s3", "s4" } << 2;
    QTest::newRow("out of range") << 2 << 5 << QStringList { "s0", "s1", "s2", "s3", "s4" } << 2;
}

void TestMusicPlayer::playNext()
{
    QFETCH(int, current);
    QFETCH(int, moved);
    QFETCH(QStringList, order);
    QFETCH(int, expectedCurrent);

    MusicPlayer player;
    player.setPlayMode(MusicPlayer::ListLoop);
    player.setPlaylist(localSongs(5, m_longWav));
    if (current >= 0)
        player.play(current);
    const QString playing = player.currentSong().title;
    SignalTrace trace(&player);
    player.playNext(moved);

    QStringList titles;
    for (const Song &song : player.playlist())
        titles.append(song.title);
    QCOMPARE(titles, order);
    QCOMPARE(player.currentIndex(), expectedCurrent);
    QCOMPARE(player.currentSong().title, playing);
    QVERIFY(trace.songs.isEmpty());
    // Next really is the moved entry.
    if (moved != current && moved < 5) {
        player.next();
        QCOMPARE(player.currentSong().title, QStringLiteral("s%1").arg(moved));
    }

    // In Shuffle the entry goes to the front of the order; the list stays as it is.
    player.setPlayMode(MusicPlayer::Shuffle);
    const QList<Song> before = player.playlist();
    const int target = (player.currentIndex() + 2) % 5;
    player.playNext(target);
    QCOMPARE(player.shuffleOrder().first(), target);
    QCOMPARE(player.shuffleOrder().count(target), 1);
    QCOMPARE(player.playlist().size(), before.size());
    player.next();
    QCOMPARE(player.currentIndex(), target);
}

void TestMusicPlayer::positionAndDurationForwarded()
{
    MusicPlayer player;
    QSignalSpy durations(&player, &MusicPlayer::durationChanged);
    QSignalSpy positions(&player, &MusicPlayer::positionChanged);
    QSignalSpy states(&player, &MusicPlayer::playbackStateChanged);
    player.setPlaylist(localSongs(1, m_longWav));
    player.play(0);

    QTRY_VERIFY(!durations.isEmpty());
    const qint64 length = durations.last().at(0).toLongLong();
    QVERIFY2(qAbs(length - LongMs) <= 50, qPrintable(QString::number(length)));
    QCOMPARE(player.duration(), length);
    QTRY_VERIFY(positions.size() >= 3);
    QTRY_VERIFY(!states.isEmpty());
    QCOMPARE(states.first().at(0).value<QMediaPlayer::PlaybackState>(), QMediaPlayer::PlayingState);

    player.pause();
    QVERIFY(!positionTimer(player)->isActive());
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PausedState);
    player.stop();
    QCOMPARE(player.currentIndex(), -1);
    QVERIFY(!positionTimer(player)->isActive());
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::StoppedState);
}

// The owner's slots may already be half torn down when its child player is destroyed.
void TestMusicPlayer::destructionIsSilent()
{
    int emitted = 0;
    QObject context;
    auto *player = new MusicPlayer;
    player->setPlaylist(localSongs(1, m_longWav));
    player->play(0);
    QTRY_COMPARE(player->playbackState(), QMediaPlayer::PlayingState);
    QTRY_VERIFY(player->position() > 0);
    connect(player, &MusicPlayer::playbackStateChanged, &context, [&emitted]() { ++emitted; });
    connect(player, &MusicPlayer::positionChanged, &context, [&emitted]() { ++emitted; });
    connect(player, &MusicPlayer::songChanged, &context, [&emitted]() { ++emitted; });
    connect(player, &MusicPlayer::error, &context, [&emitted]() { ++emitted; });
    delete player;
    QCOMPARE(emitted, 0);
}

QTEST_MAIN(TestMusicPlayer)
#include "tst_musicplayer.moc"
