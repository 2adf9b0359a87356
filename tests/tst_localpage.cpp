#include "localmusicmanager.h"
#include "lyricswidget.h"
#include "mainwindow.h"
#include "modalboxcloser.h"
#include "musicplayer.h"
#include "prefs_windowkit.h"
#include "wavwriter.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace WindowKit;

// The local music page: folder choice, scan messages, rows, local search, play, add, remove
// and clear.
class TestLocalPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void scanShowsProgressAndRows();
    void scanAsksForFolderOnlyWhenNoneIsStored_data();
    void scanAsksForFolderOnlyWhenNoneIsStored();
    void entryWithoutArtistAndDuration_data();
    void entryWithoutArtistAndDuration();
    void missingFolderReportsError();

    void filterMatchesTitleArtistOrAlbum_data();
    void filterMatchesTitleArtistOrAlbum();
    void playingARowQueuesTheShownList_data();
    void playingARowQueuesTheShownList();
    void playWithBadIndexWarns();
    void searchModeSwitch_data();
    void searchModeSwitch();
    void addAppendsOneSong();
    void removeDropsTheChosenEntry_data();
    void removeDropsTheChosenEntry();
    void clearEmptiesListAndKeepsScanFolder();
    void localSongShowsItsLyrics_data();
    void localSongShowsItsLyrics();

private:
    // A window whose library is the scan of folder; returns once the rows are shown.
    bool scanInto(MainWindow &window, const QString &folder);

    QTemporaryDir m_dir;
    QString m_threeFolder; // three tagged files of 3:25
    QString m_fiveFolder; // five files for search and play
    QString m_bareFolder; // one file without tags and without length
    ModalBoxCloser m_closer;
};

void TestLocalPage::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velora"));
    QCoreApplication::setApplicationName(QStringLiteral("VeloraPlayer"));
    QVERIFY(m_dir.isValid());
    m_threeFolder = m_dir.filePath(QStringLiteral("three"));
    m_fiveFolder = m_dir.filePath(QStringLiteral("five"));
    m_bareFolder = m_dir.filePath(QStringLiteral("bare"));
    QVERIFY(QDir().mkpath(m_threeFolder));
    QVERIFY(QDir().mkpath(m_fiveFolder + QStringLiteral("/sub")));
    QVERIFY(QDir().mkpath(m_bareFolder));
    QVERIFY(writeTaggedAudio({
        { m_threeFolder + QStringLiteral("/a.flac"), QStringLiteral("Alpha"), QStringLiteral("Ann"),
            QStringLiteral("One"), 205 },
        { m_threeFolder + QStringLiteral("/b.flac"), QStringLiteral("Beta"), QStringLiteral("Bob"),
            QStringLiteral("Two"), 205 },
        { m_threeFolder + QStringLiteral("/c.flac"), QStringLiteral("Gamma"), QStringLiteral("Cy"),
            QStringLiteral("Three"), 205 },
        // Matches of "lov" by title, artist and album, in three spellings, and two misses.
        { m_fiveFolder + QStringLiteral("/1.flac"), QStringLiteral("Love Song"), QStringLiteral("Ann"),
            QStringLiteral("Blue"), 1 },
        { m_fiveFolder + QStringLiteral("/2.flac"), QStringLiteral("Rain"), QStringLiteral("Bob"),
            QStringLiteral("Grey"), 1 },
        { m_fiveFolder + QStringLiteral("/3.flac"), QStringLiteral("Sun"), QStringLiteral("LOVELY"),
            QStringLiteral("Gold"), 1 },
        { m_fiveFolder + QStringLiteral("/4.flac"), QStringLiteral("Moon"), QStringLiteral("Cy"),
            QStringLiteral("Night"), 1 },
        { m_fiveFolder + QStringLiteral("/sub/5.flac"), QStringLiteral("Star"), QStringLiteral("Dee"),
            QStringLiteral("Glove Box"), 1 },
    }));
    QVERIFY(writeWav(m_bareFolder + QStringLiteral("/silence.wav"), 0));
    m_closer.start();
}

void TestLocalPage::init()
{
    clearSettings();
    m_closer.clear();
}

bool TestLocalPage::scanInto(MainWindow &window, const QString &folder)
{
    auto *manager = window.findChild<LocalMusicManager *>();
    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    window.setFolderChooser([folder](QWidget *) { return folder; });
    QMetaObject::invokeMethod(&window, "selectMusicFolder");
    const int expected = int(QDir(folder).entryList(QDir::Files).size());
    return QTest::qWaitFor([&] { return !manager->isScanning() && list->count() >= expected; }, 20000);
}

