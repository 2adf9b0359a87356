// The main window's player bar, playlist page and lyrics page, against a catalogue server on
// 127.0.0.1 that serves very short WAV songs.
#include "mainwindow.h"

#include "lyricswidget.h"
#include "mainwindowhelpers.h"
#include "modalboxcloser.h"
#include "musicplayer.h"
#include "wavwriter.h"
#include "windowcatalogue.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
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
    void playbackFailureIsQuietAndMovesOn_data();
    void playbackFailureIsQuietAndMovesOn();
    void serverGoneStopsWithOneMessage();
    void pauseResumesAndCountsOncePerStart();
    void progressClickAndDrag();
    void durationNeverShownShort_data();
    void durationNeverShownShort();

    void duplicateSongsHighlightByQueueIndex();
    void playAllStartsFromTheTop();
    void clearQuestion_data();
    void clearQuestion();
    void queueRowMenuAndDeleteKey_data();
    void queueRowMenuAndDeleteKey();
    void playingRowMarkerReadsInBothThemes_data();
    void playingRowMarkerReadsInBothThemes();

    void lyricsPageLabels();
    void leavingLyricsReturnsToCheckedTab();
    void lyricsButtonFollowsThePage_data();
    void lyricsButtonFollowsThePage();

private:
    void openWindow();
    MusicPlayer *player() { return m_window->findChild<MusicPlayer *>(); }
    QLabel *label(const char *name) { return widget<QLabel>(m_window.get(), name); }
    QPushButton *button(const char *name) { return widget<QPushButton>(m_window.get(), name); }
    QStackedWidget *stack() { return widget<QStackedWidget>(m_window.get(), "centralStack"); }
    Song localSong();
    // A catalogue song (id 11, as the catalogue lists it) with a WAV of the given length.
    Song servedSong(const QString &name, int milliseconds, int catalogueSeconds = 0);
    // Starts the song and holds it paused once it has really started.
    void startPaused(const Song &song);

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

Song TestMainWindowPlayer::servedSong(const QString &name, int milliseconds, int catalogueSeconds)
{
    Song song = m_songs.at(0);
    song.filePath = m_catalogue->addSong(name, milliseconds);
    song.duration = catalogueSeconds;
    return song;
}

