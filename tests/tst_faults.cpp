// Faults from outside: a catalogue server that fails in every way, a media stream cut short,
// broken audio files, folders that cannot be read or loop back, a broken or unwritable settings
// store, and a window closed in the middle of a scan. Each case checks that the program keeps
// working, says what went wrong and loses nothing it had.
#include "localmusicmanager.h"
#include "mainwindow.h"
#include "modalboxcloser.h"
#include "musicplayer.h"
#include "prefs_windowkit.h"
#include "testhttpserver.h"
#include "wavwriter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>
#include <QTest>
#include <QRegularExpression>
#include <QUrlQuery>

#include <unistd.h>

#include <memory>

namespace {

const QString EmptyCatalogueWarning = QStringLiteral("警告: 歌曲数据为空，请检查网络连接或刷新重试");
const QString MusicFilesKey = QStringLiteral("localMusic/musicFiles");

// What the catalogue answers to "getSongs" while a fault is on.
enum class Fault { None, Status500, Garbage, NoAnswer, DiesMidBody };

QByteArray songsJson(int count)
{
    QJsonArray songs;
    for (int i = 1; i <= count; ++i) {
        songs.append(QJsonObject { { QStringLiteral("id"), i }, { QStringLiteral("album_id"), 1 },
            { QStringLiteral("title"), QStringLiteral("Song %1").arg(i) },
            { QStringLiteral("artist"), QStringLiteral("Band") }, { QStringLiteral("duration"), 1 },
            { QStringLiteral("file_path"), QStringLiteral("audio/%1.wav").arg(i) } });
    }
    return QJsonDocument(QJsonObject { { QStringLiteral("songs"), songs } }).toJson(QJsonDocument::Compact);
}

QString settingsFile()
{
    return QSettings(QStringLiteral("Velora"), QStringLiteral("VeloraPlayer")).fileName();
}

QStringList storedPaths()
{
    QSettings settings(QStringLiteral("Velora"), QStringLiteral("VeloraPlayer"));
    QStringList paths;
    for (const QVariant &entry : settings.value(MusicFilesKey).toList())
        paths.append(entry.toMap().value(QStringLiteral("filePath")).toString());
    return paths;
}

bool isRoot()
{
    return ::geteuid() == 0;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void catalogueFaultDuringLoad_data();
    void catalogueFaultDuringLoad();
    void mediaStreamStopsHalfWay();
    void corruptAudioFilesAreListedAndSkippedInPlay();
    void unreadableFolderIsSkipped();
    void folderLinkBackIntoTheTree();
    void corruptSettingsFile();
    void unwritableSettingsFolder();
    void windowClosedWhileScanning();

private:
    TestHttpServer::Response answer(const TestHttpServer::Request &request);
    MainWindow *openWindow();
    bool scanInto(MainWindow &window, const QString &folder);

    QTemporaryDir m_dir;
    QString m_audioDir; // the songs the server streams
    TestHttpServer m_server;
    Fault m_fault = Fault::None;
    bool m_cutMedia = false; // media answers stop half way
    std::unique_ptr<ModalBoxCloser> m_closer;
    std::unique_ptr<MainWindow> m_window;
};

void TestFaults::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velora"));
    QCoreApplication::setApplicationName(QStringLiteral("VeloraPlayer"));
    QVERIFY(m_dir.isValid());
    m_audioDir = m_dir.filePath(QStringLiteral("served"));
    QVERIFY(QDir().mkpath(m_audioDir));
    for (int i = 1; i <= 3; ++i)
        QVERIFY(writeWav(m_audioDir + QStringLiteral("/%1.wav").arg(i), 300));
    m_server.setHandler([this](const TestHttpServer::Request &request) { return answer(request); });
    QVERIFY(m_server.start());
    qputenv("VELORA_SERVER_URL", m_server.baseUrl().toString().toUtf8());
    // A server that never answers must not hold a load for the default half minute.
    qputenv("VELORA_SERVER_TIMEOUT_MS", "400");
}

