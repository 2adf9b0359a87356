#include "localmusicmanager.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QString dataFile(const QString &name)
{
    return QStringLiteral(VELORA_TEST_DATA_DIR "/local/") + name;
}

// Copies a shipped test file to root/relativePath, making the folders on the way.
bool place(const QString &root, const QString &relativePath, const QString &source = QStringLiteral("tagged.mp3"))
{
    const QString target = QDir(root).filePath(relativePath);
    QDir().mkpath(QFileInfo(target).absolutePath());
    return QFile::copy(dataFile(source), target);
}

bool writeText(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// Every signal of the manager as one line, in the order of emission.
class SignalLog : public QObject
{
public:
    explicit SignalLog(LocalMusicManager *manager)
        : QObject(manager)
    {
        connect(manager, &LocalMusicManager::scanStarted, this, [this] { lines << QStringLiteral("started"); });
        connect(manager, &LocalMusicManager::scanProgress, this, [this](int current, int total, const QString &name) {
            lines << QStringLiteral("progress %1/%2").arg(current).arg(total);
            progressNames << name;
        });
        connect(manager, &LocalMusicManager::scanFinished, this,
            [this](int total) { lines << QStringLiteral("finished %1").arg(total); });
        connect(manager, &LocalMusicManager::scanError, this, [this, manager](const QString &error) {
            lines << QStringLiteral("error");
            errors << error;
            scanningDuringError = manager->isScanning();
        });
        connect(
            manager, &LocalMusicManager::musicListChanged, this, [this] { lines << QStringLiteral("listChanged"); });
    }

    QStringList lines;
    QStringList progressNames;
    QStringList errors;
    bool scanningDuringError = true;
};

QStringList fileNames(const QList<LocalMusicFile> &files)
{
    QStringList names;
    for (const LocalMusicFile &file : files)
        names << file.fileName;
    return names;
}

QStringList watchedFolders(const LocalMusicManager &manager)
{
    const auto *watcher = manager.findChild<QFileSystemWatcher *>();
    return watcher ? watcher->directories() : QStringList { QStringLiteral("<no watcher>") };
}

} // namespace

class TestLocalMusic : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void scanOfExampleFolder();
    void scanProcessesOneFilePerTurn();
    void walkIsBreadthFirst();
    void emptyFolder();
    void missingFolder();
    void secondScanWhileScanningOnlyMovesThePath();
    void newScanReplacesLibrary();
    void linkLoopsAreWalkedOnce();
    void rawAacGetsTagsThroughFallback();
    void destroyedMidScan();
    void destroyedDuringFallbackProbe();

    void isSupportedFile_data();
    void isSupportedFile();
    void supportedFormatsInOrder();
    void addMusicFile();
    void clearMusicList();
    void artistsAndAlbumsKeepOrderAndCase();
    void setScanPathRepointsWatcher();
    void toSong_data();
    void toSong();
    void formattedDuration_data();
    void formattedDuration();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString root() const { return m_dir->path(); }
};

void TestLocalMusic::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestLocalMusic::scanOfExampleFolder()
{
    QVERIFY(place(root(), QStringLiteral("A.MP3")));
    QVERIFY(place(root(), QStringLiteral("b.flac"), QStringLiteral("contributor.flac")));
    QVERIFY(writeText(QDir(root()).filePath(QStringLiteral("c.txt")), "text"));
    QVERIFY(writeText(QDir(root()).filePath(QStringLiteral("d")), "no extension"));
    QVERIFY(place(root(), QStringLiteral("sub/e.ogg"), QStringLiteral("tagged.ogg")));

    LocalMusicManager manager;
    SignalLog log(&manager);
    QSignalSpy finished(&manager, &LocalMusicManager::scanFinished);
    manager.startScan(root());
    QTRY_COMPARE(finished.count(), 1);

    QCOMPARE(log.lines,
        QStringList({ "started", "progress 0/3", "progress 1/3", "progress 2/3", "progress 3/3", "finished 3",
            "listChanged" }));
    QCOMPARE(log.progressNames.first(), QStringLiteral("开始扫描..."));
    QVERIFY(!manager.isScanning());

    // The folder's own files first (in listing order), then the level below.
    const QStringList names = fileNames(manager.musicFiles());
    QCOMPARE(names.size(), 3);
    QCOMPARE(QSet<QString>(names.begin(), names.begin() + 2), QSet<QString>({ "A.MP3", "b.flac" }));
    QCOMPARE(names.at(2), QStringLiteral("e.ogg"));
    QCOMPARE(log.progressNames.mid(1), names);

    const LocalMusicFile upper = manager.musicFiles().at(names.indexOf(QStringLiteral("A.MP3")));
    QCOMPARE(upper.filePath, QDir(root()).absoluteFilePath(QStringLiteral("A.MP3")));
    QCOMPARE(upper.fileType, QStringLiteral("mp3"));
    QCOMPARE(upper.title, QStringLiteral("Morning Song"));
    QCOMPARE(upper.artist, QStringLiteral("Album Artist"));
    QCOMPARE(upper.album, QStringLiteral("Local Album"));
    QCOMPARE(upper.genre, QStringLiteral("Jazz"));
    QCOMPARE(upper.trackNumber, 3);
    QCOMPARE(upper.year, 2019);
    QCOMPARE(manager.musicFiles().at(names.indexOf(QStringLiteral("b.flac"))).artist, QStringLiteral("Contrib Artist"));
}

