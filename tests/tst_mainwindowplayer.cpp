// The main window's player bar, playlist page and lyrics page, against a catalogue server on
// 127.0.0.1 that serves very short WAV songs.
#include "mainwindow.h"

#include "lyricswidget.h"
#include "mainwindowhelpers.h"
#include "modalboxcloser.h"
#include "musicplayer.h"
#include "wavwriter.h"
#include "windowcatalogue.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace WindowTest;

class TestMainWindowPlayer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void modeButtonCyclesFourModes();
    void playWithEmptyQueueQueuesAllSongs();
    void playCounterOnlyForCatalogueSongs();
    void timeLabelFollowsReports();
    void stopResetsTheBar();
    void volumeSliderDrivesPlayerAndPopup();
    void playerErrorIsShownOnce();

    void duplicateSongsHighlightByQueueIndex();
    void playAllStartsFromTheTop();
    void clearQuestion_data();
    void clearQuestion();

    void lyricsPageLabels();
    void leavingLyricsReturnsToCheckedTab();

private:
    void openWindow();
    MusicPlayer *player() { return m_window->findChild<MusicPlayer *>(); }
    QLabel *label(const char *name) { return widget<QLabel>(m_window.get(), name); }
    QPushButton *button(const char *name) { return widget<QPushButton>(m_window.get(), name); }
    QStackedWidget *stack() { return widget<QStackedWidget>(m_window.get(), "centralStack"); }
    Song localSong();

    std::unique_ptr<WindowCatalogue> m_catalogue;
    std::unique_ptr<ModalBoxCloser> m_closer;
    std::unique_ptr<MainWindow> m_window;
    QTemporaryDir m_localDir;
    QList<Song> m_songs;
};

void TestMainWindowPlayer::init()
{
    m_catalogue = std::make_unique<WindowCatalogue>();
    QVERIFY(m_catalogue->start());
    m_catalogue->useDefaultCatalogue();
    m_closer = std::make_unique<ModalBoxCloser>();
    m_closer->start();
}

void TestMainWindowPlayer::cleanup()
{
    m_window.reset();
    m_closer.reset();
    m_catalogue.reset();
}

