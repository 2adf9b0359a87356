#include "autostart.h"
#include "mainwindow.h"
#include "modalboxcloser.h"
#include "musicplayer.h"
#include "prefs_windowkit.h"
#include "testhttpserver.h"
#include "wavwriter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrlQuery>

#include <algorithm>

using namespace WindowKit;

namespace {

QString resourceText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

// The settings menu: its four preferences, the themes, start at login, auto-play, About and
// the product page.
class TestPrefs : public QObject
{
    Q_OBJECT

public slots:
    // Stands in for the desktop's browser.
    void openUrl(const QUrl &url) { m_openedUrls.append(url); }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void freshInstallation();
    void themeToggleAppliesSheetAndSaysSo_data();
    void themeToggleAppliesSheetAndSaysSo();

    void autoStartEntryAppearsAndDisappears();
    void autoStartFailureIsReportedAndNotStored();
    void startDoesNotTouchTheAutoStartEntry();
    void autoStartEntryFollowsTheRunningCopy();
    void execArgumentQuoting_data();
    void execArgumentQuoting();
    void windowsRunValueIsQuoted();

    void storedAutoPlayPlaysAfterTheCatalogueLoads();
    void catalogueReloadDoesNotInterruptPlayback();
    void autoPlayToggle_data();
    void autoPlayToggle();

    void productPageOpens();
    void aboutBox();

private:
    // A window whose catalogue has loaded from the test server.
    bool waitForCatalogue(MainWindow &window);

    QTemporaryDir m_dir;
    TestHttpServer m_server;
    QString m_localWav;
    QList<QUrl> m_openedUrls;
    ModalBoxCloser m_closer;
};

void TestPrefs::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velora"));
    QCoreApplication::setApplicationName(QStringLiteral("VeloraPlayer"));
    QVERIFY(m_dir.isValid());
    const QString media = m_dir.filePath(QStringLiteral("short.wav"));
    QVERIFY(writeWav(media, 300));
    m_localWav = m_dir.filePath(QStringLiteral("long.wav"));
    QVERIFY(writeWav(m_localWav, 3000, 8000, false));

    const QByteArray songs = QJsonDocument(QJsonArray {
                                               QJsonObject { { "id", 1 }, { "album_id", 0 }, { "title", "First" },
                                                   { "artist", "A" }, { "duration", 1 }, { "file_path", "short.wav" } },
                                               QJsonObject { { "id", 2 }, { "album_id", 0 }, { "title", "Second" },
                                                   { "artist", "B" }, { "duration", 3 }, { "file_path", "long.wav" } },
                                           })
                                 .toJson();
    m_server.setHandler([songs, media, longMedia = m_localWav](const TestHttpServer::Request &request) {
        if (request.url.path() == QLatin1String("/music/short.wav"))
            return TestHttpServer::file(media, "audio/wav");
        if (request.url.path() == QLatin1String("/music/long.wav"))
            return TestHttpServer::file(longMedia, "audio/wav");
        const QString action = QUrlQuery(request.url).queryItemValue(QStringLiteral("action"));
        if (action == QLatin1String("getSongs"))
            return TestHttpServer::json(songs);
        return TestHttpServer::json("[]");
    });
    QVERIFY(m_server.start());
    qputenv("VELORA_SERVER_URL", m_server.baseUrl().toString().toUtf8());
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    m_closer.start();
}

void TestPrefs::init()
{
    clearSettings();
    QFile::remove(AutoStart::desktopEntryPath());
    m_closer.clear();
    m_openedUrls.clear();
}

void TestPrefs::cleanup()
{
    QFile::remove(AutoStart::desktopEntryPath());
}

bool TestPrefs::waitForCatalogue(MainWindow &window)
{
    auto *songs = window.findChild<QListWidget *>(QStringLiteral("allSongsList"));
    return QTest::qWaitFor([songs] { return songs->count() == 2; }, 10000);
}