void TestFaults::init()
{
    WindowKit::clearSettings();
    m_fault = Fault::None;
    m_cutMedia = false;
    m_closer = std::make_unique<ModalBoxCloser>();
    m_closer->setAnswer(QMessageBox::Yes);
    m_closer->start();
}

void TestFaults::cleanup()
{
    m_window.reset();
    m_closer.reset();
    // A test may have blocked the settings folder; the next one needs it back.
    const QString folder = QFileInfo(settingsFile()).path();
    if (QFileInfo(folder).isFile())
        QFile::remove(folder);
}

TestHttpServer::Response TestFaults::answer(const TestHttpServer::Request &request)
{
    const QString action = QUrlQuery(request.url).queryItemValue(QStringLiteral("action"));
    const QString path = request.url.path();
    if (path.startsWith(QLatin1String("/music/audio/"))) {
        TestHttpServer::Response media
            = TestHttpServer::file(m_audioDir + QLatin1Char('/') + path.section(QLatin1Char('/'), -1), "audio/wav");
        media.closeEarly = m_cutMedia;
        media.honourRange = false;
        return media;
    }
    if (action == QLatin1String("getAlbums"))
        return TestHttpServer::json(R"({"albums":[{"id":1,"name":"Album","artist":"Band","song_count":3}]})");
    if (action != QLatin1String("getSongs"))
        return TestHttpServer::json("[]");

    TestHttpServer::Response songs = TestHttpServer::json(songsJson(3));
    switch (m_fault) {
    case Fault::None:
        break;
    case Fault::Status500:
        songs.status = 500;
        songs.body = R"({"error":"database down"})";
        break;
    case Fault::Garbage:
        songs.body = "<html>\x01\xff{\"songs\":[{\"id\":";
        break;
    case Fault::NoAnswer:
        songs.noAnswer = true;
        break;
    case Fault::DiesMidBody:
        songs.closeEarly = true;
        break;
    }
    return songs;
}

MainWindow *TestFaults::openWindow()
{
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    return m_window.get();
}

bool TestFaults::scanInto(MainWindow &window, const QString &folder)
{
    auto *manager = window.findChild<LocalMusicManager *>();
    QSignalSpy finished(manager, &LocalMusicManager::scanFinished);
    window.setFolderChooser([folder](QWidget *) { return folder; });
    QMetaObject::invokeMethod(&window, "selectMusicFolder");
    return finished.count() > 0 || finished.wait(20000);
}

// ---- The catalogue server ----

void TestFaults::catalogueFaultDuringLoad_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("warning"); // pattern of the message that says what failed
    QTest::newRow("answers 500") << Fault::Status500
                                 << QStringLiteral("^服务器 http://127.0.0.1:\\d+ 返回错误状态 500");
    QTest::newRow("answers garbage") << Fault::Garbage
                                     << QStringLiteral("^http://127.0.0.1:\\d+ 的回复不是音乐目录数据");
    QTest::newRow("never answers") << Fault::NoAnswer << QStringLiteral("^服务器 .* 秒没有响应");
    QTest::newRow("dies in the middle of the body") << Fault::DiesMidBody << QStringLiteral("^无法连接服务器 ");
}

