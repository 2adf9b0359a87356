// The main window against a catalogue server on 127.0.0.1: start-up and the load, the sidebar,
// the album and song pages, search, the charts, covers and the window chrome.
#include "mainwindow.h"

#include "modalboxcloser.h"
#include "musicplayer.h"
#include "settings.h"
#include "statusline.h"
#include "windowcatalogue.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTest>

#include <memory>

using namespace WindowTest;

namespace {

QList<int> queueIds(MusicPlayer *player)
{
    QList<int> ids;
    for (const Song &song : player->playlist())
        ids.append(song.id);
    return ids;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstLoadIsScheduled();
    void earlyLoadRunsOnceAndEndsReady();
    void failingServerEndsTheLoadWithAWarning();
    void startWithoutAWorkingServer_data();
    void startWithoutAWorkingServer();
    void albumsAndSongsAreAskedTogether();

    void tabSwitches_data();
    void tabSwitches();
    void chartsTabKeepsTheChosenChart();
    void tabClickRunsNoSearch_data();
    void tabClickRunsNoSearch();
    void persistentMessageSurvivesTabSwitch();
    void statusClearsUnlessPersistent();

    void albumDoubleClickPlaysTheAlbum();
    void songDoubleClickAppendsAndPlays();
    void logoRefreshKeepsTheQueueShown();
    void songDetailsBox();
    void search_data();
    void search();
    void magnifierRunsTheSameSearch();
    void resultsFollowTheLanguage();

    void chartRowsAndArtistPlayback_data();
    void chartRowsAndArtistPlayback();
    void songChartDoubleClick();

    void albumTilesFitThePage();
    void longStatusLeavesTheHeaderButtons();
    void emptyQueueSaysWhatToDo();
    void coversAreRoundAndOnlyRequestedWhenSet();
    void coverReplyForClearedTileDoesNothing();
    void refreshCancelsAStalledLoad();

    void exitQuestion_data();
    void exitQuestion();
    void headerDragMovesTheWindow();

private:
    MainWindow *openWindow(bool waitForLoad = true);
    MusicPlayer *player() { return m_window->findChild<MusicPlayer *>(); }
    QLabel *status() { return widget<QLabel>(m_window.get(), "statusBar"); }
    QStackedWidget *stack() { return widget<QStackedWidget>(m_window.get(), "centralStack"); }

    std::unique_ptr<WindowCatalogue> m_catalogue;
    std::unique_ptr<ModalBoxCloser> m_closer;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindow::init()
{
    m_catalogue = std::make_unique<WindowCatalogue>();
    QVERIFY(m_catalogue->start());
    m_closer = std::make_unique<ModalBoxCloser>();
    m_closer->start();
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    m_closer.reset();
    m_catalogue.reset();
}

MainWindow *TestMainWindow::openWindow(bool waitForLoad)
{
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    if (waitForLoad) {
        QListWidget *songs = list(m_window.get(), "allSongsList");
        if (!QTest::qWaitFor([&] { return m_catalogue->count(QStringLiteral("getSongs")) > 0 && songs->count() > 0; }))
            qWarning("catalogue load did not finish");
        // The language refresh at start asks for both charts; let those answers land first, so
        // that a late one cannot replace a chart or a message a test is looking at.
        QTest::qWait(300);
    }
    return m_window.get();
}

// ---- Start-up ----

void TestMainWindow::firstLoadIsScheduled()
{
    m_catalogue->useDefaultCatalogue();
    m_catalogue->setSilent(QStringLiteral("getArtistRanking"));
    m_catalogue->setSilent(QStringLiteral("getSongRanking"));
    openWindow(false);
    // Nothing of the load has happened inside the constructor.
    QVERIFY(status()->text() != QStringLiteral("加载中..."));
    QVERIFY(m_window->cursor().shape() != Qt::WaitCursor);

    QTRY_COMPARE(list(m_window.get(), "allSongsList")->count(), 3);
    QStringList catalogueActions = m_catalogue->actions();
    catalogueActions.removeAll(QStringLiteral("getArtistRanking"));
    catalogueActions.removeAll(QStringLiteral("getSongRanking"));
    catalogueActions.sort(); // asked together: either may reach the server first
    QCOMPARE(catalogueActions, QStringList({ QStringLiteral("getAlbums"), QStringLiteral("getSongs") }));
    QCOMPARE(status()->text(), QStringLiteral("加载了 3 首歌曲"));
    QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(tabTexts(m_window.get()),
        QStringList({ QStringLiteral("所有专辑 (2)"), QStringLiteral("全部歌曲 (3)"), QStringLiteral("播放列表 (0)"),
            QStringLiteral("排行榜"), QStringLiteral("本地音乐 (0)") }));
    QCOMPARE(list(m_window.get(), "albumList")->count(), 2);
    QCOMPARE(rowTexts(list(m_window.get(), "allSongsList")),
        QStringList({ QStringLiteral("Alpha - Foo  [01:01]"), QStringLiteral("Beta - Foo  [--:--]"),
            QStringLiteral("Gamma - foo  [62:05]") }));
    QCOMPARE(m_closer->count(), 0);
}

void TestMainWindow::earlyLoadRunsOnceAndEndsReady()
{
    m_catalogue->useDefaultCatalogue();
    m_catalogue->setSilent(QStringLiteral("getArtistRanking"));
    m_catalogue->setSilent(QStringLiteral("getSongRanking"));
    openWindow(false);
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "loadData"));
    QCOMPARE(status()->text(), QStringLiteral("加载中..."));
    QCOMPARE(m_window->cursor().shape(), Qt::WaitCursor);