void TestLocalPage::scanShowsProgressAndRows()
{
    MainWindow window;
    auto *manager = window.findChild<LocalMusicManager *>();
    QStringList progress;
    QString finished;
    // Connected after the window, so each handler sees the window's message already set.
    connect(manager, &LocalMusicManager::scanProgress, this, [&] { progress.append(statusText(window)); });
    connect(manager, &LocalMusicManager::scanFinished, this, [&] { finished = statusText(window); });

    int asked = 0;
    window.setFolderChooser([&](QWidget *) {
        ++asked;
        return m_threeFolder;
    });
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("selectFolderBtn")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 20000);

    QCOMPARE(asked, 1);
    QCOMPARE(progress,
        (QStringList { QStringLiteral("扫描中: 0/3"), QStringLiteral("扫描中: 1/3"), QStringLiteral("扫描中: 2/3"),
            QStringLiteral("扫描中: 3/3") }));
    QCOMPARE(finished, QStringLiteral("扫描完成，找到 3 首本地歌曲"));

    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    QTRY_COMPARE(list->count(), 3);
    QStringList rows = rowTexts(list);
    rows.sort(); // the folder lists its files in the file system's order
    QCOMPARE(rows,
        (QStringList { QStringLiteral("Alpha - Ann  [03:25]"), QStringLiteral("Beta - Bob  [03:25]"),
            QStringLiteral("Gamma - Cy  [03:25]") }));
    for (int i = 0; i < list->count(); ++i) {
        QCOMPARE(list->item(i)->data(Qt::UserRole).toInt(), i);
        QVERIFY(!list->item(i)->icon().isNull());
    }
    QCOMPARE(QSettings().value(QStringLiteral("localMusic/scanPath")).toString(), m_threeFolder);
    // The local tab shows the library size.
    const auto localTabText = [&window] {
        for (QPushButton *button : window.findChildren<QPushButton *>()) {
            if (button->property("tabIndex").isValid() && button->property("tabIndex").toInt() == 4)
                return button->text();
        }
        return QString();
    };
    QTRY_COMPARE(localTabText(), QStringLiteral("本地音乐 (3)"));
}

void TestLocalPage::scanAsksForFolderOnlyWhenNoneIsStored_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("expectedAsks");
    QTest::addColumn<int>("expectedRows");
    QTest::newRow("no folder, user picks one") << false << QStringLiteral("three") << 1 << 3;
    QTest::newRow("no folder, user cancels") << false << QString() << 1 << 0;
    QTest::newRow("stored folder scans at once") << true << QString() << 0 << 3;
}

void TestLocalPage::scanAsksForFolderOnlyWhenNoneIsStored()
{
    QFETCH(bool, stored);
    QFETCH(QString, answer);
    QFETCH(int, expectedAsks);
    QFETCH(int, expectedRows);
    if (stored) {
        QSettings settings;
        settings.setValue(QStringLiteral("localMusic/scanPath"), m_threeFolder);
    }
    MainWindow window;
    auto *manager = window.findChild<LocalMusicManager *>();
    int asks = 0;
    const QString folder = answer.isEmpty() ? QString() : m_dir.filePath(answer);
    window.setFolderChooser([&](QWidget *) {
        ++asks;
        return folder;
    });
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("scanLocalBtn")), Qt::LeftButton);
    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    if (expectedRows > 0)
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), expectedRows, 20000);
    QTRY_VERIFY(!manager->isScanning());
    QCOMPARE(asks, expectedAsks);
    QCOMPARE(list->count(), expectedRows);
    if (expectedRows == 0)
        QVERIFY(!QSettings().contains(QStringLiteral("localMusic/scanPath")));
}

void TestLocalPage::entryWithoutArtistAndDuration_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("row");
    QTest::newRow("Chinese") << QStringLiteral("zh") << QStringLiteral("silence - 未知艺术家  [--:--]");
    QTest::newRow("English") << QStringLiteral("en") << QStringLiteral("silence - Unknown Artist  [--:--]");
}

void TestLocalPage::entryWithoutArtistAndDuration()
{
    QFETCH(QString, language);
    QFETCH(QString, row);
    QSettings().setValue(QStringLiteral("language"), language);
    MainWindow window;
    QVERIFY(scanInto(window, m_bareFolder));
    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    QTRY_COMPARE(rowTexts(list), QStringList { row });
}