void TestPrefs::freshInstallation()
{
    MainWindow window;
    QCOMPARE(qApp->styleSheet(), resourceText(QStringLiteral(":/qss/default.css")));
    QVERIFY(!qApp->styleSheet().isEmpty());

    QAction *autoStart = menuAction(window, QStringLiteral("开机自启动"));
    QAction *autoPlay = menuAction(window, QStringLiteral("启动程序自动播放"));
    QAction *theme = menuAction(window, QStringLiteral("浅色主题"));
    QVERIFY(autoStart && autoPlay && theme);
    QVERIFY(!autoStart->isChecked());
    QVERIFY(!autoPlay->isChecked());
    QVERIFY(!theme->isChecked());
    QVERIFY(languageAction(window, QStringLiteral("zh"))->isChecked());
    QVERIFY(!languageAction(window, QStringLiteral("en"))->isChecked());
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("selectFolderBtn"))->text(), QStringLiteral("选择目录"));

    // The menu behind the settings button, in its order.
    auto *menuButton = window.findChild<QToolButton *>(QStringLiteral("menuBtn"));
    QVERIFY(menuButton->menu());
    QCOMPARE(menuButton->popupMode(), QToolButton::InstantPopup);
    QStringList entries;
    for (QAction *action : menuButton->menu()->actions())
        entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(entries,
        (QStringList { QStringLiteral("开机自启动"), QStringLiteral("启动程序自动播放"), QStringLiteral("-"),
            QStringLiteral("浅色主题"), QStringLiteral("语言"), QStringLiteral("-"), QStringLiteral("关于维洛拉") }));

    // Nothing is written until the user toggles something.
    QSettings settings;
    for (const char *key : { "autoStart", "autoPlay", "darkMode", "language" })
        QVERIFY2(!settings.contains(QLatin1String(key)), key);
}

void TestPrefs::themeToggleAppliesSheetAndSaysSo_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("sheetBefore");
    QTest::addColumn<QString>("sheetAfter");
    QTest::addColumn<QString>("message");
    // The message names the sheet that is now applied: white.css is the light one.
    QTest::newRow("dark to light") << false << QStringLiteral(":/qss/default.css") << QStringLiteral(":/qss/white.css")
                                   << QStringLiteral("已切换到浅色主题");
    QTest::newRow("light to dark") << true << QStringLiteral(":/qss/white.css") << QStringLiteral(":/qss/default.css")
                                   << QStringLiteral("已切换到深色主题");
}

void TestPrefs::themeToggleAppliesSheetAndSaysSo()
{
    QFETCH(bool, stored);
    QFETCH(QString, sheetBefore);
    QFETCH(QString, sheetAfter);
    QFETCH(QString, message);
    QSettings().setValue(QStringLiteral("darkMode"), stored);
    MainWindow window;
    QCOMPARE(qApp->styleSheet(), resourceText(sheetBefore));
    QAction *theme = menuAction(window, QStringLiteral("浅色主题"));
    QCOMPARE(theme->isChecked(), stored);

    theme->trigger();
    QCOMPARE(theme->isChecked(), !stored);
    QCOMPARE(qApp->styleSheet(), resourceText(sheetAfter));
    QCOMPARE(statusText(window), message);
    QCOMPARE(QSettings().value(QStringLiteral("darkMode")).toBool(), !stored);
    QVERIFY(resourceText(sheetBefore) != resourceText(sheetAfter));
}