    QTRY_COMPARE(status()->text(), QStringLiteral("加载了 3 首歌曲"));
    QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
    // The scheduled call finds the catalogue loaded and skips; so does a later one.
    QTest::qWait(300);
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "loadData"));
    QTest::qWait(100);
    QCOMPARE(m_catalogue->count(QStringLiteral("getAlbums")), 1);
    QCOMPARE(m_catalogue->count(QStringLiteral("getSongs")), 1);

    // The logo starts the catalogue again.
    QTest::mouseClick(widget<QPushButton>(m_window.get(), "logo"), Qt::LeftButton);
    QTRY_COMPARE(m_catalogue->count(QStringLiteral("getSongs")), 2);
    QTRY_COMPARE(list(m_window.get(), "albumList")->count(), 2);
    QTRY_COMPARE(list(m_window.get(), "allSongsList")->count(), 3);
}

void TestMainWindow::failingServerEndsTheLoadWithAWarning()
{
    m_catalogue->setFailing(true);
    openWindow(false);
    // The notice says "loading" first, then what failed.
    QTRY_VERIFY(widget<QLabel>(m_window.get(), "albumNoticeText")->text().contains(QStringLiteral("错误状态 500")));
    QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(list(m_window.get(), "albumList")->count(), 0);
    QCOMPARE(list(m_window.get(), "allSongsList")->count(), 0);
    // Said on both pages, naming the server and what failed (it answered 500), with a Retry
    // button; no box has to be dismissed first.
    const QString address = m_catalogue->baseUrl().toString();
    for (const char *name : { "albumNoticeText", "songsNoticeText" }) {
        const QString text = widget<QLabel>(m_window.get(), name)->text();
        QVERIFY2(text.contains(address) && text.contains(QStringLiteral("错误状态 500")), qPrintable(text));
    }
    QVERIFY(status()->text().contains(QStringLiteral("错误状态 500")));
    QCOMPARE(m_closer->count(), 0);
    auto *retry = widget<QPushButton>(m_window.get(), "albumNoticeButton");
    QVERIFY(retry->isVisible());
    QCOMPARE(retry->text(), QStringLiteral("重试"));
    QCOMPARE(tab(m_window.get(), 1)->text(), QStringLiteral("全部歌曲 (0)"));

    // The empty catalogue counts as loaded: play has nothing to offer.
    QTest::mouseClick(widget<QPushButton>(m_window.get(), "playBtn"), Qt::LeftButton);
    QTRY_COMPARE(m_closer->texts(), QStringList(QStringLiteral("没有可播放的歌曲，请先刷新数据")));
    QVERIFY(player()->playlist().isEmpty());

    // The server is back: Retry fills both pages and the notices go.
    m_catalogue->setFailing(false);
    m_catalogue->useDefaultCatalogue();
    QTest::mouseClick(retry, Qt::LeftButton);
    QTRY_COMPARE(list(m_window.get(), "albumList")->count(), 2);
    QTRY_COMPARE(list(m_window.get(), "allSongsList")->count(), 3);
    QTRY_VERIFY(widget<QWidget>(m_window.get(), "albumNotice")->isHidden());
    QVERIFY(widget<QWidget>(m_window.get(), "songsNotice")->isHidden());
}

// A server that takes no requests, one that takes them and says nothing, and one that answers
// something else than a catalogue: each start ends soon, saying which, with a Retry button.
void TestMainWindow::startWithoutAWorkingServer_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("said");
    QTest::newRow("nothing listens") << "closed"
                                     << "连接被拒绝";
    QTest::newRow("accepts, never answers") << "silent"
                                            << "没有应答";
    QTest::newRow("not a catalogue") << "html"
                                     << "不是音乐目录数据";
}

void TestMainWindow::startWithoutAWorkingServer()
{
    QFETCH(QString, server);
    QFETCH(QString, said);
    QTcpServer raw;
    TestHttpServer http;
    QVERIFY(raw.listen(QHostAddress::LocalHost));
    QUrl url(QStringLiteral("http://127.0.0.1:%1").arg(raw.serverPort()));
    if (server == QLatin1String("closed")) {
        raw.close();
    } else if (server == QLatin1String("html")) {
        QVERIFY(http.start());
        http.setHandler([](const TestHttpServer::Request &) {
            TestHttpServer::Response page = TestHttpServer::json("<html><body>It works!</body></html>");
            page.contentType = "text/html";
            return page;
        });
        url = http.baseUrl();
    }
    qputenv("VELORA_SERVER_URL", url.toString().toUtf8());
    qputenv("VELORA_SERVER_ANSWER_MS", "500");
    openWindow(false);
    qunsetenv("VELORA_SERVER_ANSWER_MS");
    auto *text = widget<QLabel>(m_window.get(), "albumNoticeText");
    QTRY_VERIFY_WITH_TIMEOUT(text->text().contains(said), 15000);
    QVERIFY2(text->text().contains(url.toString()), qPrintable(text->text()));
    QVERIFY(widget<QPushButton>(m_window.get(), "albumNoticeButton")->isVisible());
    QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(m_closer->count(), 0);
}

