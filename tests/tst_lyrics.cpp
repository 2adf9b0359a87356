#include "fontcheck.h"
#include "lyricswidget.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>
#include <functional>

// Counts paint events of the widget it watches.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *watched)
        : QObject(watched)
    {
        watched->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// A parent that records the presses reaching it, as the frameless window's drag does.
class PressRecorder : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        ++presses;
        event->accept();
    }
};

class TestLyrics : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void setLyricsStartsOver();
    void clearKeepsTimestampFlag();

    void updatePosition_data();
    void updatePosition();
    void updatePositionFollowsSeeks();
    void pausesLeaveNoLineSung();
    void headerTagsAreKept();
    void repaintOnlyWhenCurrentLineChanges();

    void resizeRule_data();
    void resizeRule();
    void rowLayout_data();
    void rowLayout();
    void wheelOffsetIsBounded();
    void wheelShiftsRowsAndSurvivesLineChanges();

    void paintsRowColours();
    void paintsNothingBeyondRange();
    void paintsEmptyText();
    void transparentSheetRepaintsCleanly();
    void pressDoesNotReachWindow();
    void readableOnBothThemes_data();
    void readableOnBothThemes();
};

namespace {

using Times = QList<qint64>;

// Timed lyrics "[mm:ss.00]<text><i>" with line i at i seconds.
QString timedLyrics(int count, const QString &text = QStringLiteral("Line "))
{
    QString lrc;
    for (int i = 0; i < count; ++i)
        lrc += QStringLiteral("[%1:%2.00]%3%4\n")
                   .arg(i / 60, 2, 10, QLatin1Char('0'))
                   .arg(i % 60, 2, 10, QLatin1Char('0'))
                   .arg(text)
                   .arg(i);
    return lrc;
}

QString untimedLyrics(int count)
{
    QString lrc;
    for (int i = 0; i < count; ++i)
        lrc += QStringLiteral("Plain line %1\n").arg(i);
    return lrc;
}

void sendWheel(QWidget *w, int deltaY, bool *accepted = nullptr)
{
    const QPointF pos(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent event(
        pos, w->mapToGlobal(pos), QPoint(), QPoint(0, deltaY), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
    if (accepted)
        *accepted = event.isAccepted();
}

// Shows a widget of the given size and waits until it has been painted once.
void showSized(QWidget *w, QSize size)
{
    w->resize(size);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

// The pixel of the area farthest from the background: the core of a glyph, drawn in the pen's colour.
QColor strongestInk(const QImage &image, const QRect &area, QColor background, int *inkPixels = nullptr)
{
    QColor best = background;
    int bestDistance = 0;
    int ink = 0;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int distance = std::abs(c.red() - background.red()) + std::abs(c.green() - background.green())
                + std::abs(c.blue() - background.blue());
            if (distance > 0)
                ++ink;
            if (distance > bestDistance) {
                bestDistance = distance;
                best = c;
            }
        }
    }
    if (inkPixels)
        *inkPixels = ink;
    return best;
}

// WCAG contrast ratio of two opaque colours, 1 (none) to 21.
double contrast(QColor a, QColor b)
{
    auto luminance = [](QColor c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool closeTo(QColor a, QColor b, int tolerance = 12)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// A palette whose roles are told apart at a glance in a rendered image.
QPalette probePalette()
{
    QPalette pal;
    pal.setColor(QPalette::Window, QColor(0x10, 0x20, 0x30));
    pal.setColor(QPalette::WindowText, QColor(0xff, 0x00, 0x00));
    pal.setColor(QPalette::Mid, QColor(0x00, 0xff, 0x00));
    pal.setColor(QPalette::Highlight, QColor(0x00, 0x80, 0xff));
    pal.setColor(QPalette::PlaceholderText, QColor(0xff, 0xff, 0x00));
    return pal;
}

} // namespace

void TestLyrics::parse_data()
{
    QTest::addColumn<QString>("lrc");
    QTest::addColumn<Times>("times");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("timestamps");

    QTest::newRow("point fraction") << "[00:12.34]Hello" << Times { 12340 } << QStringList { "Hello" } << true;
    QTest::newRow("no fraction") << "[01:02]Hi" << Times { 62000 } << QStringList { "Hi" } << true;
    QTest::newRow("colon fraction") << "[01:02:50]Hi" << Times { 62500 } << QStringList { "Hi" } << true;
    // Files in the wild write milliseconds, tenths and short minutes too.
    QTest::newRow("three fraction digits") << "[00:01.234]x" << Times { 1234 } << QStringList { "x" } << true;
    QTest::newRow("one fraction digit") << "[00:01.5]x" << Times { 1500 } << QStringList { "x" } << true;
    QTest::newRow("one minute digit") << "[1:02.00]x" << Times { 62000 } << QStringList { "x" } << true;
    QTest::newRow("three minute digits") << "[100:00]x" << Times { 6000000 } << QStringList { "x" } << true;
    QTest::newRow("non-ASCII digits") << "[０１:０２]x" << Times { -1 } << QStringList { "[０１:０２]x" } << false;
    QTest::newRow("empty timed line") << "[00:05.00]" << Times {} << QStringList {} << true;
    QTest::newRow("timed line of blanks") << "[00:05.00]   \t" << Times {} << QStringList {} << true;
    // A repeated line (a chorus) is written once with each of its times.
    QTest::newRow("two tags on one line")
        << "[00:05.00][00:01.00]Both" << Times { 1000, 5000 } << QStringList { "Both", "Both" } << true;
    QTest::newRow("tags apart are text") << "[00:01.00]a [00:05.00]b" << Times { 1000 }
                                         << QStringList { "a [00:05.00]b" } << true;
    QTest::newRow("text before the tag") << "intro [00:03.00]text" << Times { 3000 } << QStringList { "text" } << true;
    // Title, artist and the other header tags are never sung.
    QTest::newRow("metadata tag") << "[ar:Someone]" << Times {} << QStringList {} << false;
    QTest::newRow("every header tag")
        << "[ti:Line By Line]\n[ar:A]\n[al:B]\n[by:C]\n[au:D]\n[length:03:20]\n[re:E]\n[ve:1.0]\n[#:note]\n[00:01.00]x"
        << Times { 1000 } << QStringList { "x" } << true;
    QTest::newRow("bracketed words are sung") << "[Chorus]" << Times { -1 } << QStringList { "[Chorus]" } << false;
    QTest::newRow("offset: positive is earlier")
        << "[offset:+500]\n[00:02.00]a" << Times { 1500 } << QStringList { "a" } << true;
    QTest::newRow("offset: negative is later")
        << "[offset:-250]\n[00:02.00]a" << Times { 2250 } << QStringList { "a" } << true;
    QTest::newRow("offset: never before the start")
        << "[00:01.00]a\n[offset:3000]" << Times { 0 } << QStringList { "a" } << true;
    QTest::newRow("offset: beyond a day is ignored")
        << "[offset:-9223372036854775808]\n[00:01.00]a" << Times { 1000 } << QStringList { "a" } << true;
    QTest::newRow("offset: not a number")
        << "[offset:soon]\n[00:01.00]a" << Times { 1000 } << QStringList { "a" } << true;
    QTest::newRow("text trimmed") << "  [00:01.00]   spaced out  " << Times { 1000 } << QStringList { "spaced out" }
                                  << true;
    QTest::newRow("seconds taken as written") << "[00:75.00]x" << Times { 75000 } << QStringList { "x" } << true;
    QTest::newRow("largest tag") << "[99:99.99]x" << Times { 6039990 } << QStringList { "x" } << true;
    QTest::newRow("CR LF text") << "[ti:Song]\r\n[00:01.00] One \r\n\r\n[00:02.50]Two\r\n"
                                << Times { 1000, 2500 } << QStringList { "One", "Two" } << true;
    // Sorted by time; an untimed line stays after the line it follows in the text.
    QTest::newRow("sorted by time") << "[00:10.00]ten\n[00:05.00]five\nplain\n[00:20.00]twenty"
                                    << Times { 5000, -1, 10000, 20000 }
                                    << QStringList { "five", "plain", "ten", "twenty" } << true;
    QTest::newRow("equal times keep the text order")
        << "[00:02.00]b\n[00:01.00]a\n[00:02.00]c" << Times { 1000, 2000, 2000 } << QStringList { "a", "b", "c" }
        << true;
    QTest::newRow("only untimed lines") << "[ti:Title]\nfirst\n\n  second  " << Times { -1, -1 }
                                        << QStringList { "first", "second" } << false;
    QTest::newRow("blank lines only") << "\n \n\r\n\t" << Times {} << QStringList {} << false;
    QTest::newRow("empty text") << "" << Times {} << QStringList {} << false;
}

void TestLyrics::parse()
{
    QFETCH(QString, lrc);
    QFETCH(Times, times);
    QFETCH(QStringList, texts);
    QFETCH(bool, timestamps);

    LyricsWidget w;
    w.setLyrics(lrc);

    Times gotTimes;
    QStringList gotTexts;
    for (const LyricLine &line : w.lines()) {
        gotTimes << line.time;
        gotTexts << line.text;
    }
    QCOMPARE(gotTimes, times);
    QCOMPARE(gotTexts, texts);
    QCOMPARE(w.hasTimestamps(), timestamps);
    QCOMPARE(w.currentLine(), -1);
}

void TestLyrics::setLyricsStartsOver()
{
    LyricsWidget w;
    w.setLyrics(timedLyrics(5));
    w.updatePosition(3500);
    sendWheel(&w, 240);
    QCOMPARE(w.currentLine(), 3);
    QCOMPARE(w.scrollOffset(), 30);

    // The next song's lyrics start unselected and unshifted, and the flag follows the new text.
    w.setLyrics(untimedLyrics(2));
    QCOMPARE(w.lines().size(), 2);
    QCOMPARE(w.currentLine(), -1);
    QCOMPARE(w.scrollOffset(), 0);
    QVERIFY(!w.hasTimestamps());
    w.updatePosition(3500);
    QCOMPARE(w.currentLine(), -1);

    w.setLyrics(timedLyrics(5));
    w.setLyrics(QString());
    QVERIFY(w.lines().isEmpty());
    QVERIFY(!w.hasTimestamps());
}

void TestLyrics::clearKeepsTimestampFlag()
{
    LyricsWidget w;
    w.setLyrics(timedLyrics(5));
    w.updatePosition(2000);
    sendWheel(&w, -120);
    QCOMPARE(w.scrollOffset(), -15);

    w.clear();
    QVERIFY(w.lines().isEmpty());
    QCOMPARE(w.currentLine(), -1);
    QCOMPARE(w.scrollOffset(), 0);
    QVERIFY(w.hasTimestamps());
    // With no lines the flag has no effect: nothing can be selected.
    w.updatePosition(4000);
    QCOMPARE(w.currentLine(), -1);
    QVERIFY(w.rowLayout().isEmpty());
}

void TestLyrics::updatePosition_data()
{
    QTest::addColumn<QString>("lrc");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<int>("current");

    // Written out of order, sung in time order: five, ten, twenty.
    const QString unsorted = QStringLiteral("[00:10.00]ten\n[00:05.00]five\n[00:20.00]twenty");
    QTest::newRow("unsorted: the latest line passed") << unsorted << qint64(12000) << 1;
    QTest::newRow("unsorted: before every line") << unsorted << qint64(4999) << -1;
    QTest::newRow("unsorted: only the earliest passed") << unsorted << qint64(7000) << 0;
    QTest::newRow("unsorted: all passed") << unsorted << qint64(20000) << 2;
    QTest::newRow("a repeated line at its second time")
        << "[00:01.00][00:05.00]both\n[00:03.00]mid" << qint64(6000) << 2;
    QTest::newRow("the offset moves the times") << "[offset:1000]\n[00:05.00]a\n[00:10.00]b" << qint64(9000) << 1;

    const QString sorted = QStringLiteral("[00:05.00]five\n[00:10.00]ten");
    QTest::newRow("exact match selects") << sorted << qint64(5000) << 0;
    QTest::newRow("exact match of the second") << sorted << qint64(10000) << 1;
    QTest::newRow("one millisecond short") << sorted << qint64(9999) << 0;
    QTest::newRow("negative position") << sorted << qint64(-1) << -1;
    QTest::newRow("long after the end") << sorted << qint64(3600000) << 1;

    QTest::newRow("untimed lines are skipped") << "[00:01.00]timed\nplain\n[00:09.00]later" << qint64(5000) << 0;
    QTest::newRow("same time twice: the later line") << "[00:02.00]first\n[00:02.00]second" << qint64(2000) << 1;
    QTest::newRow("untimed lyrics never select") << untimedLyrics(3) << qint64(3600000) << -1;
    QTest::newRow("metadata only never selects") << "[ar:Someone]\n[ti:Title]" << qint64(0) << -1;
    QTest::newRow("an empty timed tag marks the lyrics timed, nothing to select")
        << "[00:05.00]\nplain" << qint64(10000) << -1;
}

void TestLyrics::updatePosition()
{
    QFETCH(QString, lrc);
    QFETCH(qint64, position);
    QFETCH(int, current);

    LyricsWidget w;
    w.setLyrics(lrc);
    w.updatePosition(position);
    QCOMPARE(w.currentLine(), current);
}

// A time tag without text is a pause: the column stays, but no line is drawn as being sung.
void TestLyrics::pausesLeaveNoLineSung()
{
    LyricsWidget w;
    w.resize(500, 300);
    w.setLyrics(QStringLiteral("[00:01.00]one\n[00:03.00]\n[00:05.00]two"));
    QCOMPARE(w.lines().size(), 2);
    QCOMPARE(w.lyrics().gaps, (Times { 3000 }));

    w.updatePosition(2000);
    QCOMPARE(w.currentLine(), 0);
    QVERIFY(!w.inGap());
    QCOMPARE(w.rowLayout().first().colorRole, QPalette::Highlight);

    w.updatePosition(3500);
    QCOMPARE(w.currentLine(), 0);
    QVERIFY(w.inGap());
    const LyricRow paused = w.rowLayout().first();
    QCOMPARE(paused.line, 0);
    QCOMPARE(paused.colorRole, QPalette::Mid);
    QVERIFY(!paused.bold);

    w.updatePosition(5000);
    QCOMPARE(w.currentLine(), 1);
    QVERIFY(!w.inGap());
    // A seek back before the pause sings the first line again.
    w.updatePosition(1500);
    QCOMPARE(w.currentLine(), 0);
    QVERIFY(!w.inGap());
}

void TestLyrics::headerTagsAreKept()
{
    const ParsedLyrics parsed = parseLrc(QStringLiteral("[ti:Line By Line]\n[AR: Ann ]\n[offset:-120]\n[00:01.00]x"));
    QCOMPARE(parsed.metadata.value(QStringLiteral("ti")), QStringLiteral("Line By Line"));
    QCOMPARE(parsed.metadata.value(QStringLiteral("ar")), QStringLiteral("Ann"));
    QCOMPARE(parsed.offsetMs, qint64(-120));
    QCOMPARE(parsed.lines.first().time, qint64(1120));
}

void TestLyrics::updatePositionFollowsSeeks()
{
    LyricsWidget w;
    w.setLyrics(timedLyrics(30));
    w.updatePosition(20500);
    QCOMPARE(w.currentLine(), 20);
    w.updatePosition(6000); // a seek backwards
    QCOMPARE(w.currentLine(), 6);
    w.updatePosition(0);
    QCOMPARE(w.currentLine(), 0);
}

void TestLyrics::repaintOnlyWhenCurrentLineChanges()
{
    LyricsWidget w;
    w.setLyrics(timedLyrics(10));
    auto *paints = new PaintCounter(&w);
    showSized(&w, QSize(400, 300));
    QTRY_VERIFY(paints->count > 0);
    w.updatePosition(2500);
    QTRY_COMPARE(w.currentLine(), 2);
    QCoreApplication::processEvents();

    // Reports inside the same line: nothing to repaint.
    paints->count = 0;
    w.updatePosition(2600);
    w.updatePosition(2999);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(paints->count, 0);

    // The same delivery path paints once the line changes.
    w.updatePosition(3000);
    QCOMPARE(w.currentLine(), 3);
    QTRY_COMPARE(paints->count, 1);

    // Untimed lyrics ignore positions altogether.
    w.setLyrics(untimedLyrics(4));
    QTRY_COMPARE(paints->count, 2);
    QCoreApplication::processEvents();
    paints->count = 0;
    w.updatePosition(1000);
    w.updatePosition(50000);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(paints->count, 0);
}

void TestLyrics::resizeRule_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<int>("lineHeight");

    QTest::newRow("200, the minimum") << 200 << 12 << 27;
    QTest::newRow("239, still raised to 12") << 239 << 12 << 27;
    QTest::newRow("330, the window's own: the initial rows stay") << 330 << 16 << 35;
    QTest::newRow("400") << 400 << 20 << 35;
    QTest::newRow("490") << 490 << 24 << 39;
    QTest::newRow("600") << 600 << 24 << 39;
    QTest::newRow("1000, capped") << 1000 << 24 << 39;
}

void TestLyrics::resizeRule()
{
    QFETCH(int, height);
    QFETCH(int, fontSize);
    QFETCH(int, lineHeight);

    LyricsWidget w;
    QCOMPARE(w.fontSize(), 16);
    QCOMPARE(w.lineHeight(), 35);
    QCOMPARE(w.minimumHeight(), 200);

    showSized(&w, QSize(500, height));
    QCOMPARE(w.height(), height);
    QCOMPARE(w.fontSize(), fontSize);
    QCOMPARE(w.lineHeight(), lineHeight);

    // Shrinking to the minimum and back: once the size has changed, rows are the font plus 15.
    w.resize(500, 200);
    QCOMPARE(w.fontSize(), 12);
    QCOMPARE(w.lineHeight(), 27);
    w.resize(500, height);
    QCOMPARE(w.fontSize(), fontSize);
    QCOMPARE(w.lineHeight(), fontSize + 15);
}

void TestLyrics::rowLayout_data()
{
    QTest::addColumn<QString>("lrc");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    // Line i of timedLyrics starts at i seconds.
    QTest::newRow("middle: 30 lines, current 20") << timedLyrics(30) << qint64(20000) << 20 << 12 << 28;
    QTest::newRow("near the start: current 3") << timedLyrics(30) << qint64(3000) << 3 << 0 << 11;
    QTest::newRow("current 0") << timedLyrics(30) << qint64(0) << 0 << 0 << 8;
    QTest::newRow("current 8, all above fit") << timedLyrics(30) << qint64(8000) << 8 << 0 << 16;
    QTest::newRow("current 9, first line dropped") << timedLyrics(30) << qint64(9000) << 9 << 1 << 17;
    QTest::newRow("near the end: current 27") << timedLyrics(30) << qint64(27000) << 27 << 19 << 29;
    QTest::newRow("short lyrics, last current") << timedLyrics(3) << qint64(9000) << 2 << 0 << 2;
    QTest::newRow("timed, before the first tag")
        << "[00:05.00]a\n[00:06.00]b\n[00:07.00]c" << qint64(1000) << -1 << 0 << 2;
    QTest::newRow("untimed: every line") << untimedLyrics(30) << qint64(20000) << -1 << 0 << 29;
}

void TestLyrics::rowLayout()
{
    QFETCH(QString, lrc);
    QFETCH(qint64, position);
    QFETCH(int, current);
    QFETCH(int, first);
    QFETCH(int, last);

    LyricsWidget w;
    showSized(&w, QSize(600, 400)); // 20 points, rows of 35
    w.setLyrics(lrc);
    w.updatePosition(position);
    QCOMPARE(w.currentLine(), current);

    const QList<LyricRow> rows = w.rowLayout();
    QCOMPARE(rows.size(), last - first + 1);
    QCOMPARE(rows.first().line, first);
    QCOMPARE(rows.last().line, last);

    // The current row begins at the middle; with none, the first line begins one row below it.
    const int middle = 400 / 2;
    const int anchorLine = current >= 0 ? current : first;
    const int anchorTop = current >= 0 ? middle : middle + 35;
    for (int k = 0; k < rows.size(); ++k) {
        const LyricRow &row = rows.at(k);
        QCOMPARE(row.line, first + k);
        QCOMPARE(row.rect, QRect(20, anchorTop + (row.line - anchorLine) * 35, 560, 35));
        if (row.line == current) {
            QCOMPARE(row.colorRole, QPalette::Highlight);
            QVERIFY(row.bold);
        } else if (current >= 0 && row.line < current) {
            QCOMPARE(row.colorRole, QPalette::Mid);
            QVERIFY(!row.bold);
        } else {
            QCOMPARE(row.colorRole, QPalette::WindowText);
            QVERIFY(!row.bold);
        }
    }
}

void TestLyrics::wheelOffsetIsBounded()
{
    LyricsWidget w;
    w.setLyrics(timedLyrics(5));

    bool accepted = false;
    for (int i = 0; i < 10; ++i)
        sendWheel(&w, 120, &accepted);
    QVERIFY(accepted);
    QCOMPARE(w.scrollOffset(), 150);
    for (int i = 0; i < 10; ++i)
        sendWheel(&w, 120);
    QCOMPARE(w.scrollOffset(), 200);

    for (int i = 0; i < 40; ++i)
        sendWheel(&w, -120);
    QCOMPARE(w.scrollOffset(), -200);
    sendWheel(&w, 120);
    QCOMPARE(w.scrollOffset(), -185);

    // Partial notches truncate toward zero.
    w.setLyrics(timedLyrics(5));
    sendWheel(&w, 7);
    QCOMPARE(w.scrollOffset(), 0);
    sendWheel(&w, -7);
    QCOMPARE(w.scrollOffset(), 0);
    sendWheel(&w, -20);
    QCOMPARE(w.scrollOffset(), -2);
    // One huge turn is bounded too.
    sendWheel(&w, 100000);
    QCOMPARE(w.scrollOffset(), 200);
}

void TestLyrics::wheelShiftsRowsAndSurvivesLineChanges()
{
    LyricsWidget w;
    showSized(&w, QSize(600, 400));
    w.setLyrics(timedLyrics(30));
    w.updatePosition(10000);
    const QRect before = w.rowLayout().at(8).rect;
    QCOMPARE(w.rowLayout().at(8).line, 10);

    sendWheel(&w, 240); // away from the user: the text moves down
    QCOMPARE(w.rowLayout().at(8).rect, before.translated(0, 30));

    // The offset stays when the line changes, and goes with new lyrics.
    w.updatePosition(11000);
    QCOMPARE(w.scrollOffset(), 30);
    QCOMPARE(w.rowLayout().at(8).rect, before.translated(0, 30));
    w.setLyrics(timedLyrics(30));
    QCOMPARE(w.scrollOffset(), 0);
}

void TestLyrics::paintsRowColours()
{
    // Every line the same word, so that only colour and weight tell the rows apart.
    LyricsWidget w;
    w.setPalette(probePalette());
    showSized(&w, QSize(600, 400));
    w.setLyrics(timedLyrics(30, QStringLiteral("HHHHHHHH ")));
    w.updatePosition(20000);

    const QImage image = w.grab().toImage();
    const QColor background = probePalette().color(QPalette::Window);
    QVERIFY(closeTo(image.pixelColor(2, 2), background, 0));

    int currentInk = 0;
    int neighbourInk = 0;
    for (const LyricRow &row : w.rowLayout()) {
        if (!image.rect().contains(row.rect))
            continue;
        int ink = 0;
        const QColor got = strongestInk(image, row.rect, background, &ink);
        const QColor want = probePalette().color(row.colorRole);
        QVERIFY2(closeTo(got, want),
            qPrintable(QStringLiteral("line %1: %2 instead of %3").arg(row.line).arg(got.name(), want.name())));
        if (row.line == 20)
            currentInk = ink;
        else if (row.line == 21)
            neighbourInk = ink;
    }
    // The current line is drawn bold: more ink than the same text in normal weight.
    QVERIFY(currentInk > neighbourInk * 11 / 10);

    // Untimed lyrics: nothing highlighted, nothing dimmed.
    w.setLyrics(untimedLyrics(30));
    const QImage plain = w.grab().toImage();
    for (const LyricRow &row : w.rowLayout()) {
        if (plain.rect().contains(row.rect))
            QVERIFY(closeTo(strongestInk(plain, row.rect, background), probePalette().color(QPalette::WindowText)));
    }
}

void TestLyrics::paintsNothingBeyondRange()
{
    // Tall enough for all 30 lines, yet only 17 rows around the current one are drawn.
    LyricsWidget w;
    w.setPalette(probePalette());
    showSized(&w, QSize(500, 1000)); // 24 points, rows of 39
    w.setLyrics(timedLyrics(30));
    w.updatePosition(20000);
    const QList<LyricRow> rows = w.rowLayout();
    QCOMPARE(rows.first().line, 12);
    QCOMPARE(rows.last().line, 28);
    QCOMPARE(rows.first().rect.top(), 500 - 8 * 39);

    const QImage image = w.grab().toImage();
    const QColor background = probePalette().color(QPalette::Window);
    int ink = -1;
    strongestInk(image, QRect(0, 0, 500, rows.first().rect.top()), background, &ink);
    QCOMPARE(ink, 0);
    strongestInk(image, QRect(0, rows.last().rect.bottom() + 1, 500, 1000), background, &ink);
    QCOMPARE(ink, 0);
    strongestInk(image, QRect(0, rows.first().rect.top(), 500, 17 * 39), background, &ink);
    QVERIFY(ink > 0);
}

void TestLyrics::paintsEmptyText()
{
    LyricsWidget w;
    w.setPalette(probePalette());
    showSized(&w, QSize(500, 300));
    VELORA_REQUIRE_GLYPHS(QStringLiteral("暂无歌词"), w.font());

    const QColor background = probePalette().color(QPalette::Window);
    for (bool afterClear : { false, true }) {
        if (afterClear) {
            w.setLyrics(timedLyrics(5));
            w.clear();
        }
        const QImage image = w.grab().toImage();
        QVERIFY(
            closeTo(strongestInk(image, image.rect(), background), probePalette().color(QPalette::PlaceholderText)));

        // Centred both ways: the ink's bounding box sits around the middle.
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != background)
                    box |= QRect(x, y, 1, 1);
        QVERIFY(!box.isEmpty());
        QVERIFY2(std::abs(box.center().x() - 250) <= 3, qPrintable(QString::number(box.center().x())));
        QVERIFY2(std::abs(box.center().y() - 150) <= 3, qPrintable(QString::number(box.center().y())));
    }
}

void TestLyrics::transparentSheetRepaintsCleanly()
{
    // The themes make the widget transparent over its page. After each change the window's
    // backing store must match a fresh rendering: nothing of the previous paint left behind.
    QWidget page;
    page.setObjectName(QStringLiteral("lyricsPage"));
    page.setStyleSheet(QStringLiteral("#lyricsPage { background: #0d1117; }"
                                      "LyricsWidget { background: transparent; color: #c9d1d9;"
                                      " selection-background-color: #00d4a0; }"));
    auto *layout = new QVBoxLayout(&page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *w = new LyricsWidget(&page);
    layout->addWidget(w);
    w->setLyrics(timedLyrics(10, QStringLiteral("Line number ")));
    showSized(&page, QSize(500, 300));
    auto *paints = new PaintCounter(w);

    auto onScreen
        = [&page] { return page.screen()->grabWindow(page.winId()).toImage().convertToFormat(QImage::Format_RGB32); };
    auto fresh = [&page] { return page.grab().toImage().convertToFormat(QImage::Format_RGB32); };
    const QColor highlight(0x00, 0xd4, 0xa0);

    const std::function<void()> changes[] = {
        [w] { w->updatePosition(5000); },
        [w] { w->updatePosition(6000); },
        [w] { sendWheel(w, 120); },
        [w] { w->clear(); },
    };
    int step = 0;
    for (const auto &change : changes) {
        paints->count = 0;
        change();
        QTRY_VERIFY(paints->count > 0);
        QCoreApplication::processEvents();
        const QImage shown = onScreen();
        QVERIFY2(shown == fresh(), qPrintable(QStringLiteral("stale pixels after step %1").arg(step)));
        QVERIFY(closeTo(shown.pixelColor(2, 2), QColor(0x0d, 0x11, 0x17), 0));
        ++step;
    }
    QCOMPARE(strongestInk(onScreen(), page.rect(), QColor(0x0d, 0x11, 0x17)).name() == highlight.name(), false);
}

void TestLyrics::pressDoesNotReachWindow()
{
    PressRecorder window;
    auto *layout = new QVBoxLayout(&window);
    auto *lyrics = new LyricsWidget(&window);
    auto *other = new QWidget(&window); // a plain child lets presses through to the window
    other->setMinimumHeight(50);
    layout->addWidget(lyrics);
    layout->addWidget(other);
    lyrics->setLyrics(timedLyrics(3));
    showSized(&window, QSize(400, 400));

    QTest::mousePress(lyrics, Qt::LeftButton, Qt::NoModifier, lyrics->rect().center());
    QTest::mouseRelease(lyrics, Qt::LeftButton, Qt::NoModifier, lyrics->rect().center());
    QCOMPARE(window.presses, 0);

    QTest::mousePress(other, Qt::LeftButton, Qt::NoModifier, other->rect().center());
    QTest::mouseRelease(other, Qt::LeftButton, Qt::NoModifier, other->rect().center());
    QCOMPARE(window.presses, 1);
}

void TestLyrics::readableOnBothThemes_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::newRow("classic") << QStringLiteral(":/qss/default.css");
    QTest::newRow("day") << QStringLiteral(":/qss/white.css");
}

void TestLyrics::readableOnBothThemes()
{
    // The lyrics page of the real form under each application style sheet.
    QFETCH(QString, sheet);
    QFile file(sheet);
    QVERIFY(file.open(QIODevice::ReadOnly));
    qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
    auto restoreSheet = qScopeGuard([] { qApp->setStyleSheet(QString()); });

    QMainWindow window;
    Ui::MainWindow ui;
    ui.setupUi(&window);
    ui.centralStack->setCurrentWidget(ui.lyricsView);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    LyricsWidget *w = ui.lyricsWidget;
    w->setLyrics(timedLyrics(30, QStringLiteral("HHHHHH ")));
    w->updatePosition(10000);

    const QRect area(w->mapTo(&window, QPoint(0, 0)), w->size());
    const QImage image = window.grab(area).toImage();
    QCOMPARE(image.size(), w->size());

    // Each visible row against the background just left of it, where no text is ever drawn.
    QColor current, earlier, later;
    for (const LyricRow &row : w->rowLayout()) {
        if (!image.rect().contains(row.rect))
            continue;
        const QColor background = image.pixelColor(2, row.rect.center().y());
        const QColor ink = strongestInk(image, row.rect, background);
        const double ratio = contrast(ink, background);
        const QString where = QStringLiteral("line %1: %2 on %3, contrast %4")
                                  .arg(row.line)
                                  .arg(ink.name(), background.name())
                                  .arg(ratio, 0, 'f', 2);
        if (row.line == 10) {
            current = ink;
            // Bold and large: the light theme's accent reaches only about 2.3 on its background.
            QVERIFY2(ratio >= 2.0, qPrintable(where));
        } else if (row.line < 10) {
            earlier = ink;
            QVERIFY2(ratio >= 1.5, qPrintable(where));
        } else {
            later = ink;
            QVERIFY2(ratio >= 4.5, qPrintable(where));
        }
    }
    QVERIFY(current.isValid() && earlier.isValid() && later.isValid());
    QVERIFY(!closeTo(current, later, 40));
    QVERIFY(!closeTo(earlier, later, 8));

    // The empty text must show too, if more faintly.
    w->clear();
    VELORA_REQUIRE_GLYPHS(QStringLiteral("暂无歌词"), w->font());
    const QImage empty = window.grab(area).toImage();
    const QColor background = empty.pixelColor(2, empty.height() / 2);
    const QColor ink = strongestInk(empty, empty.rect(), background);
    QVERIFY2(contrast(ink, background) >= 1.5, qPrintable(ink.name() + QStringLiteral(" on ") + background.name()));
}

QTEST_MAIN(TestLyrics)
#include "tst_lyrics.moc"