// The first file is done before startScan returns; every further one needs a turn of the loop.
void TestLocalMusic::scanProcessesOneFilePerTurn()
{
    for (int i = 0; i < 3; ++i)
        QVERIFY(place(root(), QStringLiteral("song%1.mp3").arg(i)));

    LocalMusicManager manager;
    SignalLog log(&manager);
    manager.startScan(root());
    QCOMPARE(manager.musicFiles().size(), 1);
    QVERIFY(manager.isScanning());
    QCOMPARE(log.lines, QStringList({ "started", "progress 0/3", "progress 1/3" }));

    QCoreApplication::processEvents(); // runs exactly the one queued call that is pending
    QCOMPARE(manager.musicFiles().size(), 2);
    QTRY_VERIFY(!manager.isScanning());
    QCOMPARE(manager.musicFiles().size(), 3);
}

void TestLocalMusic::walkIsBreadthFirst()
{
    QVERIFY(place(root(), QStringLiteral("a/b/c/deepest.mp3")));
    QVERIFY(place(root(), QStringLiteral("a/b/deeper.mp3")));
    QVERIFY(place(root(), QStringLiteral("z/level1.mp3")));
    QVERIFY(place(root(), QStringLiteral("top.mp3")));
    QVERIFY(place(root(), QStringLiteral("a/level1too.mp3")));

    LocalMusicManager manager;
    QSignalSpy finished(&manager, &LocalMusicManager::scanFinished);
    manager.startScan(root());
    QTRY_COMPARE(finished.count(), 1);

    const QStringList names = fileNames(manager.musicFiles());
    QCOMPARE(names.size(), 5);
    QCOMPARE(names.first(), QStringLiteral("top.mp3"));
    QCOMPARE(QSet<QString>(names.begin() + 1, names.begin() + 3), QSet<QString>({ "level1.mp3", "level1too.mp3" }));
    QCOMPARE(names.mid(3), QStringList({ "deeper.mp3", "deepest.mp3" }));
}

void TestLocalMusic::emptyFolder()
{
    QVERIFY(writeText(QDir(root()).filePath(QStringLiteral("c.txt")), "text"));
    QVERIFY(QDir(root()).mkdir(QStringLiteral("nothing")));

    LocalMusicManager manager;
    manager.addMusicFile(dataFile(QStringLiteral("tagged.mp3")));
    SignalLog log(&manager);
    manager.startScan(root());

    QCOMPARE(log.lines, QStringList({ "started", "progress 0/0", "finished 0" }));
    QCOMPARE(log.progressNames, QStringList({ "开始扫描..." }));
    QVERIFY(!manager.isScanning());
    QVERIFY(manager.musicFiles().isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(log.lines.size(), 3); // nothing queued behind
}

void TestLocalMusic::missingFolder()
{
    const QString missing = QDir(root()).filePath(QStringLiteral("gone"));
    LocalMusicManager manager;
    manager.addMusicFile(dataFile(QStringLiteral("tagged.mp3")));
    SignalLog log(&manager);
    manager.startScan(missing);

    QCOMPARE(log.lines, QStringList({ "started", "error" }));
    QCOMPARE(log.errors, QStringList({ "目录不存在: " + missing }));
    // Idle already while the error is handled, so the handler may start another scan.
    QVERIFY(!log.scanningDuringError);
    QVERIFY(!manager.isScanning());
    // An unmounted drive is no reason to forget the library.
    QCOMPARE(manager.musicFiles().size(), 1);
    QCOMPARE(manager.scanPath(), missing);
    QVERIFY(watchedFolders(manager).isEmpty());

    // A file is not a folder, and an empty path does not mean the working folder.
    const QString file = QDir(root()).filePath(QStringLiteral("file.mp3"));
    QVERIFY(place(root(), QStringLiteral("file.mp3")));
    manager.startScan(file);
    const QString workingFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root()));
    manager.startScan(QString());
    QVERIFY(QDir::setCurrent(workingFolder));
    QCOMPARE(log.errors, QStringList({ "目录不存在: " + missing, "目录不存在: " + file, "目录不存在: " }));
    QCOMPARE(manager.musicFiles().size(), 1);
    QVERIFY(!manager.isScanning());
}