// Albums and songs are asked for together, so a server that never answers costs one wait.
void TestMainWindow::albumsAndSongsAreAskedTogether()
{
    m_catalogue->useDefaultCatalogue();
    m_catalogue->setSilent(QStringLiteral("getAlbums"));
    m_catalogue->setSilent(QStringLiteral("getSongs"));
    openWindow(false);
    QTRY_VERIFY(m_catalogue->actions().contains(QStringLiteral("getAlbums"))
        && m_catalogue->actions().contains(QStringLiteral("getSongs")));
    // Neither has answered; the pages say what is going on meanwhile.
    QCOMPARE(status()->text(), QStringLiteral("加载中..."));
    QVERIFY(widget<QLabel>(m_window.get(), "albumNoticeText")->text().contains(m_catalogue->baseUrl().toString()));
}

// ---- Sidebar ----

void TestMainWindow::tabSwitches_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("searchMode");
    QTest::newRow("albums") << 0 << "已经切换到所有专辑" << 0;
    QTest::newRow("songs") << 1 << "已经切换到全部歌曲" << 0;
    QTest::newRow("playlist") << 2 << "已经切换到播放列表" << 0;
    QTest::newRow("charts") << 3 << "已经切换到排行榜" << 0;
    // The local tab changes the search mode silently: the switch message stays.
    QTest::newRow("local") << 4 << "已经切换到本地音乐" << 1;
}

void TestMainWindow::tabSwitches()
{
    QFETCH(int, index);
    QFETCH(QString, message);
    QFETCH(int, searchMode);
    m_catalogue->useDefaultCatalogue();
    openWindow();
    QTest::mouseClick(tab(m_window.get(), index), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), index);
    QVERIFY(tab(m_window.get(), index)->isChecked());
    if (!message.isEmpty())
        QCOMPARE(status()->text(), message);
    QCOMPARE(widget<QComboBox>(m_window.get(), "searchModeCombo")->currentIndex(), searchMode);
    // Back to the first tab: online search again.
    QTest::mouseClick(tab(m_window.get(), 0), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 0);
    QCOMPARE(widget<QComboBox>(m_window.get(), "searchModeCombo")->currentIndex(), 0);
}

void TestMainWindow::chartsTabKeepsTheChosenChart()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    auto *selector = widget<QComboBox>(m_window.get(), "rankingTypeSelector");
    QListWidget *chart = list(m_window.get(), "rankingList");
    QTest::mouseClick(tab(m_window.get(), 3), Qt::LeftButton);
    selector->setCurrentIndex(1);
    QTRY_COMPARE(chart->item(0) ? chart->item(0)->text() : QString(), QStringLiteral("1. Gamma - foo  (播放: 40)"));
    QTest::mouseClick(tab(m_window.get(), 0), Qt::LeftButton);
    m_catalogue->clear();
    // Back on the charts: the song chart the selector shows is asked for again, not the artists.
    QTest::mouseClick(tab(m_window.get(), 3), Qt::LeftButton);
    QTRY_COMPARE(m_catalogue->actions(), QStringList(QStringLiteral("getSongRanking")));
    QCOMPARE(selector->currentIndex(), 1);
    QCOMPARE(selector->currentText(), QStringLiteral("歌曲排行"));
    QTRY_COMPARE(chart->item(0)->text(), QStringLiteral("1. Gamma - foo  (播放: 40)"));
    // The artist chart likewise.
    selector->setCurrentIndex(0);
    QTRY_COMPARE(chart->item(0)->text(), QStringLiteral("1. Foo  (歌曲: 12  播放: 3456)"));
    m_catalogue->clear();
    QTest::mouseClick(tab(m_window.get(), 3), Qt::LeftButton);
    QTRY_COMPARE(m_catalogue->actions(), QStringList(QStringLiteral("getArtistRanking")));
}

// Text left in the box is searched only on Enter or the magnifier: neither a tab click, nor a
// change of mode, nor a language switch runs it in whatever mode the box now has.
void TestMainWindow::tabClickRunsNoSearch_data()
{
    QTest::addColumn<int>("fromTab");
    QTest::addColumn<int>("toTab");
    QTest::newRow("local to queue") << 4 << 2;
    QTest::newRow("albums to local") << 0 << 4;
    QTest::newRow("songs to charts") << 1 << 3;
}

void TestMainWindow::tabClickRunsNoSearch()
{
    QFETCH(int, fromTab);
    QFETCH(int, toTab);
    m_catalogue->useDefaultCatalogue();
    m_catalogue->setSilent(QStringLiteral("getArtistRanking"));
    m_catalogue->setSilent(QStringLiteral("getSongRanking"));
    openWindow();
    QTest::mouseClick(tab(m_window.get(), fromTab), Qt::LeftButton);
    widget<QLineEdit>(m_window.get(), "searchInput")->setText(QStringLiteral("rock"));
    m_catalogue->clear();
    QTest::mouseClick(tab(m_window.get(), toTab), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), toTab);
    auto *mode = widget<QComboBox>(m_window.get(), "searchModeCombo");
    mode->setCurrentIndex(1 - mode->currentIndex());
    // The language refresh refills the mode box too.
    QAction *chinese = nullptr;
    for (QAction *action : m_window->findChildren<QAction *>()) {
        if (action->data().toString() == QLatin1String("zh"))
            chinese = action;
    }
    QVERIFY(chinese);
    chinese->trigger();
    QTest::qWait(200);
    QVERIFY2(!m_catalogue->actions().contains(QStringLiteral("search")), qPrintable(m_catalogue->actions().join(',')));
    QCOMPARE(stack()->currentIndex(), toTab);
    QCOMPARE(list(m_window.get(), "allSongsList")->count(), 3);
}

