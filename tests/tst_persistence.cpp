#include "localmusicmanager.h"
#include "mainwindow.h"
#include "modalboxcloser.h"
#include "prefs_windowkit.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace WindowKit;

namespace {

const QString ScanPathKey = QStringLiteral("localMusic/scanPath");
const QString MusicFilesKey = QStringLiteral("localMusic/musicFiles");
const QString FileCountKey = QStringLiteral("localMusic/fileCount");

QVariantMap storedEntry(const QString &path, const QString &title)
{
    return {{QStringLiteral("filePath"), path}, {QStringLiteral("fileName"), QFileInfo(path).fileName()},
            {QStringLiteral("title"), title},   {QStringLiteral("artist"), QStringLiteral("stored artist")},
            {QStringLiteral("album"), QString()}, {QStringLiteral("duration"), 999},
            {QStringLiteral("fileType"), QStringLiteral("flac")}};
}

QStringList storedPaths()
{
    QSettings settings;
    QStringList paths;
    for (const QVariant &element : settings.value(MusicFilesKey).toList())
        paths.append(element.toMap().value(QStringLiteral("filePath")).toString());
    return paths;
}

} // namespace

// The local library across restarts: what is written, when, and what a restart brings back.
class TestPersistence : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void scanWritesSevenKeysPerEntryAndTheCount();
    void restartDropsVanishedFilesAndProbesTheRest();
    void restoreTrustsTheListOverTheCount_data();
    void restoreTrustsTheListOverTheCount();
    void missingMusicFolderKeepsTheLibrary();
    void emptyScanKeepsTheStoredList();
    void destructionSavesTheLibrary();
    void clearSurvivesRestartAndKeepsTheFolder();
    void removingTheLastEntrySurvivesRestart();
    void vanishedFilesAreKeptUnreadableEntriesDropped();
    void restoreCutShortKeepsTheStoredList();
    void scanDuringRestoreReplacesTheLibrary();
    void closingMidScanKeepsTheStoredList();

private:
    // Copies the fixture files into a fresh folder, so a test may delete some.
    QString freshFolder(int files);
    bool scanInto(MainWindow &window, const QString &folder);
    static QListWidget *list(MainWindow &window)
    {
        return window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    }

    QTemporaryDir m_dir;
    QStringList m_sources; // tagged: "Song 1" by "Artist 1" ...
    int m_folders = 0;
    ModalBoxCloser m_closer;
};

void TestPersistence::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velora"));
    QCoreApplication::setApplicationName(QStringLiteral("VeloraPlayer"));
    QVERIFY(m_dir.isValid());
    QList<TaggedAudio> audio;
    for (int i = 1; i <= 3; ++i) {
        const QString path = m_dir.filePath(QStringLiteral("source%1.flac").arg(i));
        audio.append({path, QStringLiteral("Song %1").arg(i), QStringLiteral("Artist %1").arg(i),
                      QStringLiteral("Album %1").arg(i), 65});
        m_sources.append(path);
    }
    QVERIFY(writeTaggedAudio(audio));
    m_closer.start();
}

void TestPersistence::init()
{
    clearSettings();
}

QString TestPersistence::freshFolder(int files)
{
    const QString folder = m_dir.filePath(QStringLiteral("folder%1").arg(++m_folders));
    QDir().mkpath(folder);
    for (int i = 0; i < files; ++i)
        QFile::copy(m_sources.at(i), folder + QStringLiteral("/%1.flac").arg(i + 1));
    return folder;
}

bool TestPersistence::scanInto(MainWindow &window, const QString &folder)
{
    auto *manager = window.findChild<LocalMusicManager *>();
    bool finished = false;
    QMetaObject::Connection connection =
        connect(manager, &LocalMusicManager::scanFinished, this, [&finished] { finished = true; });
    window.setFolderChooser([folder](QWidget *) { return folder; });
    QMetaObject::invokeMethod(&window, "selectMusicFolder");
    const bool ok = QTest::qWaitFor([&finished] { return finished; }, 20000);
    disconnect(connection);
    return ok;
}