void TestPrefs::autoStartEntryAppearsAndDisappears()
{
    const QString entry = AutoStart::desktopEntryPath();
    QCOMPARE(entry, QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/autostart/velora.desktop"));
    MainWindow window;
    QAction *autoStart = menuAction(window, QStringLiteral("开机自启动"));

    autoStart->trigger();
    QVERIFY(autoStart->isChecked());
    QCOMPARE(statusText(window), QStringLiteral("已开启开机自启动"));
    QVERIFY(QSettings().value(QStringLiteral("autoStart")).toBool());
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    file.close();
    QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Type=Application")));
    QVERIFY(lines.contains(QStringLiteral("Name=Velora")));
    QVERIFY(lines.contains(
        QStringLiteral("Exec=") + AutoStart::quoteExecArgument(QCoreApplication::applicationFilePath())));
    QVERIFY(AutoStart::isEnabled());

    autoStart->trigger();
    QVERIFY(!autoStart->isChecked());
    QVERIFY(!QFile::exists(entry));
    QVERIFY(!AutoStart::isEnabled());
    QCOMPARE(statusText(window), QStringLiteral("已关闭开机自启动"));
    QVERIFY(!QSettings().value(QStringLiteral("autoStart")).toBool());
}

void TestPrefs::autoStartFailureIsReportedAndNotStored()
{
    // A plain file where the autostart folder belongs: the entry cannot be written.
    const QString folder = QFileInfo(AutoStart::desktopEntryPath()).absolutePath();
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    MainWindow window;
    QAction *autoStart = menuAction(window, QStringLiteral("开机自启动"));
    m_closer.clear();
    autoStart->trigger();
    QFile::remove(folder);

    QVERIFY(!autoStart->isChecked());
    QVERIFY(!QSettings().contains(QStringLiteral("autoStart")));
    QCOMPARE(m_closer.count(), 1);
    QVERIFY(m_closer.texts().first().startsWith(QStringLiteral("无法设置开机自启动: ")));
    QVERIFY(m_closer.texts().first().contains(folder));
}

void TestPrefs::startDoesNotTouchTheAutoStartEntry()
{
    QSettings().setValue(QStringLiteral("autoStart"), true);
    {
        MainWindow window;
        QVERIFY(menuAction(window, QStringLiteral("开机自启动"))->isChecked());
    }
    QVERIFY(!QFile::exists(AutoStart::desktopEntryPath()));
}

// An entry left by another copy (the build, before an install) is moved to the copy that runs.
void TestPrefs::autoStartEntryFollowsTheRunningCopy()
{
    QVERIFY(AutoStart::setEnabled(true, QStringLiteral("/old/build/velora")).status == AutoStart::Status::Done);
    QCOMPARE(AutoStart::registeredProgram(), QStringLiteral("/old/build/velora"));
    QSettings().setValue(QStringLiteral("autoStart"), true);
    {
        MainWindow window;
        QVERIFY(menuAction(window, QStringLiteral("开机自启动"))->isChecked());
    }
    QCOMPARE(AutoStart::registeredProgram(), QCoreApplication::applicationFilePath());

    // Switched off in the settings: the entry is the user's business, nothing is rewritten.
    QVERIFY(AutoStart::setEnabled(true, QStringLiteral("/old/build/velora")).status == AutoStart::Status::Done);
    QSettings().setValue(QStringLiteral("autoStart"), false);
    {
        MainWindow window;
    }
    QCOMPARE(AutoStart::registeredProgram(), QStringLiteral("/old/build/velora"));
}

void TestPrefs::execArgumentQuoting_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << QStringLiteral("/usr/bin/velora") << QStringLiteral("\"/usr/bin/velora\"");
    QTest::newRow("blanks") << QStringLiteral("/opt/My Music/velora") << QStringLiteral("\"/opt/My Music/velora\"");
    QTest::newRow("quote, dollar, backtick")
        << QStringLiteral("/a\"b$c`d") << QStringLiteral("\"/a\\\\\"b\\\\$c\\\\`d\"");
    // A literal backslash takes four in the file: one escape for the quoting, doubled by the
    // string escaping of the value.
    QTest::newRow("backslash") << QStringLiteral("/a\\b") << QStringLiteral("\"/a\\\\\\\\b\"");
    QTest::newRow("percent") << QStringLiteral("/100%/velora") << QStringLiteral("\"/100%%/velora\"");
    QTest::newRow("line break") << QStringLiteral("/a\nb") << QStringLiteral("\"/a\\nb\"");
}

void TestPrefs::execArgumentQuoting()
{
    QFETCH(QString, path);
    QFETCH(QString, quoted);
    QCOMPARE(AutoStart::quoteExecArgument(path), quoted);
    // Read back as written: the start-up check compares the entry's program with this one.
    QCOMPARE(AutoStart::unquoteExecArgument(AutoStart::quoteExecArgument(path)), path);
    // The entry never breaks into a second line, whatever the path.
    QCOMPARE(
        AutoStart::desktopEntryText(path).count(u'\n'), AutoStart::desktopEntryText(QStringLiteral("/x")).count(u'\n'));
}

void TestPrefs::windowsRunValueIsQuoted()
{
    // Unquoted, a path with blanks would start "C:/Program" with arguments.
    const QString value = AutoStart::windowsRunValue(QStringLiteral("C:/Program Files/Velora/velora.exe"));
    QVERIFY(value.startsWith(u'"'));
    QVERIFY(value.endsWith(u'"'));
    QCOMPARE(
        value.mid(1, value.size() - 2), QDir::toNativeSeparators(QStringLiteral("C:/Program Files/Velora/velora.exe")));
}

void TestPrefs::storedAutoPlayPlaysAfterTheCatalogueLoads()
{
    QSettings().setValue(QStringLiteral("autoPlay"), true);
    MainWindow window;
    auto *player = window.findChild<MusicPlayer *>();
    QVERIFY(menuAction(window, QStringLiteral("启动程序自动播放"))->isChecked());
    QVERIFY(waitForCatalogue(window));
    QTRY_COMPARE(player->playlist().size(), 2);
    QCOMPARE(player->currentIndex(), 0);
    QCOMPARE(player->currentSong().title, QStringLiteral("First"));
    QCOMPARE(statusText(window), QStringLiteral("自动播放: First"));
    player->stop();
}