void TestMainWindow::persistentMessageSurvivesTabSwitch()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    QVERIFY(QMetaObject::invokeMethod(
        m_window.get(), "showToast", Q_ARG(QString, QStringLiteral("保持")), Q_ARG(bool, false), Q_ARG(bool, true)));
    QTest::mouseClick(tab(m_window.get(), 1), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 1);
    QCOMPARE(status()->text(), QStringLiteral("保持"));
    QTest::mouseClick(tab(m_window.get(), 2), Qt::LeftButton);
    QCOMPARE(status()->text(), QStringLiteral("保持"));
}

void TestMainWindow::statusClearsUnlessPersistent()
{
    m_catalogue->useDefaultCatalogue();
    m_catalogue->setSilent(QStringLiteral("getArtistRanking"));
    m_catalogue->setSilent(QStringLiteral("getSongRanking"));
    openWindow();
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "showToast", Q_ARG(QString, QStringLiteral("一会儿"))));
    QCOMPARE(status()->text(), QStringLiteral("一会儿"));
    QTRY_COMPARE_WITH_TIMEOUT(status()->text(), QString(), 10000);

    QVERIFY(QMetaObject::invokeMethod(
        m_window.get(), "showToast", Q_ARG(QString, QStringLiteral("一直")), Q_ARG(bool, false), Q_ARG(bool, true)));
    QTest::qWait(3500);
    QCOMPARE(status()->text(), QStringLiteral("一直"));
}

// ---- Albums and songs ----

void TestMainWindow::albumDoubleClickPlaysTheAlbum()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    QSignalSpy states(player(), &MusicPlayer::playbackStateChanged);
    QListWidget *albums = list(m_window.get(), "albumList");
    QCOMPARE(albums->item(0)->text(), QStringLiteral("First (2)\nFoo"));
    QCOMPARE(albums->item(0)->data(Qt::UserRole).toInt(), 1);
    emit albums->itemDoubleClicked(albums->item(0));

    QTRY_COMPARE(queueIds(player()), QList<int>({ 11, 12 }));
    QCOMPARE(player()->currentIndex(), 0);
    QCOMPARE(status()->text(), QStringLiteral("正在播放专辑"));
    // The album's songs show under its name; the All Songs list stays whole.
    QCOMPARE(stack()->currentIndex(), 6);
    QCOMPARE(widget<QLabel>(m_window.get(), "resultsHeading")->text(), QStringLiteral("专辑: First"));
    QCOMPARE(rowTexts(list(m_window.get(), "resultsList")),
        QStringList({ QStringLiteral("Alpha - Foo  [01:01]"), QStringLiteral("Beta - Foo  [--:--]") }));
    QCOMPARE(list(m_window.get(), "allSongsList")->count(), 3);
    QCOMPARE(rowTexts(list(m_window.get(), "playlistList")),
        QStringList({ QStringLiteral("Alpha - Foo  [01:01]"), QStringLiteral("Beta - Foo  [--:--]") }));
    QCOMPARE(tab(m_window.get(), 2)->text(), QStringLiteral("播放列表 (2)"));
    // Played for real: the media was fetched, playback started and the play was counted.
    QTRY_VERIFY(m_catalogue->targets().contains(QStringLiteral("/music/audio/a.wav")));
    QTRY_VERIFY(states.contains(QVariantList { QVariant::fromValue(QMediaPlayer::PlayingState) }));
    QTRY_VERIFY(m_catalogue->targets().contains(QStringLiteral("/music/api.php?action=incrementPlayCount&id=11")));
    QCOMPARE(widget<QLabel>(m_window.get(), "currentSongLabel")->text(), QStringLiteral("Alpha（Foo）"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("维洛拉 - Alpha"));
    QCOMPARE(list(m_window.get(), "allSongsList")->item(0)->background().color(), QColor(QStringLiteral("#e8f8f2")));
    QCOMPARE(list(m_window.get(), "allSongsList")->item(1)->background().color(), QColor(Qt::transparent));
    QCOMPARE(m_closer->count(), 0);
}

void TestMainWindow::songDoubleClickAppendsAndPlays()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    QListWidget *songs = list(m_window.get(), "allSongsList");
    emit songs->itemDoubleClicked(songs->item(2));
    QCOMPARE(queueIds(player()), QList<int>({ 13 }));
    QCOMPARE(player()->currentIndex(), 0);
    QCOMPARE(status()->text(), QStringLiteral("已添加: Gamma"));
    // The same song again: appended once more and the new last entry plays.
    emit songs->itemDoubleClicked(songs->item(2));
    QCOMPARE(queueIds(player()), QList<int>({ 13, 13 }));
    QCOMPARE(player()->currentIndex(), 1);
    QTRY_COMPARE(list(m_window.get(), "playlistList")->count(), 2);
    QTRY_COMPARE(
        list(m_window.get(), "playlistList")->item(1)->background().color(), QColor(QStringLiteral("#e8f8f2")));

    // A row whose id is not in the catalogue does nothing.
    auto *stray = new QListWidgetItem(QStringLiteral("stray"));
    stray->setData(Qt::UserRole, 999);
    songs->addItem(stray);
    emit songs->itemDoubleClicked(stray);
    QCOMPARE(queueIds(player()), QList<int>({ 13, 13 }));
}