void TestPersistence::scanWritesSevenKeysPerEntryAndTheCount()
{
    const QString folder = freshFolder(2);
    MainWindow window;
    QVERIFY(scanInto(window, folder));

    QSettings settings;
    QCOMPARE(settings.value(ScanPathKey).toString(), folder);
    QCOMPARE(settings.value(FileCountKey).toLongLong(), 2);
    const QVariantList stored = settings.value(MusicFilesKey).toList();
    QCOMPARE(stored.size(), 2);
    const QStringList keys{QStringLiteral("album"),    QStringLiteral("artist"), QStringLiteral("duration"),
                           QStringLiteral("fileName"), QStringLiteral("filePath"), QStringLiteral("fileType"),
                           QStringLiteral("title")};
    const QList<LocalMusicFile> &library = window.findChild<LocalMusicManager *>()->musicFiles();
    for (int i = 0; i < stored.size(); ++i) {
        const QVariantMap map = stored.at(i).toMap();
        QCOMPARE(map.keys(), keys);
        const LocalMusicFile &file = library.at(i);
        QCOMPARE(map.value(QStringLiteral("filePath")).toString(), file.filePath);
        QCOMPARE(map.value(QStringLiteral("fileName")).toString(), file.fileName);
        QCOMPARE(map.value(QStringLiteral("title")).toString(), file.title);
        QCOMPARE(map.value(QStringLiteral("artist")).toString(), file.artist);
        QCOMPARE(map.value(QStringLiteral("album")).toString(), file.album);
        QCOMPARE(map.value(QStringLiteral("duration")).toInt(), 65);
        QCOMPARE(map.value(QStringLiteral("fileType")).toString(), QStringLiteral("flac"));
        QVERIFY(file.title.startsWith(QStringLiteral("Song ")));
    }
}

void TestPersistence::restartDropsVanishedFilesAndProbesTheRest()
{
    const QString folder = freshFolder(3);
    const QString gone = folder + QStringLiteral("/2.flac");
    {
        QSettings settings;
        settings.setValue(ScanPathKey, folder);
        // Stored metadata that the files contradict: a restore must read the files again.
        settings.setValue(MusicFilesKey, QVariantList{storedEntry(folder + QStringLiteral("/1.flac"), QStringLiteral("old 1")),
                                                      storedEntry(gone, QStringLiteral("old 2")),
                                                      storedEntry(folder + QStringLiteral("/3.flac"), QStringLiteral("old 3"))});
        settings.setValue(FileCountKey, 3);
    }
    QVERIFY(QFile::remove(gone));

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("文件已不存在:.*2\\.flac")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("从设置中加载了\\W+2\\W+首本地音乐文件")));
    MainWindow window;
    auto *manager = window.findChild<LocalMusicManager *>();
    QCOMPARE(manager->scanPath(), folder);
    // Saved as soon as the restore has read the files, before the window goes.
    QTRY_COMPARE(storedPaths(), (QStringList{folder + QStringLiteral("/1.flac"), folder + QStringLiteral("/3.flac")}));
    QCOMPARE(manager->musicFiles().size(), 2);
    QCOMPARE(manager->musicFiles().at(0).title, QStringLiteral("Song 1"));
    QCOMPARE(manager->musicFiles().at(1).title, QStringLiteral("Song 3"));
    QCOMPARE(manager->musicFiles().at(1).duration, 65);

    QCOMPARE(QSettings().value(FileCountKey).toInt(), 2);
    QCOMPARE(QSettings().value(MusicFilesKey).toList().at(1).toMap().value(QStringLiteral("title")).toString(),
             QStringLiteral("Song 3"));

    QTRY_COMPARE(rowTexts(list(window)),
                 (QStringList{QStringLiteral("Song 1 - Artist 1  [01:05]"), QStringLiteral("Song 3 - Artist 3  [01:05]")}));
    // The restore starts no scan.
    QVERIFY(!manager->isScanning());
}

void TestPersistence::restoreTrustsTheListOverTheCount_data()
{
    QTest::addColumn<QVariant>("count");
    QTest::addColumn<int>("loaded");
    // Only a count that reads as 0 says "nothing stored"; any other count defers to the list.
    QTest::newRow("zero") << QVariant(0) << 0;
    QTest::newRow("absent") << QVariant() << 2;
    QTest::newRow("negative") << QVariant(-1) << 2;
    QTest::newRow("not a number") << QVariant(QStringLiteral("abc")) << 2;
    QTest::newRow("2^31") << QVariant(qlonglong(1) << 31) << 2;
    QTest::newRow("10^12") << QVariant(qlonglong(1000000000000)) << 2;
    QTest::newRow("10^12 as text") << QVariant(QStringLiteral("1000000000000")) << 2;
}

