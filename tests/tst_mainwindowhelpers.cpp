#include "mainwindowhelpers.h"
#include "models.h"

#include <QImage>
#include <QJsonDocument>
#include <QTest>

using namespace MainWindowHelpers;

class TestMainWindowHelpers : public QObject
{
    Q_OBJECT

private slots:
    void timeText_data();
    void timeText();
    void sliderValue_data();
    void sliderValue();
    void seekPosition_data();
    void seekPosition();
    void shownLength_data();
    void shownLength();
    void volumeIcon_data();
    void volumeIcon();
    void songRow_data();
    void songRow();
    void rankingRows_data();
    void rankingRows();
    void popupPosition_data();
    void popupPosition();
    void roundCoverFillsTheCircle_data();
    void roundCoverFillsTheCircle();
    void tabListsMatch();
};

void TestMainWindowHelpers::timeText_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("negative") << qint64(-5) << "00:00";
    QTest::newRow("zero") << qint64(0) << "00:00";
    QTest::newRow("one ms") << qint64(1) << "00:00";
    QTest::newRow("just under a second") << qint64(999) << "00:00";
    QTest::newRow("61.5 s") << qint64(61500) << "01:01";
    QTest::newRow("four minutes") << qint64(240000) << "04:00";
    QTest::newRow("over an hour") << qint64(3725000) << "62:05";
    QTest::newRow("100 minutes") << qint64(6000000) << "100:00";
}

void TestMainWindowHelpers::timeText()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(formatTimeText(ms), text);
}

void TestMainWindowHelpers::sliderValue_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<int>("value");
    QTest::newRow("61.5 s of 4 min") << qint64(61500) << qint64(240000) << 256;
    QTest::newRow("start") << qint64(0) << qint64(240000) << 0;
    QTest::newRow("end") << qint64(240000) << qint64(240000) << 1000;
    QTest::newRow("unknown duration") << qint64(5000) << qint64(0) << -1;
    QTest::newRow("long song, no overflow") << qint64(3600000) << qint64(7200000) << 500;
}

void TestMainWindowHelpers::sliderValue()
{
    QFETCH(qint64, position);
    QFETCH(qint64, duration);
    QFETCH(int, value);
    QCOMPARE(progressSliderValue(position, duration), value);
}

void TestMainWindowHelpers::seekPosition_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<qint64>("position");
    QTest::newRow("quarter") << 250 << qint64(240000) << qint64(60000);
    QTest::newRow("truncated") << 1 << qint64(1999) << qint64(1);
    QTest::newRow("unknown duration") << 500 << qint64(0) << qint64(-1);
}

void TestMainWindowHelpers::seekPosition()
{
    QFETCH(int, value);
    QFETCH(qint64, duration);
    QFETCH(qint64, position);
    QCOMPARE(seekPositionForSliderValue(value, duration), position);
}

void TestMainWindowHelpers::shownLength_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("reported");
    QTest::addColumn<int>("catalogueSeconds");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<qint64>("shownPos");
    // An Ogg stream's estimate: the framework says 4 s, the song is at 12 s of its 200.
    QTest::newRow("short estimate, catalogue knows")
        << qint64(12000) << qint64(4000) << 200 << qint64(200000) << qint64(12000);
    QTest::newRow("short estimate, catalogue does not")
        << qint64(12000) << qint64(4000) << 0 << qint64(4000) << qint64(4000);
    // Within a second of the end: reports race, the framework's figure stands.
    QTest::newRow("at the end") << qint64(4500) << qint64(4000) << 200 << qint64(4000) << qint64(4000);
    QTest::newRow("framework right") << qint64(3000) << qint64(4000) << 200 << qint64(4000) << qint64(3000);
    QTest::newRow("length not known yet") << qint64(3000) << qint64(0) << 200 << qint64(0) << qint64(3000);
}

void TestMainWindowHelpers::shownLength()
{
    QFETCH(qint64, position);
    QFETCH(qint64, reported);
    QFETCH(int, catalogueSeconds);
    QFETCH(qint64, duration);
    QFETCH(qint64, shownPos);
    const qint64 length = shownDuration(position, reported, catalogueSeconds);
    QCOMPARE(length, duration);
    QCOMPARE(shownPosition(position, length), shownPos);
}

void TestMainWindowHelpers::volumeIcon_data()
{
    QTest::addColumn<int>("volume");
    QTest::addColumn<QString>("icon");
    QTest::newRow("0") << 0 << ":/icons/volume-off.svg";
    QTest::newRow("1") << 1 << ":/icons/volume-down.svg";
    QTest::newRow("29") << 29 << ":/icons/volume-down.svg";
    QTest::newRow("30") << 30 << ":/icons/volume-center.svg";
    QTest::newRow("59") << 59 << ":/icons/volume-center.svg";
    QTest::newRow("60") << 60 << ":/icons/volume-up.svg";
    QTest::newRow("100") << 100 << ":/icons/volume-up.svg";
}

void TestMainWindowHelpers::volumeIcon()
{
    QFETCH(int, volume);
    QFETCH(QString, icon);
    QCOMPARE(volumeIconPath(volume), icon);
}

void TestMainWindowHelpers::songRow_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<int>("duration");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "Alpha"
                           << "Foo" << 205 << "Alpha - Foo  [03:25]";
    QTest::newRow("no duration") << "Beta"
                                 << "Foo" << 0 << "Beta - Foo  [--:--]";
    QTest::newRow("placeholder-like title") << "100%1 %2"
                                            << "A%3" << 61 << "100%1 %2 - A%3  [01:01]";
}