void TestMainWindow::logoRefreshKeepsTheQueueShown()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    QListWidget *albums = list(m_window.get(), "albumList");
    emit albums->itemDoubleClicked(albums->item(0));
    QTRY_COMPARE(list(m_window.get(), "playlistList")->count(), 2);
    QTest::mouseClick(widget<QPushButton>(m_window.get(), "logo"), Qt::LeftButton);
    QCOMPARE(albums->count(), 0);
    QCOMPARE(list(m_window.get(), "allSongsList")->count(), 0);
    // The queue is not part of the catalogue: its page still shows what plays.
    QCOMPARE(list(m_window.get(), "playlistList")->count(), 2);
    QCOMPARE(queueIds(player()), QList<int>({ 11, 12 }));
    QTRY_COMPARE(albums->count(), 2);
}

void TestMainWindow::songDetailsBox()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    Song song;
    song.id = 11;
    song.title = QStringLiteral("Alpha");
    song.artist = QStringLiteral("Foo %1");
    song.duration = 61;
    song.playCount = 5;
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "showSongDetail", Q_ARG(Song, song)));
    QCOMPARE(m_closer->titles(), QStringList(QStringLiteral("歌曲详情")));
    QCOMPARE(m_closer->texts(),
        QStringList(
            QStringLiteral("歌曲详情\n━━━━━━━━━━━━━━━━━━\n标题: Alpha\n艺术家: Foo %1\n时长: 01:01\n播放次数: 5\n")));
}

void TestMainWindow::search_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("heading");
    QTest::newRow("trimmed") << "  alp  "
                             << "/music/api.php?action=search&q=alp"
                             << QStringList { QStringLiteral("Alpha - Foo  [01:01]") } << "找到 1 首歌曲"
                             << "搜索: alp (1)";
    QTest::newRow("blank inside kept") << "a b&c"
                                       << "/music/api.php?action=search&q=a%20b%26c" << QStringList()
                                       << "未找到匹配的歌曲"
                                       << "搜索: a b&c (0)";
    QTest::newRow("nothing found") << "zzzqqq"
                                   << "/music/api.php?action=search&q=zzzqqq" << QStringList() << "未找到匹配的歌曲"
                                   << "搜索: zzzqqq (0)";
    // Blanks only show every song again.
    QTest::newRow("blanks only") << "   "
                                 << "/music/api.php?action=getSongs"
                                 << QStringList { QStringLiteral("Alpha - Foo  [01:01]"),
                                        QStringLiteral("Beta - Foo  [--:--]"), QStringLiteral("Gamma - foo  [62:05]") }
                                 << "加载了 3 首歌曲" << QString();
}

void TestMainWindow::search()
{
    QFETCH(QString, input);
    QFETCH(QString, request);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);
    QFETCH(QString, heading);
    m_catalogue->useDefaultCatalogue();
    m_catalogue->setSilent(QStringLiteral("getArtistRanking"));
    m_catalogue->setSilent(QStringLiteral("getSongRanking"));
    openWindow();
    m_catalogue->clear();
    m_closer->clear();
    auto *input_ = widget<QLineEdit>(m_window.get(), "searchInput");
    input_->setText(input);
    status()->clear();
    QTest::keyClick(input_, Qt::Key_Return);
    QTRY_COMPARE(status()->text(), message);
    QCOMPARE(m_catalogue->targets(), QStringList(request));
    // Nothing found is no reason for a box to dismiss.
    QCOMPARE(m_closer->count(), 0);
    const QStringList allSongs { QStringLiteral("Alpha - Foo  [01:01]"), QStringLiteral("Beta - Foo  [--:--]"),
        QStringLiteral("Gamma - foo  [62:05]") };
    if (heading.isEmpty()) {
        QCOMPARE(stack()->currentIndex(), 1);
        QTRY_COMPARE(rowTexts(list(m_window.get(), "allSongsList")), rows);
        return;
    }
    // Results are a page of their own; the All Songs list and its tab keep every song.
    QCOMPARE(stack()->currentIndex(), 6);
    QCOMPARE(widget<QLabel>(m_window.get(), "resultsHeading")->text(), heading);
    QCOMPARE(rowTexts(list(m_window.get(), "resultsList")), rows);
    QCOMPARE(widget<QLabel>(m_window.get(), "resultsNotice")->isVisible(), rows.isEmpty());
    if (rows.isEmpty())
        QVERIFY(widget<QLabel>(m_window.get(), "resultsNotice")->text().contains(input.trimmed()));
    QCOMPARE(rowTexts(list(m_window.get(), "allSongsList")), allSongs);
    QCOMPARE(tab(m_window.get(), 1)->text(), QStringLiteral("全部歌曲 (3)"));
    // Back returns to the page the search started from; the All Songs tab shows all songs.
    QTest::mouseClick(widget<QPushButton>(m_window.get(), "resultsBackBtn"), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 0);
    QTest::mouseClick(tab(m_window.get(), 1), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 1);
    QCOMPARE(rowTexts(list(m_window.get(), "allSongsList")), allSongs);
}