void TestPrefs::catalogueReloadDoesNotInterruptPlayback()
{
    QSettings().setValue(QStringLiteral("autoPlay"), true);
    MainWindow window;
    auto *player = window.findChild<MusicPlayer *>();
    QVERIFY(waitForCatalogue(window));
    QTRY_COMPARE(player->currentSong().title, QStringLiteral("First"));
    player->play(1);
    QTRY_COMPARE(player->playbackState(), QMediaPlayer::PlayingState);
    QCOMPARE(player->currentSong().title, QStringLiteral("Second"));

    // The logo reloads the catalogue; the auto-play check after it must leave the music alone.
    m_server.clearRequests();
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("logo")), Qt::LeftButton);
    QTRY_VERIFY(std::any_of(m_server.requests().cbegin(), m_server.requests().cend(),
        [](const auto &request) { return request.url.query().contains(QLatin1String("getSongs")); }));
    QVERIFY(waitForCatalogue(window));
    QTest::qWait(100);
    QCOMPARE(player->currentSong().title, QStringLiteral("Second"));
    QCOMPARE(player->currentIndex(), 1);
    player->stop();
}

void TestPrefs::autoPlayToggle_data()
{
    QTest::addColumn<bool>("busy");
    QTest::newRow("nothing playing") << false;
    QTest::newRow("something playing") << true;
}

void TestPrefs::autoPlayToggle()
{
    QFETCH(bool, busy);
    MainWindow window;
    auto *player = window.findChild<MusicPlayer *>();
    QVERIFY(waitForCatalogue(window));
    QVERIFY(player->playlist().isEmpty());
    Song local;
    local.id = -1;
    local.title = QStringLiteral("Local");
    local.artist = QStringLiteral("Me");
    local.filePath = m_localWav;
    if (busy) {
        player->setPlaylist({ local });
        player->play(0);
        QTRY_COMPARE(player->playbackState(), QMediaPlayer::PlayingState);
    }

    QAction *autoPlay = menuAction(window, QStringLiteral("启动程序自动播放"));
    autoPlay->trigger();
    QVERIFY(QSettings().value(QStringLiteral("autoPlay")).toBool());
    if (busy) {
        QCOMPARE(player->playlist().size(), 1);
        QCOMPARE(player->currentSong().title, QStringLiteral("Local"));
        QCOMPARE(statusText(window), QStringLiteral("已开启开机自动播放"));
    } else {
        QCOMPARE(player->playlist().size(), 2);
        QCOMPARE(player->currentIndex(), 0);
        QCOMPARE(player->currentSong().title, QStringLiteral("First"));
        QCOMPARE(statusText(window), QStringLiteral("开始播放: First"));
    }

    // Switching it off only stores and says so.
    const int queued = int(player->playlist().size());
    autoPlay->trigger();
    QVERIFY(!QSettings().value(QStringLiteral("autoPlay")).toBool());
    QCOMPARE(statusText(window), QStringLiteral("已关闭开机自动播放"));
    QCOMPARE(player->playlist().size(), queued);
    player->stop();
}

void TestPrefs::productPageOpens()
{
    MainWindow window;
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("addBtn")), Qt::LeftButton);
    QCOMPARE(m_openedUrls.size(), 1);
    QCOMPARE(m_openedUrls.first().scheme(), QStringLiteral("https"));
    QCOMPARE(m_openedUrls.first().path(), QStringLiteral("/music"));
    QCOMPARE(statusText(window), QStringLiteral("正在打开网页..."));
}

void TestPrefs::aboutBox()
{
    MainWindow window;
    m_closer.stop();
    QString title;
    QSize size;
    QStringList texts;
    bool external = false;
    QTimer poller;
    poller.setInterval(10);
    connect(&poller, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->reject(); // a catalogue error of the start, not ours
            return;
        }
        auto *dialog = qobject_cast<QDialog *>(modal);
        if (!dialog)
            return;
        title = dialog->windowTitle();
        size = dialog->size();
        for (QLabel *label : dialog->findChildren<QLabel *>()) {
            if (!label->pixmap().isNull())
                texts.append(QStringLiteral("[picture]"));
            else
                texts.append(label->text());
            external = external || label->openExternalLinks();
        }
        dialog->reject();
    });
    poller.start();
    menuAction(window, QStringLiteral("关于维洛拉"))->trigger();
    poller.stop();
    m_closer.start();

    QCOMPARE(title, QStringLiteral("关于维洛拉"));
    QCOMPARE(size, QSize(300, 200));
    QCOMPARE(texts.size(), 3);
    QCOMPARE(texts.at(0), QStringLiteral("[picture]"));
    QCOMPARE(texts.at(1), QStringLiteral("维洛拉 v1.0.0"));
    QVERIFY(texts.at(2).contains(QStringLiteral("<a href=\"https://")));
    QVERIFY(external);
}

QTEST_MAIN(TestPrefs)
#include "tst_prefs.moc"