void TestLocalMusic::secondScanWhileScanningOnlyMovesThePath()
{
    const QString first = QDir(root()).filePath(QStringLiteral("first"));
    const QString second = QDir(root()).filePath(QStringLiteral("second"));
    for (int i = 0; i < 3; ++i)
        QVERIFY(place(first, QStringLiteral("a%1.mp3").arg(i)));
    QVERIFY(place(second, QStringLiteral("b.mp3")));

    LocalMusicManager manager;
    SignalLog log(&manager);
    manager.startScan(first);
    QVERIFY(manager.isScanning());
    manager.startScan(second);
    QCOMPARE(manager.scanPath(), second);
    QCOMPARE(watchedFolders(manager), QStringList({ second }));

    QTRY_VERIFY(!manager.isScanning());
    QCoreApplication::processEvents();
    QCOMPARE(log.lines.count(QStringLiteral("started")), 1);
    QCOMPARE(log.lines.count(QStringLiteral("finished 3")), 1);
    QCOMPARE(manager.musicFiles().size(), 3);
    for (const LocalMusicFile &file : manager.musicFiles())
        QVERIFY2(file.fileName.startsWith(QLatin1Char('a')), qPrintable(file.fileName));
}

void TestLocalMusic::newScanReplacesLibrary()
{
    const QString first = QDir(root()).filePath(QStringLiteral("first"));
    const QString second = QDir(root()).filePath(QStringLiteral("second"));
    QVERIFY(place(first, QStringLiteral("a.mp3")));
    QVERIFY(place(second, QStringLiteral("b.mp3")));

    LocalMusicManager manager;
    QSignalSpy finished(&manager, &LocalMusicManager::scanFinished);
    manager.startScan(first);
    QTRY_COMPARE(finished.count(), 1);
    manager.startScan(second);
    QTRY_COMPARE(finished.count(), 2);
    QCOMPARE(fileNames(manager.musicFiles()), QStringList({ "b.mp3" }));
}

// Links to folders are followed, but no real folder is entered twice.
void TestLocalMusic::linkLoopsAreWalkedOnce()
{
    const QString tree = QDir(root()).filePath(QStringLiteral("tree"));
    const QString outside = QDir(root()).filePath(QStringLiteral("outside"));
    QVERIFY(place(tree, QStringLiteral("a.mp3")));
    QVERIFY(place(tree, QStringLiteral("sub/b.mp3")));
    QVERIFY(place(outside, QStringLiteral("c.mp3")));
    QVERIFY(QFile::link(tree, QDir(tree).filePath(QStringLiteral("sub/back-to-top"))));
    QVERIFY(QFile::link(QDir(tree).filePath(QStringLiteral("sub")), QDir(tree).filePath(QStringLiteral("sub/self"))));
    QVERIFY(QFile::link(QDir(tree).filePath(QStringLiteral("sub")), QDir(tree).filePath(QStringLiteral("again"))));
    QVERIFY(QFile::link(outside, QDir(tree).filePath(QStringLiteral("sub/elsewhere"))));
    QVERIFY(
        QFile::link(QDir(root()).filePath(QStringLiteral("nowhere")), QDir(tree).filePath(QStringLiteral("broken"))));

    LocalMusicManager manager;
    QSignalSpy finished(&manager, &LocalMusicManager::scanFinished);
    manager.startScan(tree);
    QTRY_COMPARE(finished.count(), 1);

    QStringList names = fileNames(manager.musicFiles());
    names.sort();
    QCOMPARE(names, QStringList({ "a.mp3", "b.mp3", "c.mp3" }));
    QCOMPARE(finished.first().first().toInt(), 3);
}

void TestLocalMusic::rawAacGetsTagsThroughFallback()
{
    QVERIFY(place(root(), QStringLiteral("raw.aac"), QStringLiteral("tagged.aac")));
    LocalMusicManager manager;
    QSignalSpy finished(&manager, &LocalMusicManager::scanFinished);
    manager.startScan(root());
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(manager.musicFiles().size(), 1);
    QCOMPARE(manager.musicFiles().first().title, QStringLiteral("Morning Song"));
    QCOMPARE(manager.musicFiles().first().fileType, QStringLiteral("aac"));
}