void TestLocalPage::missingFolderReportsError()
{
    const QString missing = m_dir.filePath(QStringLiteral("gone"));
    QSettings().setValue(QStringLiteral("localMusic/scanPath"), missing);
    MainWindow window;
    m_closer.clear();
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("scanLocalBtn")), Qt::LeftButton);
    QTRY_VERIFY(m_closer.texts().contains(QStringLiteral("扫描错误: 目录不存在: ") + missing));
}

void TestLocalPage::filterMatchesTitleArtistOrAlbum_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("lower case") << QStringLiteral(
        "lov") << QStringList { QStringLiteral("Love Song"), QStringLiteral("Sun"), QStringLiteral("Star") };
    QTest::newRow("upper case") << QStringLiteral(
        "LOV") << QStringList { QStringLiteral("Love Song"), QStringLiteral("Sun"), QStringLiteral("Star") };
    QTest::newRow("artist only") << QStringLiteral("bob") << QStringList { QStringLiteral("Rain") };
    QTest::newRow("no match") << QStringLiteral("zzz") << QStringList {};
    QTest::newRow("blank shows all") << QStringLiteral("   ")
                                     << QStringList { QStringLiteral("Love Song"), QStringLiteral("Rain"),
                                            QStringLiteral("Sun"), QStringLiteral("Moon"), QStringLiteral("Star") };
}

void TestLocalPage::filterMatchesTitleArtistOrAlbum()
{
    QFETCH(QString, keyword);
    QFETCH(QStringList, titles);
    MainWindow window;
    QVERIFY(scanInto(window, m_fiveFolder));
    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    auto *manager = window.findChild<LocalMusicManager *>();
    QTRY_COMPARE(list->count(), 5);

    // Library order decides the expected order of the matches.
    QStringList expected;
    for (const LocalMusicFile &file : manager->musicFiles()) {
        if (titles.contains(file.title))
            expected.append(file.title);
    }
    QCOMPARE(expected.size(), titles.size());

    auto *combo = window.findChild<QComboBox *>(QStringLiteral("searchModeCombo"));
    combo->setCurrentIndex(1);
    auto *search = window.findChild<QLineEdit *>(QStringLiteral("searchInput"));
    search->setText(keyword);
    QTest::keyClick(search, Qt::Key_Return);

    QStringList shown;
    for (const QString &text : rowTexts(list))
        shown.append(text.section(QStringLiteral(" - "), 0, 0));
    QCOMPARE(shown, expected);
    if (keyword.trimmed().isEmpty()) {
        QCOMPARE(statusText(window), QStringLiteral("显示所有本地音乐"));
    } else {
        QCOMPARE(statusText(window), QStringLiteral("搜索本地: %1").arg(keyword));
        QCOMPARE(window.findChild<QStackedWidget *>(QStringLiteral("centralStack"))->currentIndex(), 4);
    }
}

void TestLocalPage::localSongShowsItsLyrics_data()
{
    QTest::addColumn<QByteArray>("lrc"); // written beside the song; empty: no file
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("timed lyrics beside the song")
        << QByteArray("[ti:Alpha]\n[00:00.10]first\n[00:00.50]second\n") << QStringList { "first", "second" };
    QTest::newRow("plain lyrics beside the song") << QByteArray("just words\n") << QStringList { "just words" };
    QTest::newRow("no lyrics") << QByteArray() << QStringList {};
}

// A local song's lyrics come from the file beside it: the lyrics page shows them when it plays.
void TestLocalPage::localSongShowsItsLyrics()
{
    QFETCH(QByteArray, lrc);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    const QString audio = dir.filePath(QStringLiteral("song.flac"));
    QVERIFY(writeTaggedAudio({ { audio, QStringLiteral("Alpha"), QStringLiteral("Ann"), QStringLiteral("One"), 1 } }));
    if (!lrc.isEmpty()) {
        QFile file(dir.filePath(QStringLiteral("song.lrc")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lrc);
    }
    MainWindow window;
    auto *player = window.findChild<MusicPlayer *>();
    LocalMusicFile local;
    local.filePath = audio;
    local.fileName = QStringLiteral("song.flac");
    local.title = QStringLiteral("Alpha");
    local.artist = QStringLiteral("Ann");
    player->setPlaylist({ local.toSong() });
    player->play(0);

    auto *lyrics = window.findChild<LyricsWidget *>(QStringLiteral("lyricsWidget"));
    QStringList shown;
    for (const LyricLine &line : lyrics->lines())
        shown.append(line.text);
    QCOMPARE(shown, lines);
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lyricsTitle"))->text(),
        lines.isEmpty() ? QStringLiteral("未播放") : QStringLiteral("Alpha"));
    player->stop();
}