void TestMainWindowPlayer::openWindow()
{
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QListWidget *songs = list(m_window.get(), "allSongsList");
    QVERIFY(QTest::qWaitFor([&] { return songs->count() == 3; }));
    // The catalogue songs as the server describes them, for handing to the player directly.
    m_songs.clear();
    const QStringList titles { QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma") };
    for (int i = 0; i < 3; ++i) {
        QListWidgetItem *row = songs->item(i);
        Song song;
        song.id = row->data(Qt::UserRole).toInt();
        song.albumId = i < 2 ? 1 : 99;
        song.title = titles.at(i);
        song.artist = i < 2 ? QStringLiteral("Foo") : QStringLiteral("foo");
        song.filePath = QStringLiteral("audio/%1.wav").arg(QChar(u'a' + i));
        if (i == 0)
            song.lyrics = QStringLiteral("[00:00.00]first line\n[00:00.10]second line");
        else if (i == 2)
            song.lyrics = QStringLiteral("[00:00.00]gamma line");
        m_songs.append(song);
    }
    m_catalogue->clear();
    m_closer->clear();
}

Song TestMainWindowPlayer::localSong()
{
    const QString path = m_localDir.filePath(QStringLiteral("local.wav"));
    writeWav(path, 200);
    Song song;
    song.id = -1;
    song.title = QStringLiteral("Local");
    song.artist = QStringLiteral("Me");
    song.filePath = path;
    return song;
}

// ---- Player bar ----

void TestMainWindowPlayer::modeButtonCyclesFourModes()
{
    openWindow();
    QCOMPARE(player()->playMode(), MusicPlayer::Sequential);
    const QList<QPair<MusicPlayer::PlayMode, QString>> expected {
        { MusicPlayer::ListLoop, QStringLiteral("列表循环") },
        { MusicPlayer::SingleLoop, QStringLiteral("单曲循环") },
        { MusicPlayer::Shuffle, QStringLiteral("随机播放") },
        { MusicPlayer::Sequential, QStringLiteral("顺序播放") },
    };
    for (const auto &step : expected) {
        QTest::mouseClick(button("modeBtn"), Qt::LeftButton);
        QCOMPARE(player()->playMode(), step.first);
        QCOMPARE(button("modeBtn")->toolTip(), step.second);
        QCOMPARE(label("statusBar")->text(), step.second);
    }
}

void TestMainWindowPlayer::playWithEmptyQueueQueuesAllSongs()
{
    openWindow();
    QSignalSpy changed(player(), &MusicPlayer::songChanged);
    QTest::mouseClick(button("playBtn"), Qt::LeftButton);
    QCOMPARE(player()->playlist().size(), 3);
    QCOMPARE(player()->currentIndex(), 0);
    QCOMPARE(list(m_window.get(), "playlistList")->count(), 3);
    QCOMPARE(label("playlistInfo")->text(), QStringLiteral("共 3 首歌曲"));
    QTRY_VERIFY(!changed.isEmpty());
    QCOMPARE(changed.first().first().value<Song>().id, 11);
    QCOMPARE(m_closer->count(), 0);
}

void TestMainWindowPlayer::playCounterOnlyForCatalogueSongs()
{
    openWindow();
    player()->setPlaylist({ localSong(), m_songs.at(1) });
    player()->play(0);
    QCOMPARE(label("currentSongLabel")->text(), QStringLiteral("Local（Me）"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("维洛拉 - Local"));
    player()->play(1);
    QTRY_VERIFY(m_catalogue->targets().contains(QStringLiteral("/music/api.php?action=incrementPlayCount&id=12")));
    QTest::qWait(100);
    QCOMPARE(m_catalogue->targets().filter(QStringLiteral("incrementPlayCount")).size(), 1);
    QCOMPARE(label("currentSongLabel")->text(), QStringLiteral("Beta（Foo）"));
}

void TestMainWindowPlayer::timeLabelFollowsReports()
{
    openWindow();
    auto *slider = widget<QSlider>(m_window.get(), "progressSlider");
    slider->setValue(123);
    // Nothing loaded: the duration is 0, so the slider stays and the label shows 00:00 after the slash.
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onPositionChanged", Q_ARG(qint64, 61500)));
    QCOMPARE(label("playerTimeLabel")->text(), QStringLiteral("01:01 / 00:00"));
    QCOMPARE(slider->value(), 123);
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onDurationChanged", Q_ARG(qint64, 3725000)));
    QCOMPARE(label("playerTimeLabel")->text(), QStringLiteral("00:00 / 62:05"));
    // While the handle is held, reports do not move anything.
    slider->setSliderDown(true);
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onPositionChanged", Q_ARG(qint64, 1000)));
    QCOMPARE(label("playerTimeLabel")->text(), QStringLiteral("00:00 / 62:05"));
    slider->setSliderDown(false);
}

void TestMainWindowPlayer::stopResetsTheBar()
{
    openWindow();
    player()->setPlaylist({ m_songs.at(0) });
    player()->play(0);
    QCOMPARE(label("currentSongLabel")->text(), QStringLiteral("Alpha（Foo）"));
    button("lyricsToggleBtn")->setChecked(true);
    QCOMPARE(stack()->currentIndex(), 5);
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onStop"));
    QCOMPARE(label("currentSongLabel")->text(), QStringLiteral("未播放"));
    QCOMPARE(label("playerTimeLabel")->text(), QStringLiteral("00:00 / 00:00"));
    QCOMPARE(widget<QSlider>(m_window.get(), "progressSlider")->value(), 0);
    QVERIFY(!button("lyricsToggleBtn")->isChecked());
    QCOMPARE(stack()->currentIndex(), 0);
    QCOMPARE(button("playBtn")->toolTip(), QStringLiteral("播放"));
}

void TestMainWindowPlayer::volumeSliderDrivesPlayerAndPopup()
{
    openWindow();
    QCOMPARE(player()->volume(), 80);
    QSlider *popup = nullptr;
    const QList<QSlider *> sliders = m_window->findChildren<QSlider *>();
    for (QSlider *slider : sliders) {
        if (slider->orientation() == Qt::Vertical)
            popup = slider;
    }
    QVERIFY(popup);
    QVERIFY(!popup->isVisible());
    QCOMPARE(popup->value(), 80);
    popup->setValue(0);
    QCOMPARE(player()->volume(), 0);
    popup->setValue(45);
    QCOMPARE(player()->volume(), 45);

    QTest::mouseClick(button("volumeIcon"), Qt::LeftButton);
    QTRY_VERIFY(popup->isVisible());
    // Placed by the pop-up rule for this screen (the offscreen screen is narrower than the window).
    QCOMPARE(popup->pos(),
        MainWindowHelpers::volumePopupPosition(button("volumeIcon")->mapToGlobal(QPoint(0, 0)),
            button("volumeIcon")->size(), popup->size(), QGuiApplication::primaryScreen()->geometry()));
    QTest::mouseClick(button("volumeIcon"), Qt::LeftButton);
    QTRY_VERIFY(!popup->isVisible());

    // A press on the header outside the pop-up closes it.
    QTest::mouseClick(button("volumeIcon"), Qt::LeftButton);
    QTRY_VERIFY(popup->isVisible());
    auto *status = label("statusBar");
    QTest::mouseClick(m_window.get(), Qt::LeftButton, {}, status->mapTo(m_window.get(), status->rect().center()));
    QTRY_VERIFY(!popup->isVisible());
}

void TestMainWindowPlayer::playerErrorIsShownOnce()
{
    openWindow();
    Song missing = m_songs.at(0);
    missing.filePath = QStringLiteral("audio/missing.wav");
    player()->setPlaylist({ missing });
    player()->play(0);
    QTRY_COMPARE(m_closer->count(), 1);
    QVERIFY2(m_closer->texts().first().startsWith(QStringLiteral("API错误: ")), qPrintable(m_closer->texts().first()));
    QCOMPARE(m_closer->titles().first(), QStringLiteral("提示"));
    // The media framework repeats its error; the window still asks the user once.
    QTest::qWait(500);
    QCOMPARE(m_closer->count(), 1);
}

// ---- Playlist page ----

void TestMainWindowPlayer::duplicateSongsHighlightByQueueIndex()
{
    openWindow();
    player()->setPlaylist({ m_songs.at(1), m_songs.at(1) });
    QListWidget *rows = list(m_window.get(), "playlistList");
    QCOMPARE(
        rowTexts(rows), QStringList({ QStringLiteral("Beta - Foo  [--:--]"), QStringLiteral("Beta - Foo  [--:--]") }));
    QCOMPARE(rows->item(1)->data(Qt::UserRole).toInt(), 1);
    emit rows->itemDoubleClicked(rows->item(1));
    QCOMPARE(player()->currentIndex(), 1);
    QCOMPARE(rows->item(1)->background().color(), QColor(QStringLiteral("#e8f8f2")));
    QCOMPARE(rows->item(0)->background().color(), QColor(Qt::transparent));
    QCOMPARE(label("playlistInfo")->text(), QStringLiteral("共 2 首歌曲"));
    QCOMPARE(tab(m_window.get(), 2)->text(), QStringLiteral("播放列表 (2)"));
}

void TestMainWindowPlayer::playAllStartsFromTheTop()
{
    openWindow();
    // Nothing queued: the button does nothing.
    QTest::mouseClick(button("playAllBtn"), Qt::LeftButton);
    QVERIFY(player()->playlist().isEmpty());

    player()->setPlaylist(m_songs);
    player()->play(2);
    QTest::mouseClick(button("playAllBtn"), Qt::LeftButton);
    QCOMPARE(player()->currentIndex(), 0);
    QCOMPARE(player()->playlist().size(), 3);
}

void TestMainWindowPlayer::clearQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("no") << int(QMessageBox::No);
    QTest::newRow("yes") << int(QMessageBox::Yes);
}

void TestMainWindowPlayer::clearQuestion()
{
    QFETCH(int, answer);
    openWindow();
    // Clearing an empty queue asks nothing.
    QTest::mouseClick(button("clearPlaylistBtn"), Qt::LeftButton);
    QCOMPARE(m_closer->count(), 0);

    player()->setPlaylist(m_songs);
    player()->play(1);
    // Held, so the short song cannot end and move the queue on while the question is open.
    player()->pause();
    m_closer->setAnswer(QMessageBox::StandardButton(answer));
    QTest::mouseClick(button("clearPlaylistBtn"), Qt::LeftButton);
    QCOMPARE(m_closer->texts(), QStringList(QStringLiteral("确定要清空播放列表吗？")));
    QCOMPARE(m_closer->titles(), QStringList(QStringLiteral("确认")));
    if (answer == QMessageBox::No) {
        QCOMPARE(player()->playlist().size(), 3);
        QCOMPARE(player()->currentIndex(), 1);
        QCOMPARE(list(m_window.get(), "playlistList")->count(), 3);
        QCOMPARE(label("currentSongLabel")->text(), QStringLiteral("Beta（Foo）"));
    } else {
        QVERIFY(player()->playlist().isEmpty());
        QCOMPARE(list(m_window.get(), "playlistList")->count(), 0);
        QCOMPARE(label("currentSongLabel")->text(), QStringLiteral("未播放"));
        QCOMPARE(label("statusBar")->text(), QStringLiteral("播放列表已清空"));
        QCOMPARE(label("playlistInfo")->text(), QStringLiteral("共 0 首歌曲"));
    }
}

// ---- Lyrics page ----

void TestMainWindowPlayer::lyricsPageLabels()
{
    openWindow();
    auto *lyrics = widget<LyricsWidget>(m_window.get(), "lyricsWidget");
    // Toggled on before anything played.
    button("lyricsToggleBtn")->setChecked(true);
    QCOMPARE(stack()->currentIndex(), 5);
    QCOMPARE(label("lyricsTitle")->text(), QStringLiteral("未播放"));
    QVERIFY(lyrics->lines().isEmpty());

    player()->setPlaylist({ m_songs.at(0), m_songs.at(2), localSong(), m_songs.at(1) });
    player()->play(0);
    QCOMPARE(label("lyricsTitle")->text(), QStringLiteral("Alpha"));
    QCOMPARE(label("lyricsArtist")->text(), QStringLiteral("演唱: Foo"));
    QCOMPARE(label("lyricsAlbum")->text(), QStringLiteral("专辑: First"));
    QCOMPARE(lyrics->lines().size(), 2);

    // Album 99 is not loaded: the album label keeps the previous name.
    player()->play(1);
    QCOMPARE(label("lyricsTitle")->text(), QStringLiteral("Gamma"));
    QCOMPARE(label("lyricsArtist")->text(), QStringLiteral("演唱: foo"));
    QCOMPARE(label("lyricsAlbum")->text(), QStringLiteral("专辑: First"));
    QCOMPARE(lyrics->lines().size(), 1);

    // A local song has no lyrics page content.
    player()->play(2);
    QCOMPARE(label("lyricsTitle")->text(), QStringLiteral("未播放"));
    QCOMPARE(label("lyricsArtist")->text(), QString());
    QCOMPARE(label("lyricsAlbum")->text(), QString());
    QVERIFY(lyrics->lines().isEmpty());

    // A catalogue song without lyrics likewise.
    player()->play(3);
    QCOMPARE(label("lyricsTitle")->text(), QStringLiteral("未播放"));
    QVERIFY(lyrics->lines().isEmpty());
}

void TestMainWindowPlayer::leavingLyricsReturnsToCheckedTab()
{
    openWindow();
    QTest::mouseClick(tab(m_window.get(), 2), Qt::LeftButton);
    QTest::mouseClick(button("lyricsToggleBtn"), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 5);
    QVERIFY(tab(m_window.get(), 2)->isChecked());
    QTest::mouseClick(button("lyricsToggleBtn"), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 2);
}

QTEST_MAIN(TestMainWindowPlayer)
#include "tst_mainwindowplayer.moc"