// A refresh hits a failing server while a song from the earlier load plays: the user is told,
// the queue and the song play on, and the next refresh after the server is back fills the pages.
void TestFaults::catalogueFaultDuringLoad()
{
    QFETCH(Fault, fault);
    QFETCH(QString, warning);
    MainWindow *window = openWindow();
    auto *songsList = window->findChild<QListWidget *>(QStringLiteral("allSongsList"));
    auto *player = window->findChild<MusicPlayer *>();
    QTRY_COMPARE(songsList->count(), 3);

    QList<Song> queue;
    for (const QJsonValue &row :
        QJsonDocument::fromJson(songsJson(3)).object().value(QStringLiteral("songs")).toArray())
        queue.append(Song::fromJson(row.toObject()));
    player->setPlaylist(queue);
    player->setPlayMode(MusicPlayer::ListLoop);
    player->play(0);

    m_closer->clear();
    m_fault = fault;
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("logo")), Qt::LeftButton);
    const QRegularExpression said(warning);
    // Said on the page, with a Retry button, not in a box.
    auto *notice = window->findChild<QLabel *>(QStringLiteral("songsNoticeText"));
    QTRY_VERIFY2_WITH_TIMEOUT(said.match(notice->text()).hasMatch(), qPrintable(notice->text()), 10000);
    QVERIFY(!m_closer->texts().contains(EmptyCatalogueWarning));
    QVERIFY(m_closer->texts().filter(said).isEmpty());
    QVERIFY(said.match(window->findChild<QLabel *>(QStringLiteral("statusBar"))->text()).hasMatch());
    QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(songsList->count(), 0);
    QCOMPARE(player->playlist().size(), 3);
    QCOMPARE(window->findChild<QListWidget *>(QStringLiteral("playlistList"))->count(), 3);

    m_fault = Fault::None;
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("logo")), Qt::LeftButton);
    QTRY_COMPARE(songsList->count(), 3);
    QTRY_COMPARE(window->findChild<QLabel *>(QStringLiteral("statusBar"))->text(), QStringLiteral("加载了 3 首歌曲"));
}

// The connection drops after half of a song: the player either ends that song or reports it
// once, and the next song still plays.
void TestFaults::mediaStreamStopsHalfWay()
{
    MusicPlayer player;
    QSignalSpy errors(&player, &MusicPlayer::error);
    QList<Song> queue;
    for (const QJsonValue &row :
        QJsonDocument::fromJson(songsJson(2)).object().value(QStringLiteral("songs")).toArray())
        queue.append(Song::fromJson(row.toObject()));
    player.setPlaylist(queue);

    m_cutMedia = true;
    player.play(0);
    // Either way out is fine: an error for the cut stream, or the end of what arrived and on.
    QTRY_VERIFY_WITH_TIMEOUT(
        errors.count() > 0 || player.currentIndex() == 1 || player.playbackState() == QMediaPlayer::StoppedState,
        10000);
    QVERIFY(errors.count() <= 1);

    m_cutMedia = false;
    player.play(1);
    QTRY_COMPARE_WITH_TIMEOUT(player.playbackState(), QMediaPlayer::PlayingState, 10000);
    QCOMPARE(player.currentSong().id, 2);
    QCOMPARE(player.playlist().size(), 2);
}

// ---- Local files and folders ----