void TestMainWindow::magnifierRunsTheSameSearch()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    auto *input = widget<QLineEdit>(m_window.get(), "searchInput");
    auto *magnifier = input->findChild<QPushButton *>();
    QVERIFY(magnifier);
    QTRY_VERIFY(magnifier->geometry().right() <= input->width());
    input->setText(QStringLiteral("gam"));
    m_catalogue->clear();
    QTest::mouseClick(magnifier, Qt::LeftButton);
    QTRY_COMPARE(m_catalogue->targets(), QStringList(QStringLiteral("/music/api.php?action=search&q=gam")));
    QTRY_COMPARE(rowTexts(list(m_window.get(), "resultsList")), QStringList(QStringLiteral("Gamma - foo  [62:05]")));
    QCOMPARE(stack()->currentIndex(), 6);
}

// The heading and the notice of the results page are rebuilt in the new language.
void TestMainWindow::resultsFollowTheLanguage()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    auto *input = widget<QLineEdit>(m_window.get(), "searchInput");
    input->setText(QStringLiteral("zzzqqq"));
    QTest::keyClick(input, Qt::Key_Return);
    auto *heading = widget<QLabel>(m_window.get(), "resultsHeading");
    QTRY_COMPARE(heading->text(), QStringLiteral("搜索: zzzqqq (0)"));
    QAction *english = nullptr;
    for (QAction *action : m_window->findChildren<QAction *>()) {
        if (action->data().toString() == QLatin1String("en"))
            english = action;
    }
    QVERIFY(english);
    english->trigger();
    QCOMPARE(heading->text(), QStringLiteral("Search: zzzqqq (0)"));
    QVERIFY(widget<QLabel>(m_window.get(), "resultsNotice")->text().startsWith(QStringLiteral("No songs match")));
    QCOMPARE(widget<QPushButton>(m_window.get(), "resultsBackBtn")->text(), QStringLiteral("← Back"));
    // The stored language must not reach the next test's window.
    Settings().setLanguage(QStringLiteral("zh"));
}

// ---- Charts ----

void TestMainWindow::chartRowsAndArtistPlayback_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QList<int>>("queue");
    QTest::addColumn<QString>("message");
    QTest::newRow("Foo") << 0 << QList<int> { 11, 12 } << "正在播放 Foo 的歌曲";
    // Names that differ only in case are different artists.
    QTest::newRow("foo") << 1 << QList<int> { 13 } << "正在播放 foo 的歌曲";
    QTest::newRow("artist without songs") << 2 << QList<int>() << "歌手 Nobody 没有歌曲";
}

void TestMainWindow::chartRowsAndArtistPlayback()
{
    QFETCH(int, row);
    QFETCH(QList<int>, queue);
    QFETCH(QString, message);
    m_catalogue->useDefaultCatalogue();
    openWindow();
    QTest::mouseClick(tab(m_window.get(), 3), Qt::LeftButton);
    QListWidget *ranking = list(m_window.get(), "rankingList");
    QTRY_COMPARE(rowTexts(ranking),
        QStringList({ QStringLiteral("1. Foo  (歌曲: 12  播放: 3456)"), QStringLiteral("2. foo  (歌曲: 1  播放: 7)"),
            QStringLiteral("3. Nobody  (歌曲: 0  播放: 0)") }));
    QTRY_COMPARE(status()->text(), QStringLiteral("共 3 位歌手"));
    m_closer->clear();
    emit ranking->itemDoubleClicked(ranking->item(row));
    QCOMPARE(queueIds(player()), queue);
    if (queue.isEmpty()) {
        QTRY_COMPARE(m_closer->texts(), QStringList(message));
    } else {
        QCOMPARE(status()->text(), message);
        QCOMPARE(player()->currentIndex(), 0);
        QCOMPARE(list(m_window.get(), "playlistList")->count(), queue.size());
    }
}

void TestMainWindow::songChartDoubleClick()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    QTest::mouseClick(tab(m_window.get(), 3), Qt::LeftButton);
    widget<QComboBox>(m_window.get(), "rankingTypeSelector")->setCurrentIndex(1);
    QListWidget *ranking = list(m_window.get(), "rankingList");
    const QStringList songRows { QStringLiteral("1. Gamma - foo  (播放: 40)"),
        QStringLiteral("2. Alpha - Foo  (播放: 5)"), QStringLiteral("3. Gone - Ghost  (播放: 1)") };
    QTRY_COMPARE(rowTexts(ranking), songRows);
    emit ranking->itemDoubleClicked(ranking->item(1));
    QCOMPARE(queueIds(player()), QList<int>({ 11 }));
    QCOMPARE(player()->currentIndex(), 0);
    QCOMPARE(status()->text(), QStringLiteral("已添加: Alpha"));
    emit ranking->itemDoubleClicked(ranking->item(0));
    QCOMPARE(queueIds(player()), QList<int>({ 11, 13 }));
    QCOMPARE(player()->currentIndex(), 1);
    // A charted song that is not in the catalogue does nothing.
    emit ranking->itemDoubleClicked(ranking->item(2));
    QCOMPARE(queueIds(player()), QList<int>({ 11, 13 }));
}