void TestMainWindowPlayer::startPaused(const Song &song)
{
    player()->setPlaylist({ song });
    player()->play(0);
    QTRY_VERIFY(player()->position() > 0 && player()->duration() > 0);
    QTest::mouseClick(button("playBtn"), Qt::LeftButton);
    QTRY_COMPARE(player()->playbackState(), QMediaPlayer::PausedState);
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

void TestMainWindowPlayer::playbackFailureIsQuietAndMovesOn_data()
{
    QTest::addColumn<bool>("local");
    QTest::addColumn<QString>("message");
    QTest::newRow("media URL answers 404") << false << QStringLiteral("无法播放“Alpha”：无法从服务器获取音频");
    QTest::newRow("damaged local file") << true << QStringLiteral("无法播放“Alpha”：音频文件已损坏或格式不受支持");
}

// A song that cannot play: a status line that names it, no box, and the queue goes on.
void TestMainWindowPlayer::playbackFailureIsQuietAndMovesOn()
{
    QFETCH(bool, local);
    QFETCH(QString, message);
    openWindow();
    Song bad = m_songs.at(0);
    if (local) {
        bad.id = -1;
        bad.filePath = m_localDir.filePath(QStringLiteral("damaged.wav"));
        QFile file(bad.filePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    } else {
        bad.filePath = QStringLiteral("audio/missing.wav");
    }
    player()->setPlayMode(MusicPlayer::Sequential);
    player()->setPlaylist({ bad, servedSong(QStringLiteral("next.wav"), 700) });
    QStringList seen;
    connect(
        player(), &MusicPlayer::playbackFailed, this, [&] { seen.append(label("statusBar")->text()); },
        Qt::QueuedConnection);
    player()->play(0);
    QTRY_COMPARE(label("statusBar")->text(), message);
    QTRY_COMPARE(player()->currentIndex(), 1);
    QTRY_COMPARE(player()->playbackState(), QMediaPlayer::PlayingState);
    QCOMPARE(button("playBtn")->toolTip(), QStringLiteral("暂停"));
    QCOMPARE(m_closer->count(), 0);
    QCOMPARE(seen.size(), 1);
}

// The server went away: every entry fails in turn; one message, playback stopped, no box.
void TestMainWindowPlayer::serverGoneStopsWithOneMessage()
{
    openWindow();
    m_catalogue.reset();
    player()->setPlayMode(MusicPlayer::ListLoop);
    int stops = 0;
    connect(player(), &MusicPlayer::queueFailed, this, [&stops] { ++stops; });
    player()->setPlaylist(m_songs);
    player()->play(0);
    QTRY_COMPARE_WITH_TIMEOUT(stops, 1, 10000);
    QCOMPARE(label("statusBar")->text(), QStringLiteral("播放列表中没有能播放的歌曲，已停止播放"));
    QTRY_COMPARE(player()->playbackState(), QMediaPlayer::StoppedState);
    QCOMPARE(button("playBtn")->toolTip(), QStringLiteral("播放"));
    QCOMPARE(label("currentSongLabel")->text(), QStringLiteral("未播放"));
    QTest::qWait(400);
    QCOMPARE(stops, 1);
    QCOMPARE(m_closer->count(), 0);
}

// Play after pause goes on where it stopped; the server counts one play per start of a song.
void TestMainWindowPlayer::pauseResumesAndCountsOncePerStart()
{
    openWindow();
    const QString counted = QStringLiteral("/music/api.php?action=incrementPlayCount&id=11");
    startPaused(servedSong(QStringLiteral("long.wav"), 700));
    QTRY_COMPARE(m_catalogue->targets().count(counted), 1);
    for (int round = 0; round < 2; ++round) {
        const qint64 reached = player()->position();
        QList<qint64> positions;
        QObject context;
        connect(player(), &MusicPlayer::positionChanged, &context, [&positions](qint64 p) { positions.append(p); });
        QTest::mouseClick(button("playBtn"), Qt::LeftButton);
        QTRY_COMPARE(player()->playbackState(), QMediaPlayer::PlayingState);
        QTRY_VERIFY(player()->position() > reached + 30);
        for (qint64 position : positions)
            QVERIFY2(position >= reached - 20, qPrintable(QStringLiteral("%1 after %2").arg(position).arg(reached)));
        QTest::mouseClick(button("playBtn"), Qt::LeftButton);
        QTRY_COMPARE(player()->playbackState(), QMediaPlayer::PausedState);
    }
    QCOMPARE(m_catalogue->targets().count(counted), 1);

    // A restart by single loop is a new start, and counts.
    player()->setPlayMode(MusicPlayer::SingleLoop);
    QTest::mouseClick(button("playBtn"), Qt::LeftButton);
    QTRY_COMPARE(m_catalogue->targets().count(counted), 2);
    player()->pause();
}

// A click seeks to the clicked point; a drag shows the time under the handle and seeks once,
// when it is let go.
void TestMainWindowPlayer::progressClickAndDrag()
{
    openWindow();
    auto *slider = widget<QSlider>(m_window.get(), "progressSlider");
    // Paused, a 3 s song costs no playing time here.
    startPaused(servedSong(QStringLiteral("three.wav"), 3000));
    const qint64 length = player()->duration();
    const QPoint at80(slider->width() * 8 / 10, slider->height() / 2);
    QTest::mouseClick(slider, Qt::LeftButton, {}, at80);
    QVERIFY2(slider->value() > 700 && slider->value() < 900, qPrintable(QString::number(slider->value())));
    QTRY_VERIFY2(qAbs(player()->position() - length * slider->value() / 1000) < 150,
        qPrintable(QString::number(player()->position())));
    const qint64 afterClick = player()->position();

    const QPoint at40(slider->width() * 4 / 10, slider->height() / 2);
    QTest::mousePress(slider, Qt::LeftButton, {}, at80);
    QVERIFY(slider->isSliderDown());
    QMouseEvent move(QEvent::MouseMove, at40, slider->mapToGlobal(at40), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &move);
    const qint64 under = length * slider->value() / 1000;
    QVERIFY2(slider->value() > 300 && slider->value() < 500, qPrintable(QString::number(slider->value())));
    QCOMPARE(label("playerTimeLabel")->text(),
        QStringLiteral("%1 / %2").arg(
            MainWindowHelpers::formatTimeText(under), MainWindowHelpers::formatTimeText(length)));
    // Held: the song has not moved yet.
    QTest::qWait(100);
    QVERIFY2(qAbs(player()->position() - afterClick) < 100, qPrintable(QString::number(player()->position())));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, at40);
    QTRY_VERIFY2(qAbs(player()->position() - under) < 150, qPrintable(QString::number(player()->position())));
}

void TestMainWindowPlayer::durationNeverShownShort_data()
{
    QTest::addColumn<int>("catalogueSeconds");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<QString>("text");
    // The framework says 3 s; the stream is already at 12 s.
    QTest::newRow("catalogue knows the length") << 30 << qint64(12000) << QStringLiteral("00:12 / 00:30");
    QTest::newRow("length unknown to the catalogue") << 0 << qint64(12000) << QStringLiteral("00:03 / 00:03");
    QTest::newRow("framework agrees") << 30 << qint64(2000) << QStringLiteral("00:02 / 00:03");
}

void TestMainWindowPlayer::durationNeverShownShort()
{
    QFETCH(int, catalogueSeconds);
    QFETCH(qint64, position);
    QFETCH(QString, text);
    openWindow();
    startPaused(servedSong(QStringLiteral("three.wav"), 3000, catalogueSeconds));
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onPositionChanged", Q_ARG(qint64, position)));
    QCOMPARE(label("playerTimeLabel")->text(), text);
    QVERIFY(widget<QSlider>(m_window.get(), "progressSlider")->value() <= 1000);
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

void TestMainWindowPlayer::queueRowMenuAndDeleteKey_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("queue"); // titles afterwards
    QTest::addColumn<QString>("playing"); // the song label afterwards

    const QStringList all { "Alpha", "Beta", "Gamma" };
    QTest::newRow("menu: remove another")
        << "queueRemoveAction" << 2 << QStringList { "Alpha", "Beta" } << "Beta（Foo）";
    QTest::newRow("menu: remove the playing one moves on")
        << "queueRemoveAction" << 1 << QStringList { "Alpha", "Gamma" } << "Gamma（foo）";
    QTest::newRow("Delete key") << "delete" << 0 << QStringList { "Beta", "Gamma" } << "Beta（Foo）";
    QTest::newRow("menu: play next") << "queuePlayNextAction" << 0 << QStringList { "Beta", "Alpha", "Gamma" }
                                     << "Beta（Foo）";
    QTest::newRow("menu: play") << "queuePlayAction" << 2 << all << "Gamma（foo）";
}

void TestMainWindowPlayer::queueRowMenuAndDeleteKey()
{
    QFETCH(QString, how);
    QFETCH(int, row);
    QFETCH(QStringList, queue);
    QFETCH(QString, playing);
    openWindow();
    QList<Song> songs = m_songs;
    for (int i = 0; i < songs.size(); ++i)
        songs[i].filePath = m_catalogue->addSong(QStringLiteral("q%1.wav").arg(i), 700);
    player()->setPlayMode(MusicPlayer::Sequential);
    player()->setPlaylist(songs);
    player()->play(1);
    player()->pause();
    QTest::mouseClick(tab(m_window.get(), 2), Qt::LeftButton);
    QListWidget *rows = list(m_window.get(), "playlistList");
    QTRY_VERIFY(rows->isVisible());
    const QRect rect = rows->visualItemRect(rows->item(row));

    if (how == QLatin1String("delete")) {
        rows->setCurrentRow(row);
        QTest::keyClick(rows, Qt::Key_Delete);
    } else {
        emit rows->customContextMenuRequested(rect.center());
        auto *menu = rows->findChild<QMenu *>(QStringLiteral("queueRowMenu"));
        QVERIFY(menu);
        QStringList actions;
        for (QAction *action : menu->actions())
            actions.append(action->text());
        QCOMPARE(actions,
            (QStringList { QStringLiteral("播放"), QStringLiteral("下一首播放"), QStringLiteral("从播放列表移除") }));
        auto *action = menu->findChild<QAction *>(how);
        QVERIFY(action);
        action->trigger();
        menu->close();
    }
    QStringList titles;
    for (const Song &song : player()->playlist())
        titles.append(song.title);
    QCOMPARE(titles, queue);
    QCOMPARE(rows->count(), queue.size());
    QCOMPARE(label("currentSongLabel")->text(), playing);
    player()->pause();
    QCOMPARE(m_closer->count(), 0);
}

void TestMainWindowPlayer::playingRowMarkerReadsInBothThemes_data()
{
    QTest::addColumn<bool>("light");
    QTest::newRow("classic (dark)") << false;
    QTest::newRow("day (light)") << true;
}

namespace {

double luminance(QRgb rgb)
{
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// The strongest contrast inside `area` against the colour at `background`.
double strongestContrast(const QImage &image, const QRect &area, const QPoint &background)
{
    const QRgb ground = image.pixel(background);
    double best = 1.0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            best = qMax(best, contrast(image.pixel(x, y), ground));
    }
    return best;
}

} // namespace

// The playing row is told apart at a glance in both themes: a marker of at least 3:1 against
// its row, where the other rows show none.
void TestMainWindowPlayer::playingRowMarkerReadsInBothThemes()
{
    QFETCH(bool, light);
    openWindow();
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onDarkModeToggled", Q_ARG(bool, light)));
    player()->setPlaylist({ m_songs.at(1), m_songs.at(1), m_songs.at(1) });
    player()->play(1);
    player()->pause();
    QTest::mouseClick(tab(m_window.get(), 2), Qt::LeftButton);
    QListWidget *rows = list(m_window.get(), "playlistList");
    QTRY_VERIFY(rows->isVisible());
    // The window's own background shows through the transparent list.
    const QImage shot = m_window->grab().toImage();
    auto iconArea = [&](int row) {
        const QRect item = rows->visualItemRect(rows->item(row));
        const QPoint topLeft = rows->viewport()->mapTo(m_window.get(), item.topLeft());
        return QRect(topLeft, QSize(item.height(), item.height()));
    };
    auto groundPoint = [&](int row) {
        const QRect item = rows->visualItemRect(rows->item(row));
        return rows->viewport()->mapTo(m_window.get(), QPoint(item.right() - 4, item.center().y()));
    };
    const double playing = strongestContrast(shot, iconArea(1), groundPoint(1));
    QVERIFY2(playing >= 3.0, qPrintable(QString::number(playing)));
    // The marker is the playing row's own: the rows around it look otherwise.
    QVERIFY(shot.copy(iconArea(0)) != shot.copy(iconArea(1)));
    QVERIFY(shot.copy(iconArea(2)) != shot.copy(iconArea(1)));
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

void TestMainWindowPlayer::lyricsButtonFollowsThePage_data()
{
    QTest::addColumn<bool>("bySearch");
    QTest::newRow("sidebar click") << false;
    QTest::newRow("search") << true;
}

// Leaving the lyrics page by other means unchecks the button, so the next click shows the lyrics.
void TestMainWindowPlayer::lyricsButtonFollowsThePage()
{
    QFETCH(bool, bySearch);
    openWindow();
    QTest::mouseClick(button("lyricsToggleBtn"), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 5);
    QVERIFY(button("lyricsToggleBtn")->isChecked());
    if (bySearch) {
        auto *input = widget<QLineEdit>(m_window.get(), "searchInput");
        input->setText(QStringLiteral("alp"));
        QTest::keyClick(input, Qt::Key_Return);
        QTRY_COMPARE(stack()->currentIndex(), 6); // the results page
    } else {
        QTest::mouseClick(tab(m_window.get(), 3), Qt::LeftButton);
        QCOMPARE(stack()->currentIndex(), 3);
    }
    QVERIFY(!button("lyricsToggleBtn")->isChecked());
    QTest::mouseClick(button("lyricsToggleBtn"), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 5);
    QVERIFY(button("lyricsToggleBtn")->isChecked());
}

QTEST_MAIN(TestMainWindowPlayer)
#include "tst_mainwindowplayer.moc"