void TestPersistence::restoreTrustsTheListOverTheCount()
{
    QFETCH(QVariant, count);
    QFETCH(int, loaded);
    const QString folder = freshFolder(2);
    const QVariantList stored{storedEntry(folder + QStringLiteral("/1.flac"), QStringLiteral("a")),
                              storedEntry(folder + QStringLiteral("/2.flac"), QStringLiteral("b"))};
    {
        QSettings settings;
        settings.setValue(MusicFilesKey, stored);
        if (count.isValid())
            settings.setValue(FileCountKey, count);
    }
    MainWindow window;
    QTRY_COMPARE(window.findChild<LocalMusicManager *>()->musicFiles().size(), loaded);
    QTRY_COMPARE(list(window)->count(), loaded);
    // The stored list is never lost over its count.
    QCOMPARE(QSettings().value(MusicFilesKey).toList().size(), 2);
}

// An unmounted drive: the stored library stays, its entries marked unavailable, and comes back
// whole once the folder is there again.
void TestPersistence::missingMusicFolderKeepsTheLibrary()
{
    const QString folder = freshFolder(3);
    {
        MainWindow window;
        QVERIFY(scanInto(window, folder));
    }
    const QString away = folder + QStringLiteral("-unmounted");
    QVERIFY(QDir().rename(folder, away));
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("不可用.*3")));
        MainWindow window;
        auto *manager = window.findChild<LocalMusicManager *>();
        QTRY_COMPARE(manager->musicFiles().size(), 3);
        QTRY_COMPARE(list(window)->count(), 3);
        for (const LocalMusicFile &file : manager->musicFiles()) {
            QVERIFY(!file.available);
            QVERIFY(file.title.startsWith(QStringLiteral("Song ")));
        }
        QCOMPARE(list(window)->item(0)->foreground().color(), QColor(Qt::gray));
        QCOMPARE(storedPaths().size(), 3);
        // A scan of the missing folder keeps the library too.
        QMetaObject::invokeMethod(&window, "scanLocalMusic");
        QCOMPARE(manager->musicFiles().size(), 3);
    }
    QCOMPARE(storedPaths().size(), 3);
    QCOMPARE(QSettings().value(FileCountKey).toInt(), 3);

    QVERIFY(QDir().rename(away, folder));
    MainWindow window;
    auto *manager = window.findChild<LocalMusicManager *>();
    QTRY_COMPARE(manager->musicFiles().size(), 3);
    for (const LocalMusicFile &file : manager->musicFiles())
        QVERIFY(file.available);
    QCOMPARE(storedPaths().size(), 3);
}

void TestPersistence::emptyScanKeepsTheStoredList()
{
    const QString folder = freshFolder(2);
    const QString empty = freshFolder(0);
    {
        MainWindow window;
        QVERIFY(scanInto(window, folder));
    }
    {
        MainWindow window;
        QTRY_COMPARE(window.findChild<LocalMusicManager *>()->musicFiles().size(), 2);
        QVERIFY(scanInto(window, empty));
        QVERIFY(window.findChild<LocalMusicManager *>()->musicFiles().isEmpty());
        QCOMPARE(QSettings().value(ScanPathKey).toString(), empty);
    }
    QCOMPARE(storedPaths().size(), 2);
    MainWindow window;
    QTRY_COMPARE(window.findChild<LocalMusicManager *>()->musicFiles().size(), 2);
    QCOMPARE(window.findChild<LocalMusicManager *>()->scanPath(), empty);
}

void TestPersistence::destructionSavesTheLibrary()
{
    const QString folder = freshFolder(3);
    {
        MainWindow window;
        QVERIFY(scanInto(window, folder));
        QTRY_COMPARE(list(window)->count(), 3);
        // A removal is not written at once; the window writes it when it goes.
        QVERIFY(triggerRowMenu(list(window), 0, QStringLiteral("从列表中移除")));
        QCOMPARE(storedPaths().size(), 3);
    }
    QCOMPARE(storedPaths().size(), 2);
    MainWindow window;
    QTRY_COMPARE(window.findChild<LocalMusicManager *>()->musicFiles().size(), 2);
}

void TestPersistence::clearSurvivesRestartAndKeepsTheFolder()
{
    const QString folder = freshFolder(2);
    {
        MainWindow window;
        QVERIFY(scanInto(window, folder));
        QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("clearLocalBtn")), Qt::LeftButton);
    }
    MainWindow window;
    auto *manager = window.findChild<LocalMusicManager *>();
    QVERIFY(manager->musicFiles().isEmpty());
    QCOMPARE(manager->scanPath(), folder);
    // The stored folder is scanned again without asking.
    int asks = 0;
    window.setFolderChooser([&asks](QWidget *) {
        ++asks;
        return QString();
    });
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("scanLocalBtn")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(list(window)->count(), 2, 20000);
    QCOMPARE(asks, 0);
}