void TestLocalPage::playingARowQueuesTheShownList_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("viaMenu");
    QTest::newRow("whole library, third row") << QString() << 2 << false;
    QTest::newRow("search result, second row") << QStringLiteral("lov") << 1 << false;
    QTest::newRow("search result, menu") << QStringLiteral("lov") << 2 << true;
}

void TestLocalPage::playingARowQueuesTheShownList()
{
    QFETCH(QString, keyword);
    QFETCH(int, row);
    QFETCH(bool, viaMenu);
    MainWindow window;
    QVERIFY(scanInto(window, m_fiveFolder));
    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    auto *manager = window.findChild<LocalMusicManager *>();
    auto *player = window.findChild<MusicPlayer *>();
    QTRY_COMPARE(list->count(), 5);

    QList<LocalMusicFile> shown;
    for (const LocalMusicFile &file : manager->musicFiles()) {
        if (keyword.isEmpty() || file.title.contains(keyword, Qt::CaseInsensitive)
            || file.artist.contains(keyword, Qt::CaseInsensitive) || file.album.contains(keyword, Qt::CaseInsensitive))
            shown.append(file);
    }
    if (!keyword.isEmpty()) {
        window.findChild<QComboBox *>(QStringLiteral("searchModeCombo"))->setCurrentIndex(1);
        auto *search = window.findChild<QLineEdit *>(QStringLiteral("searchInput"));
        search->setText(keyword);
        QTest::keyClick(search, Qt::Key_Return);
    }
    QCOMPARE(list->count(), shown.size());

    QString status;
    if (viaMenu) {
        QVERIFY(triggerRowMenu(list, row, QStringLiteral("播放"), &status));
    } else {
        emit list->itemDoubleClicked(list->item(row));
        status = statusText(window);
    }

    const QList<Song> queue = player->playlist();
    QCOMPARE(queue.size(), shown.size());
    for (int i = 0; i < queue.size(); ++i) {
        QCOMPARE(queue.at(i).id, -1);
        QCOMPARE(queue.at(i).filePath, shown.at(i).filePath);
        QVERIFY(QDir::isAbsolutePath(queue.at(i).filePath));
    }
    QCOMPARE(player->currentIndex(), row);
    QCOMPARE(player->currentSong().title, shown.at(row).title);
    QCOMPARE(status, QStringLiteral("正在播放: ") + shown.at(row).title);
    player->stop();
}

void TestLocalPage::playWithBadIndexWarns()
{
    MainWindow window;
    QVERIFY(scanInto(window, m_threeFolder));
    auto *player = window.findChild<MusicPlayer *>();
    m_closer.clear();
    QMetaObject::invokeMethod(&window, "playLocalMusic", Q_ARG(int, 3));
    QVERIFY(m_closer.texts().contains(QStringLiteral("无效的歌曲索引")));
    QVERIFY(player->playlist().isEmpty());
}

void TestLocalPage::searchModeSwitch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("rows");
    QTest::newRow("to local, empty box") << QString() << 1 << QStringLiteral("切换到本地搜索") << 5;
    // A keyword left in the box is not searched by the switch: only Enter or the magnifier do.
    QTest::newRow("to local, keyword") << QStringLiteral("lov") << 1 << QStringLiteral("切换到本地搜索") << 5;
}

void TestLocalPage::searchModeSwitch()
{
    QFETCH(QString, text);
    QFETCH(int, mode);
    QFETCH(QString, status);
    QFETCH(int, rows);
    MainWindow window;
    QVERIFY(scanInto(window, m_fiveFolder));
    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    QTRY_COMPARE(list->count(), 5);
    window.findChild<QLineEdit *>(QStringLiteral("searchInput"))->setText(text);
    auto *combo = window.findChild<QComboBox *>(QStringLiteral("searchModeCombo"));
    combo->setCurrentIndex(mode);
    QCOMPARE(statusText(window), status);
    QCOMPARE(list->count(), rows);
    // Back to online with an empty box: only the message.
    window.findChild<QLineEdit *>(QStringLiteral("searchInput"))->clear();
    combo->setCurrentIndex(0);
    QCOMPARE(statusText(window), QStringLiteral("切换到网络搜索"));
}