// Files with a supported name but no audio inside are listed under their file names; playing
// one reports a single error, and the good file after it plays.
void TestFaults::corruptAudioFilesAreListedAndSkippedInPlay()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QFile garbage(folder.filePath(QStringLiteral("broken.mp3")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(char((i * 7919) ^ (i >> 3)));
    garbage.write(noise);
    garbage.close();
    QFile empty(folder.filePath(QStringLiteral("empty.flac")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QFile header(folder.filePath(QStringLiteral("header-only.wav")));
    QVERIFY(header.open(QIODevice::WriteOnly));
    header.write("RIFF\xff\xff\xff\x7fWAVEfmt ");
    header.close();
    QVERIFY(writeWav(folder.filePath(QStringLiteral("good.wav")), 200));

    LocalMusicManager manager;
    QSignalSpy finished(&manager, &LocalMusicManager::scanFinished);
    manager.startScan(folder.path());
    QVERIFY(finished.count() > 0 || finished.wait(20000));
    QCOMPARE(finished.first().first().toInt(), 4);

    QList<Song> queue;
    QStringList titles;
    for (const LocalMusicFile &file : manager.musicFiles()) {
        titles.append(file.title);
        if (file.fileName != QLatin1String("good.wav"))
            QCOMPARE(file.duration, 0);
        queue.append(file.toSong());
    }
    titles.sort();
    QCOMPARE(titles,
        QStringList({ QStringLiteral("broken"), QStringLiteral("empty"), QStringLiteral("good"),
            QStringLiteral("header-only") }));

    MusicPlayer player;
    QSignalSpy errors(&player, &MusicPlayer::error);
    player.setPlaylist(queue);
    const auto indexOf = [&](const QString &name) {
        for (int i = 0; i < queue.size(); ++i) {
            if (queue.at(i).filePath.endsWith(name))
                return i;
        }
        return -1;
    };
    player.play(indexOf(QStringLiteral("broken.mp3")));
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 10000);
    QVERIFY(!errors.first().first().toString().isEmpty());
    QTest::qWait(200); // repeated reports of the same source would arrive now
    QCOMPARE(errors.count(), 1);

    player.play(indexOf(QStringLiteral("good.wav")));
    QTRY_COMPARE_WITH_TIMEOUT(player.playbackState(), QMediaPlayer::PlayingState, 10000);
    QCOMPARE(player.playlist().size(), 4);
}

void TestFaults::unreadableFolderIsSkipped()
{
    if (isRoot())
        QSKIP("permissions do not bind the superuser");
    QTemporaryDir folder;
    QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("locked"))));
    QVERIFY(writeWav(folder.filePath(QStringLiteral("locked/hidden.wav")), 100));
    QVERIFY(writeWav(folder.filePath(QStringLiteral("open.wav")), 100));
    QFile::setPermissions(folder.filePath(QStringLiteral("locked")), QFileDevice::Permissions());

    LocalMusicManager manager;
    QSignalSpy finished(&manager, &LocalMusicManager::scanFinished);
    manager.startScan(folder.path());
    const bool done = finished.count() > 0 || finished.wait(20000);
    QFile::setPermissions(folder.filePath(QStringLiteral("locked")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(done);
    QCOMPARE(manager.musicFiles().size(), 1);
    QCOMPARE(manager.musicFiles().first().fileName, QStringLiteral("open.wav"));
    QVERIFY(!manager.isScanning());
}

// Links that lead back up the tree or sideways into it: every file is found exactly once and
// the scan ends.
void TestFaults::folderLinkBackIntoTheTree()
{
    QTemporaryDir folder;
    QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("a/b"))));
    QVERIFY(writeWav(folder.filePath(QStringLiteral("top.wav")), 100));
    QVERIFY(writeWav(folder.filePath(QStringLiteral("a/b/deep.wav")), 100));
    QVERIFY(QFile::link(folder.path(), folder.filePath(QStringLiteral("a/b/up"))));
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("a")), folder.filePath(QStringLiteral("side"))));
    QVERIFY(
        QFile::link(folder.filePath(QStringLiteral("a/b/deep.wav")), folder.filePath(QStringLiteral("a/same.wav"))));
    // A link to itself and one to nowhere cannot be followed at all.
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("self")), folder.filePath(QStringLiteral("self"))));
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("gone")), folder.filePath(QStringLiteral("dangling.wav"))));

    LocalMusicManager manager;
    QSignalSpy finished(&manager, &LocalMusicManager::scanFinished);
    manager.startScan(folder.path());
    QVERIFY(finished.count() > 0 || finished.wait(20000));
    QStringList names;
    for (const LocalMusicFile &file : manager.musicFiles())
        names.append(file.fileName);
    names.sort();
    // The file link is a file of its own; the folder links add nothing.
    QCOMPARE(names, QStringList({ QStringLiteral("deep.wav"), QStringLiteral("same.wav"), QStringLiteral("top.wav") }));
}

// ---- Settings ----