// ---- Covers ----

// A long album name is elided on its tile and whole in the tool tip; the grid's columns share
// the page's width, whatever the width.
void TestMainWindow::albumTilesFitThePage()
{
    const QString longName = QStringLiteral("An Album Whose Name Goes On And On Far Beyond Any Tile");
    m_catalogue->useDefaultCatalogue();
    m_catalogue->setReply(QStringLiteral("getAlbums"),
        QStringLiteral(R"([{"id": 5, "name": "%1", "artist": "Foo", "song_count": 12}])").arg(longName).toUtf8());
    openWindow();
    QListWidget *albums = list(m_window.get(), "albumList");
    QTRY_COMPARE(albums->count(), 1);
    const QStringList lines = albums->item(0)->text().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.first().endsWith(QStringLiteral("… (12)")), qPrintable(lines.first()));
    QVERIFY(albums->fontMetrics().horizontalAdvance(lines.first()) <= 150);
    QCOMPARE(lines.last(), QStringLiteral("Foo"));
    QVERIFY(albums->item(0)->toolTip().contains(longName));

    for (const int width : { 960, 1237, 700 }) {
        m_window->resize(width, m_window->height());
        QTRY_VERIFY2(
            [albums] {
                const int viewport = albums->viewport()->width();
                const int cell = albums->gridSize().width();
                const int columns = viewport / qMax(1, cell);
                return cell >= 160 && columns >= 1 && viewport - columns * cell < columns;
            }(),
            qPrintable(QStringLiteral("viewport %1, cell %2")
                           .arg(albums->viewport()->width())
                           .arg(albums->gridSize().width())));
    }
}

// A message longer than the header's free room is elided; the header's buttons keep their width.
void TestMainWindow::longStatusLeavesTheHeaderButtons()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    const QString message = QStringLiteral("无法连接服务器 http://127.0.0.1:1: 连接被拒绝，服务器可能没有运行。"
                                           "请确认服务器已启动且地址正确，然后重试。");
    QVERIFY(QMetaObject::invokeMethod(
        m_window.get(), "showToast", Q_ARG(QString, message), Q_ARG(bool, false), Q_ARG(bool, true)));
    auto *line = m_window->findChild<StatusLine *>();
    QVERIFY(line);
    QCOMPARE(status()->text(), message);
    QCOMPARE(status()->toolTip(), message);
    QTRY_VERIFY(line->shownText().endsWith(QStringLiteral("…")));
    for (const char *name : { "addBtn", "menuBtn", "minBtn", "closeBtn" }) {
        auto *button = m_window->findChild<QAbstractButton *>(QLatin1String(name));
        QVERIFY2(button->width() >= button->sizeHint().width(), name);
    }
    QVERIFY(status()->geometry().right() < widget<QPushButton>(m_window.get(), "addBtn")->geometry().left());
}

void TestMainWindow::emptyQueueSaysWhatToDo()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    auto *notice = widget<QLabel>(m_window.get(), "queueNoticeText");
    QVERIFY(notice);
    QTest::mouseClick(tab(m_window.get(), 2), Qt::LeftButton);
    QTRY_VERIFY(notice->isVisible());
    QVERIFY(notice->text().contains(QStringLiteral("双击")));
    QListWidget *songs = list(m_window.get(), "allSongsList");
    emit songs->itemDoubleClicked(songs->item(0));
    QTRY_VERIFY(!notice->isVisible());
}

void TestMainWindow::coversAreRoundAndOnlyRequestedWhenSet()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    QListWidget *albums = list(m_window.get(), "albumList");
    const auto coverPixel
        = [albums](int x, int y) { return albums->item(0)->icon().pixmap(QSize(100, 100)).toImage().pixelColor(x, y); };
    // The wide cover fills the circle from its middle.
    QTRY_COMPARE(coverPixel(50, 25), QColor(Qt::red));
    QCOMPARE(coverPixel(50, 75), QColor(Qt::red));
    QCOMPARE(coverPixel(3, 3).alpha(), 0);
    QCOMPARE(m_catalogue->targets().filter(QStringLiteral("/music/covers/")),
        QStringList(QStringLiteral("/music/covers/one.png")));
    QCOMPARE(m_catalogue->server().requests().last().headers.value("user-agent"), QByteArray("Velora/1.0"));
}