void TestLocalMusic::destroyedMidScan()
{
    for (int i = 0; i < 3; ++i)
        QVERIFY(place(root(), QStringLiteral("song%1.mp3").arg(i)));
    QPointer<LocalMusicManager> manager = new LocalMusicManager;
    manager->startScan(root());
    QVERIFY(manager->isScanning());
    delete manager;
    // The pending queued call must die with the manager.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QVERIFY(manager.isNull());
}

// The media-player fallback runs a nested event loop; the window may drop the manager meanwhile.
void TestLocalMusic::destroyedDuringFallbackProbe()
{
    QVERIFY(place(root(), QStringLiteral("raw.aac"), QStringLiteral("tagged.aac")));
    QVERIFY(place(root(), QStringLiteral("next.aac"), QStringLiteral("tagged.aac")));
    QPointer<LocalMusicManager> manager = new LocalMusicManager;
    QTimer::singleShot(0, manager, [manager] { manager->deleteLater(); });
    manager->startScan(root());
    QVERIFY(manager.isNull());
    QCoreApplication::processEvents();

    manager = new LocalMusicManager;
    QTimer::singleShot(0, manager, [manager] { manager->deleteLater(); });
    manager->addMusicFile(QDir(root()).filePath(QStringLiteral("raw.aac")));
    QVERIFY(manager.isNull());
}

void TestLocalMusic::isSupportedFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("supported");

    QTest::newRow("lower case") << "song.mp3" << true;
    QTest::newRow("upper case") << "SONG.MP3" << true;
    QTest::newRow("mixed case") << "song.Mp3" << true;
    QTest::newRow("flac upper") << "/music/x.FLAC" << true;
    QTest::newRow("wav") << "a.wav" << true;
    QTest::newRow("m4a") << "a.M4a" << true;
    QTest::newRow("aac") << "a.aac" << true;
    QTest::newRow("ogg") << "a.ogg" << true;
    QTest::newRow("wma") << "a.wma" << true;
    QTest::newRow("aiff") << "a.AIFF" << true;
    QTest::newRow("alac") << "a.alac" << true;
    QTest::newRow("several dots") << "01.Intro.mp3" << true;
    QTest::newRow("aif short form") << "song.aif" << false;
    QTest::newRow("opus") << "song.opus" << false;
    QTest::newRow("text") << "c.txt" << false;
    QTest::newRow("no dot") << "mp3" << false;
    QTest::newRow("trailing dot") << "song." << false;
    QTest::newRow("audio name, other suffix") << "song.mp3.part" << false;
    QTest::newRow("empty") << "" << false;
}

void TestLocalMusic::isSupportedFile()
{
    QFETCH(QString, path);
    QFETCH(bool, supported);
    LocalMusicManager manager;
    QCOMPARE(manager.isSupportedFile(path), supported);
}

void TestLocalMusic::supportedFormatsInOrder()
{
    QCOMPARE(LocalMusicManager::supportedFormats(),
        QStringList({ "mp3", "flac", "wav", "m4a", "aac", "ogg", "wma", "aiff", "alac" }));
}

void TestLocalMusic::addMusicFile()
{
    LocalMusicManager manager;
    SignalLog log(&manager);
    QVERIFY(place(root(), QStringLiteral("Artist - Title.mp3"), QStringLiteral("Artist - Title.mp3")));
    QVERIFY(place(root(), QStringLiteral("notes.txt")));

    manager.addMusicFile(QDir(root()).filePath(QStringLiteral("notes.txt")));
    QVERIFY(manager.musicFiles().isEmpty());
    QVERIFY(log.lines.isEmpty());

    const QString untagged = QDir(root()).filePath(QStringLiteral("Artist - Title.mp3"));
    manager.addMusicFile(untagged);
    manager.addMusicFile(untagged); // no duplicate check
    QCOMPARE(log.lines, QStringList({ "listChanged", "listChanged" }));
    QCOMPARE(manager.musicFiles().size(), 2);
    const LocalMusicFile file = manager.musicFiles().first();
    QCOMPARE(file.filePath, untagged);
    QCOMPARE(file.fileName, QStringLiteral("Artist - Title.mp3"));
    QCOMPARE(file.title, QStringLiteral("Artist - Title"));
    QVERIFY(file.artist.isEmpty());
    QCOMPARE(file.fileType, QStringLiteral("mp3"));
}