// Binary junk, a cut-off line and values of the wrong type: the window starts with defaults
// where needed, and a library scanned afterwards is stored and restored.
void TestFaults::corruptSettingsFile()
{
    const QString file = settingsFile();
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    QFile conf(file);
    QVERIFY(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
    static const char junk[]
        = "\x00\xff\xfe[localMusic]\nmusicFiles=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1fgarbage\n"
          "fileCount=lots\nscanPath=\n[settings\ndarkMode=@Invalid()\nlanguage=\x01\x02\n\xc3(\n=\n[=]\n";
    conf.write(junk, sizeof(junk) - 1);
    conf.close();

    QTemporaryDir folder;
    QVERIFY(writeWav(folder.filePath(QStringLiteral("one.wav")), 100));
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *local = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
        QCOMPARE(local->count(), 0);
        QVERIFY(scanInto(window, folder.path()));
        QTRY_COMPARE(local->count(), 1);
    }
    QCOMPARE(storedPaths(), QStringList(folder.filePath(QStringLiteral("one.wav"))));
    MainWindow again;
    QTRY_COMPARE(again.findChild<QListWidget *>(QStringLiteral("localMusicList"))->count(), 1);
}

// The settings cannot be written (their folder is taken by a file): the scan still fills the
// page, the user hears that the library could not be stored, and nothing stored before is lost.
void TestFaults::unwritableSettingsFolder()
{
    QTemporaryDir folder;
    QVERIFY(writeWav(folder.filePath(QStringLiteral("one.wav")), 100));
    const QString settingsFolder = QFileInfo(settingsFile()).path();
    QVERIFY(QDir(settingsFolder).removeRecursively());
    QFile blocker(settingsFolder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    MainWindow window;
    window.show();
    auto *local = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    m_closer->clear();
    QVERIFY(scanInto(window, folder.path()));
    QTRY_COMPARE(local->count(), 1);
    QTRY_VERIFY(!m_closer->texts().filter(QStringLiteral("无法保存")).isEmpty());
    QVERIFY2(QFileInfo(settingsFolder).isFile(), "the blocker must still be there");
}

// The user quits while a scan runs: the window goes without a crash, and the library stored
// before that scan is still stored whole (a part of the new scan replaces nothing).
void TestFaults::windowClosedWhileScanning()
{
    QTemporaryDir before;
    QVERIFY(writeWav(before.filePath(QStringLiteral("kept.wav")), 100));
    QTemporaryDir big;
    for (int i = 0; i < 300; ++i)
        QVERIFY(writeWav(big.filePath(QStringLiteral("song%1.wav").arg(i, 3, 10, QLatin1Char('0'))), 50));
    {
        MainWindow window;
        QVERIFY(scanInto(window, before.path()));
    }
    QCOMPARE(storedPaths(), QStringList(before.filePath(QStringLiteral("kept.wav"))));

    auto *window = new MainWindow;
    window->show();
    auto *manager = window->findChild<LocalMusicManager *>();
    QSignalSpy progress(manager, &LocalMusicManager::scanProgress);
    window->setFolderChooser([&](QWidget *) { return big.path(); });
    // Stop waiting from the progress signal itself: polling can miss a scan this short.
    QEventLoop wait;
    connect(manager, &LocalMusicManager::scanProgress, &wait, [&] {
        if (progress.count() > 3)
            wait.quit();
    });
    QTimer::singleShot(20000, &wait, &QEventLoop::quit);
    QMetaObject::invokeMethod(window, "selectMusicFolder");
    wait.exec();
    QVERIFY(progress.count() > 3);
    QVERIFY(manager->isScanning());
    window->close(); // the exit question is answered with yes
    delete window;

    QCOMPARE(storedPaths(), QStringList(before.filePath(QStringLiteral("kept.wav"))));
    // The next start shows that library again.
    MainWindow again;
    QTRY_COMPARE(again.findChild<QListWidget *>(QStringLiteral("localMusicList"))->count(), 1);
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