void TestMainWindowHelpers::songRow()
{
    QFETCH(QString, title);
    QFETCH(QString, artist);
    QFETCH(int, duration);
    QFETCH(QString, text);
    Song song;
    song.title = title;
    song.artist = artist;
    song.duration = duration;
    QCOMPARE(songRowText(song), text);
}

void TestMainWindowHelpers::rankingRows_data()
{
    QTest::addColumn<bool>("artistChart");
    QTest::addColumn<int>("position");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("text");
    QTest::newRow("artist") << true << 1 << QByteArray(R"({"artist":"Foo","song_count":12,"total_plays":3456})")
                            << "1. Foo  (歌曲: 12  播放: 3456)";
    QTest::newRow("artist, missing and ill-typed values")
        << true << 2 << QByteArray(R"({"song_count":"12"})") << "2.   (歌曲: 0  播放: 0)";
    QTest::newRow("artist with placeholders in the name")
        << true << 3 << QByteArray(R"({"artist":"%2 %5","song_count":1,"total_plays":2})")
        << "3. %2 %5  (歌曲: 1  播放: 2)";
    QTest::newRow("song") << false << 4 << QByteArray(R"({"id":9,"title":"Alpha","artist":"Foo","play_count":40})")
                          << "4. Alpha - Foo  (播放: 40)";
    QTest::newRow("song with placeholders")
        << false << 1 << QByteArray(R"({"title":"%3","artist":"%4","play_count":1})") << "1. %3 - %4  (播放: 1)";
}

void TestMainWindowHelpers::rankingRows()
{
    QFETCH(bool, artistChart);
    QFETCH(int, position);
    QFETCH(QByteArray, json);
    QFETCH(QString, text);
    const QJsonObject row = QJsonDocument::fromJson(json).object();
    const QString result = artistChart
        ? artistRankingRowText(position, row, QStringLiteral("歌曲"), QStringLiteral("播放"))
        : songRankingRowText(position, row, QStringLiteral("播放"));
    QCOMPARE(result, text);
}

void TestMainWindowHelpers::popupPosition_data()
{
    QTest::addColumn<QPoint>("icon");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("expected");
    const QRect screen(0, 0, 1920, 1080);
    // Icon 40×40, pop-up 30×120.
    QTest::newRow("centred above") << QPoint(500, 900) << screen << QPoint(505, 775);
    QTest::newRow("left edge") << QPoint(-20, 900) << screen << QPoint(10, 775);
    QTest::newRow("right edge") << QPoint(1900, 900) << screen << QPoint(1880, 775);
    QTest::newRow("no room above") << QPoint(500, 50) << screen << QPoint(505, 95);
    QTest::newRow("exactly fits above") << QPoint(500, 125) << screen << QPoint(505, 0);
}

void TestMainWindowHelpers::popupPosition()
{
    QFETCH(QPoint, icon);
    QFETCH(QRect, screen);
    QFETCH(QPoint, expected);
    QCOMPARE(volumePopupPosition(icon, QSize(40, 40), QSize(30, 120), screen), expected);
}

void TestMainWindowHelpers::roundCoverFillsTheCircle_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("wide 2:1") << QSize(300, 150);
    QTest::newRow("strip 4:1") << QSize(1600, 400);
    QTest::newRow("tall 1:2") << QSize(150, 300);
    QTest::newRow("square") << QSize(100, 100);
    QTest::newRow("tiny") << QSize(8, 6);
}

// Any cover fills the circle from its middle: red in the middle, green on the outer quarter of
// the longer side, which a centred crop of a 2:1 or longer cover never shows.
void TestMainWindowHelpers::roundCoverFillsTheCircle()
{
    QFETCH(QSize, size);
    QImage source(size, QImage::Format_ARGB32);
    source.fill(Qt::red);
    if (size.width() >= 2 * size.height()) {
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                if (x < size.width() / 4 || x >= size.width() * 3 / 4)
                    source.setPixelColor(x, y, Qt::green);
            }
        }
    } else if (size.height() >= 2 * size.width()) {
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                if (y < size.height() / 4 || y >= size.height() * 3 / 4)
                    source.setPixelColor(x, y, Qt::green);
            }
        }
    }
    const QImage cover = roundCover(QPixmap::fromImage(source)).toImage();
    QCOMPARE(cover.size(), QSize(100, 100));
    for (const QPoint &inside : { QPoint(50, 50), QPoint(50, 8), QPoint(50, 92), QPoint(8, 50), QPoint(92, 50) }) {
        const QColor seen = cover.pixelColor(inside);
        QVERIFY2(seen.alpha() == 255 && seen.red() > 200 && seen.green() < 60,
            qPrintable(
                QStringLiteral("(%1,%2) is %3").arg(inside.x()).arg(inside.y()).arg(seen.name(QColor::HexArgb))));
    }
    QCOMPARE(cover.pixelColor(3, 3).alpha(), 0); // outside the circle
    QCOMPARE(cover.pixelColor(96, 96).alpha(), 0);
}

void TestMainWindowHelpers::tabListsMatch()
{
    QCOMPARE(tabNames().size(), 5);
    QCOMPARE(tabIcons().size(), tabNames().size());
    QCOMPARE(tabNames().at(3), QStringLiteral("排行榜"));
}

QTEST_MAIN(TestMainWindowHelpers)
#include "tst_mainwindowhelpers.moc"