void TestMainWindow::coverReplyForClearedTileDoesNothing()
{
    m_catalogue->useDefaultCatalogue();
    m_catalogue->setSilent(QStringLiteral("getArtistRanking"));
    m_catalogue->setSilent(QStringLiteral("getSongRanking"));
    bool refreshed = false;
    // The grid is emptied (logo refresh) after the cover was asked for and before it arrives.
    connect(&m_catalogue->server(), &TestHttpServer::requestReceived, this,
        [this, &refreshed](const TestHttpServer::Request &request) {
            if (!refreshed && request.url.path().startsWith(QLatin1String("/music/covers/"))) {
                refreshed = true;
                // The refresh's own load gets no answer, so the pages stay empty.
                m_catalogue->setSilent(QStringLiteral("getAlbums"));
                m_catalogue->setSilent(QStringLiteral("getSongs"));
                widget<QPushButton>(m_window.get(), "logo")->click();
            }
        });
    openWindow(false);
    QTRY_VERIFY(refreshed);
    QCOMPARE(list(m_window.get(), "albumList")->count(), 0);
    QTRY_VERIFY(m_catalogue->targets().contains(QStringLiteral("/music/covers/one.png")));
    QTest::qWait(200);
    QCOMPARE(list(m_window.get(), "albumList")->count(), 0);
    QCOMPARE(list(m_window.get(), "allSongsList")->count(), 0);
    // A fresh load after it gives the grid its tiles and the cover again.
    m_catalogue->setAnswering(QStringLiteral("getAlbums"));
    m_catalogue->setAnswering(QStringLiteral("getSongs"));
    widget<QPushButton>(m_window.get(), "logo")->click();
    QTRY_COMPARE(list(m_window.get(), "albumList")->count(), 2);
    QTRY_COMPARE(
        list(m_window.get(), "albumList")->item(0)->icon().pixmap(QSize(100, 100)).toImage().pixelColor(50, 25),
        QColor(Qt::red));
}

// A server that never finishes the song list must not keep the logo from starting again.
void TestMainWindow::refreshCancelsAStalledLoad()
{
    m_catalogue->useDefaultCatalogue();
    m_catalogue->setSilent(QStringLiteral("getSongs"));
    openWindow(false);
    QTRY_COMPARE(m_catalogue->count(QStringLiteral("getSongs")), 1);
    QCOMPARE(list(m_window.get(), "allSongsList")->count(), 0);

    m_catalogue->setAnswering(QStringLiteral("getSongs"));
    widget<QPushButton>(m_window.get(), "logo")->click();
    QTRY_COMPARE(m_catalogue->count(QStringLiteral("getAlbums")), 2);
    QTRY_COMPARE(list(m_window.get(), "allSongsList")->count(), 3);
    QTRY_COMPARE(list(m_window.get(), "albumList")->count(), 2);
}

// ---- Chrome ----

void TestMainWindow::exitQuestion_data()
{
    QTest::addColumn<bool>("playing");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("text");
    QTest::newRow("idle, no") << false << int(QMessageBox::No) << "确定要退出程序吗？";
    QTest::newRow("idle, yes") << false << int(QMessageBox::Yes) << "确定要退出程序吗？";
    QTest::newRow("playing, no") << true << int(QMessageBox::No) << "当前正在播放: Long - Foo\n\n确定要退出吗？";
    QTest::newRow("playing, yes") << true << int(QMessageBox::Yes) << "当前正在播放: Long - Foo\n\n确定要退出吗？";
}

void TestMainWindow::exitQuestion()
{
    QFETCH(bool, playing);
    QFETCH(int, answer);
    QFETCH(QString, text);
    const QString longSong = m_catalogue->addSong(QStringLiteral("long.wav"), 1500);
    m_catalogue->setReply(QStringLiteral("getSongs"),
        QStringLiteral(R"([{"id": 5, "title": "Long", "artist": "Foo", "duration": 2, "file_path": "%1"}])")
            .arg(longSong)
            .toUtf8());
    openWindow();
    if (playing) {
        QTest::mouseClick(widget<QPushButton>(m_window.get(), "playBtn"), Qt::LeftButton);
        QTRY_COMPARE(player()->playbackState(), QMediaPlayer::PlayingState);
    }
    m_closer->clear();
    m_closer->setAnswer(QMessageBox::StandardButton(answer));
    const bool closed = m_window->close();
    QCOMPARE(m_closer->texts(), QStringList(text));
    QCOMPARE(m_closer->titles(), QStringList(QStringLiteral("温馨提示")));
    QCOMPARE(closed, answer == QMessageBox::Yes);
    QCOMPARE(m_window->isVisible(), answer != QMessageBox::Yes);
    if (playing) {
        QCOMPARE(player()->playbackState() == QMediaPlayer::PlayingState, answer == QMessageBox::No);
    }
}

void TestMainWindow::headerDragMovesTheWindow()
{
    m_catalogue->useDefaultCatalogue();
    openWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    auto *label = widget<QLabel>(m_window.get(), "statusBar");
    const QPoint start = label->mapTo(m_window.get(), label->rect().center());
    const QPoint before = m_window->pos();
    QTest::mousePress(m_window.get(), Qt::LeftButton, {}, start);
    QTest::mouseMove(m_window.get(), start + QPoint(30, 20));
    QTest::mouseRelease(m_window.get(), Qt::LeftButton, {}, start + QPoint(30, 20));
    QTRY_COMPARE(m_window->pos(), before + QPoint(30, 20));

    // A press on a page list does not move it.
    QListWidget *albums = list(m_window.get(), "albumList");
    const QPoint inList = albums->mapTo(m_window.get(), QPoint(5, 5));
    const QPoint now = m_window->pos();
    QTest::mousePress(m_window.get(), Qt::LeftButton, {}, inList);
    QTest::mouseMove(m_window.get(), inList + QPoint(40, 40));
    QTest::mouseRelease(m_window.get(), Qt::LeftButton, {}, inList + QPoint(40, 40));
    QTest::qWait(50);
    QCOMPARE(m_window->pos(), now);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