void TestLocalMusic::clearMusicList()
{
    LocalMusicManager manager;
    manager.addMusicFile(dataFile(QStringLiteral("tagged.mp3")));
    SignalLog log(&manager);
    manager.clearMusicList();
    QVERIFY(manager.musicFiles().isEmpty());
    QCOMPARE(log.lines, QStringList({ "listChanged" }));
}

void TestLocalMusic::artistsAndAlbumsKeepOrderAndCase()
{
    LocalMusicManager manager;
    for (const char *name : { "case-upper.flac", "Artist - Title.mp3", "case-lower.flac", "case-upper.flac" })
        manager.addMusicFile(dataFile(QString::fromLatin1(name)));
    QCOMPARE(manager.musicFiles().size(), 4);

    QCOMPARE(manager.artists(), QStringList({ "A", "a" }));
    QCOMPARE(manager.albums(), QStringList({ "X", "x" }));
    QCOMPARE(manager.musicByArtist(QStringLiteral("A")).size(), 2);
    QCOMPARE(manager.musicByArtist(QStringLiteral("a")).size(), 1);
    QCOMPARE(manager.musicByArtist(QStringLiteral("a")).first().title, QStringLiteral("Lower"));
    QVERIFY(manager.musicByArtist(QStringLiteral("B")).isEmpty());
    QCOMPARE(manager.musicByAlbum(QStringLiteral("x")).first().title, QStringLiteral("Lower"));
    QCOMPARE(manager.musicByAlbum(QStringLiteral("X")).size(), 2);
}

void TestLocalMusic::setScanPathRepointsWatcher()
{
    const QString first = QDir(root()).filePath(QStringLiteral("first"));
    const QString second = QDir(root()).filePath(QStringLiteral("second"));
    QVERIFY(QDir().mkpath(first));
    QVERIFY(QDir().mkpath(second));

    LocalMusicManager manager;
    QVERIFY(manager.scanPath().isEmpty());
    manager.setScanPath(first);
    QCOMPARE(watchedFolders(manager), QStringList({ first }));
    manager.setScanPath(second);
    QCOMPARE(watchedFolders(manager), QStringList({ second }));
    QCOMPARE(manager.scanPath(), second);
    manager.setScanPath(QDir(root()).filePath(QStringLiteral("missing")));
    QVERIFY(watchedFolders(manager).isEmpty());
    manager.setScanPath(QString());
    QVERIFY(watchedFolders(manager).isEmpty());
    QVERIFY(manager.scanPath().isEmpty());
}

void TestLocalMusic::toSong_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("songTitle");
    QTest::addColumn<QString>("songArtist");

    QTest::newRow("tagged") << "Morning Song"
                            << "Someone"
                            << "Morning Song"
                            << "Someone";
    QTest::newRow("no title") << ""
                              << "Someone"
                              << "file.mp3"
                              << "Someone";
    QTest::newRow("no artist") << "Morning Song"
                               << ""
                               << "Morning Song"
                               << "未知艺术家";
}

void TestLocalMusic::toSong()
{
    QFETCH(QString, title);
    QFETCH(QString, artist);
    QFETCH(QString, songTitle);
    QFETCH(QString, songArtist);

    LocalMusicFile file;
    file.filePath = QStringLiteral("/music/file.mp3");
    file.fileName = QStringLiteral("file.mp3");
    file.title = title;
    file.artist = artist;
    file.album = QStringLiteral("Album");
    file.duration = 205;
    file.genre = QStringLiteral("Jazz");
    file.trackNumber = 7;
    file.year = 2001;
    file.fileType = QStringLiteral("mp3");

    const Song song = file.toSong();
    QCOMPARE(song.id, -1);
    QCOMPARE(song.albumId, 0);
    QCOMPARE(song.title, songTitle);
    QCOMPARE(song.artist, songArtist);
    QCOMPARE(song.duration, 205);
    QCOMPARE(song.filePath, QStringLiteral("/music/file.mp3"));
    QCOMPARE(song.genre, QStringLiteral("Jazz"));
    QCOMPARE(song.trackNumber, 0);
    QCOMPARE(song.playCount, 0);
}

void TestLocalMusic::formattedDuration_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("unknown") << 0 << "--:--";
    QTest::newRow("negative") << -5 << "--:--";
    QTest::newRow("one second") << 1 << "00:01";
    QTest::newRow("65") << 65 << "01:05";
    QTest::newRow("205") << 205 << "03:25";
    QTest::newRow("hundred minutes") << 6000 << "100:00";
}

void TestLocalMusic::formattedDuration()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    LocalMusicFile file;
    file.duration = seconds;
    QCOMPARE(file.formattedDuration(), text);
}

QTEST_MAIN(TestLocalMusic)
#include "tst_localmusic.moc"