void TestLocalPage::addAppendsOneSong()
{
    MainWindow window;
    QVERIFY(scanInto(window, m_threeFolder));
    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    auto *manager = window.findChild<LocalMusicManager *>();
    auto *player = window.findChild<MusicPlayer *>();
    QString status;
    QVERIFY(triggerRowMenu(list, 1, QStringLiteral("添加到播放列表"), &status));
    QCOMPARE(player->playlist().size(), 1);
    QCOMPARE(player->playlist().first().filePath, manager->musicFiles().at(1).filePath);
    QCOMPARE(status, QStringLiteral("已添加: ") + manager->musicFiles().at(1).title);
    // Outside the list: nothing happens, no message box.
    m_closer.clear();
    QMetaObject::invokeMethod(&window, "addLocalToPlaylist", Q_ARG(int, 7));
    QCOMPARE(player->playlist().size(), 1);
    QCOMPARE(m_closer.count(), 0);
}

void TestLocalPage::removeDropsTheChosenEntry_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("removedTitle");
    QTest::newRow("whole library") << QString() << 1 << QString();
    // The row indexes the search result; the library entry behind it must go, not the one at
    // the same position of the library.
    QTest::newRow("search result") << QStringLiteral("lov") << 1 << QStringLiteral("Sun");
}

void TestLocalPage::removeDropsTheChosenEntry()
{
    QFETCH(QString, keyword);
    QFETCH(int, row);
    QFETCH(QString, removedTitle);
    MainWindow window;
    QVERIFY(scanInto(window, m_fiveFolder));
    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    auto *manager = window.findChild<LocalMusicManager *>();
    QTRY_COMPARE(list->count(), 5);
    if (removedTitle.isEmpty())
        removedTitle = manager->musicFiles().at(row).title;
    if (!keyword.isEmpty()) {
        window.findChild<QComboBox *>(QStringLiteral("searchModeCombo"))->setCurrentIndex(1);
        auto *search = window.findChild<QLineEdit *>(QStringLiteral("searchInput"));
        search->setText(keyword);
        QTest::keyClick(search, Qt::Key_Return);
        QVERIFY(list->item(row)->text().startsWith(removedTitle + QStringLiteral(" - ")));
    }
    const int shownBefore = list->count();

    QVERIFY(triggerRowMenu(list, row, QStringLiteral("从列表中移除")));
    QCOMPARE(manager->musicFiles().size(), 4);
    for (const LocalMusicFile &file : manager->musicFiles())
        QVERIFY2(file.title != removedTitle, qPrintable(file.title));
    QTRY_COMPARE(list->count(), shownBefore - 1);
    for (const QString &text : rowTexts(list))
        QVERIFY(!text.startsWith(removedTitle + QStringLiteral(" - ")));
}

void TestLocalPage::clearEmptiesListAndKeepsScanFolder()
{
    MainWindow window;
    QVERIFY(scanInto(window, m_threeFolder));
    QSettings settings;
    QVERIFY(settings.contains(QStringLiteral("localMusic/musicFiles")));
    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));

    // Clear while a search result is shown: the cleared library must not stay listed.
    window.findChild<QComboBox *>(QStringLiteral("searchModeCombo"))->setCurrentIndex(1);
    auto *search = window.findChild<QLineEdit *>(QStringLiteral("searchInput"));
    search->setText(QStringLiteral("a"));
    QTest::keyClick(search, Qt::Key_Return);
    QVERIFY(list->count() > 0);

    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("clearLocalBtn")), Qt::LeftButton);
    QCOMPARE(list->count(), 0);
    QCOMPARE(statusText(window), QStringLiteral("本地音乐列表已清除"));
    QTRY_COMPARE(list->count(), 0);
    settings.sync();
    QVERIFY(!settings.contains(QStringLiteral("localMusic/musicFiles")));
    QVERIFY(!settings.contains(QStringLiteral("localMusic/fileCount")));
    QCOMPARE(settings.value(QStringLiteral("localMusic/scanPath")).toString(), m_threeFolder);
}

QTEST_MAIN(TestLocalPage)
#include "tst_localpage.moc"