void TestPersistence::removingTheLastEntrySurvivesRestart()
{
    const QString folder = freshFolder(1);
    {
        MainWindow window;
        QVERIFY(scanInto(window, folder));
        QTRY_COMPARE(list(window)->count(), 1);
        QVERIFY(triggerRowMenu(list(window), 0, QStringLiteral("从列表中移除")));
        QTRY_COMPARE(list(window)->count(), 0);
    }
    // An empty library writes nothing when saved; the removed file must not come back.
    MainWindow window;
    QVERIFY(window.findChild<LocalMusicManager *>()->musicFiles().isEmpty());
    QCOMPARE(window.findChild<LocalMusicManager *>()->scanPath(), folder);
}

void TestPersistence::vanishedFilesAreKeptUnreadableEntriesDropped()
{
    // Only unreadable elements: nothing is loaded, and nothing is rewritten over them.
    {
        QSettings settings;
        settings.setValue(MusicFilesKey, QVariantList { QVariant(QStringLiteral("not a map")), QVariant(7) });
        settings.setValue(FileCountKey, 2);
    }
    {
        MainWindow window;
        QTest::qWait(50);
        QVERIFY(window.findChild<LocalMusicManager *>()->musicFiles().isEmpty());
        QCOMPARE(QSettings().value(MusicFilesKey).toList().size(), 2);
    }
    // Every stored file gone is most of them gone: they may be on a drive that is away, so
    // they are kept (unavailable) and only the unreadable element is dropped.
    {
        QSettings settings;
        settings.setValue(MusicFilesKey, QVariantList{storedEntry(m_dir.filePath(QStringLiteral("none.flac")), QStringLiteral("x")),
                                                      QVariant(QStringLiteral("not a map"))});
        settings.setValue(FileCountKey, 2);
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("1.*暂时无法访问")));
    MainWindow window;
    auto *manager = window.findChild<LocalMusicManager *>();
    QTRY_COMPARE(manager->musicFiles().size(), 1);
    QVERIFY(!manager->musicFiles().first().available);
    QTRY_COMPARE(storedPaths(), QStringList { m_dir.filePath(QStringLiteral("none.flac")) });
}

void TestPersistence::restoreCutShortKeepsTheStoredList()
{
    const QString folder = freshFolder(3);
    {
        QSettings settings;
        settings.setValue(MusicFilesKey, QVariantList{storedEntry(folder + QStringLiteral("/1.flac"), QStringLiteral("a")),
                                                      storedEntry(folder + QStringLiteral("/2.flac"), QStringLiteral("b")),
                                                      storedEntry(folder + QStringLiteral("/3.flac"), QStringLiteral("c"))});
        settings.setValue(FileCountKey, 3);
    }
    {
        // Gone before the restore has read a single file.
        MainWindow window;
    }
    QCOMPARE(storedPaths().size(), 3);
    QCOMPARE(QSettings().value(FileCountKey).toInt(), 3);
}

void TestPersistence::scanDuringRestoreReplacesTheLibrary()
{
    const QString stored = freshFolder(3);
    const QString scanned = freshFolder(1);
    {
        QSettings settings;
        QVariantList list;
        for (int i = 1; i <= 3; ++i)
            list.append(storedEntry(stored + QStringLiteral("/%1.flac").arg(i), QString()));
        settings.setValue(MusicFilesKey, list);
        settings.setValue(FileCountKey, 3);
    }
    MainWindow window;
    // Chosen before the restore ran: the scan's library alone remains, nothing of the restore.
    QVERIFY(scanInto(window, scanned));
    QTest::qWait(50);
    auto *manager = window.findChild<LocalMusicManager *>();
    QCOMPARE(manager->musicFiles().size(), 1);
    QCOMPARE(manager->musicFiles().first().filePath, scanned + QStringLiteral("/1.flac"));
    QCOMPARE(storedPaths(), QStringList{scanned + QStringLiteral("/1.flac")});
}

void TestPersistence::closingMidScanKeepsTheStoredList()
{
    const QString first = freshFolder(2);
    const QString second = freshFolder(3);
    {
        MainWindow window;
        QVERIFY(scanInto(window, first));
    }
    const QStringList stored = storedPaths();
    QCOMPARE(stored.size(), 2);
    {
        MainWindow window;
        QTRY_COMPARE(window.findChild<LocalMusicManager *>()->musicFiles().size(), 2);
        window.setFolderChooser([second](QWidget *) { return second; });
        QMetaObject::invokeMethod(&window, "selectMusicFolder");
        // Closed with the scan under way: it holds one file of three.
        QVERIFY(window.findChild<LocalMusicManager *>()->isScanning());
    }
    QCOMPARE(storedPaths(), stored);
}

QTEST_MAIN(TestPersistence)
#include "tst_persistence.moc"
