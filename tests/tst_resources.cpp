#include "lyricswidget.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QFrame>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString ClassicSheet = QStringLiteral(":/qss/default.css");
const QString DaySheet = QStringLiteral(":/qss/white.css");

// The darkest and the lightest background of the two palettes: an icon has to read on both,
// because icons are drawn as they are, whatever the theme.
const QColor DarkestBackground(QStringLiteral("#0d1117"));
const QColor LightestBackground(QStringLiteral("#ffffff"));
// Below this a thin stroke is hard to make out at 14 px.
constexpr double MinIconContrast = 2.5;

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString withoutComments(QString css)
{
    static const QRegularExpression comment(
        QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption);
    return css.remove(comment);
}

// The selectors of every rule, in order, with white space normalised.
QStringList selectorsOf(const QString &css)
{
    static const QRegularExpression rule(QStringLiteral("([^{}]+)\\{[^{}]*\\}"));
    QStringList selectors;
    auto it = rule.globalMatch(withoutComments(css));
    while (it.hasNext())
        selectors << it.next().captured(1).simplified();
    return selectors;
}

double luminance(const QColor &c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Alpha-weighted mean colour of the drawn pixels, and how many pixels are drawn at all.
QColor inkOf(const QImage &image, int *drawnPixels)
{
    double r = 0, g = 0, b = 0, weight = 0;
    int drawn = 0;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QColor c = QColor::fromRgba(argb.pixel(x, y));
            if (c.alpha() == 0)
                continue;
            ++drawn;
            r += c.redF() * c.alphaF();
            g += c.greenF() * c.alphaF();
            b += c.blueF() * c.alphaF();
            weight += c.alphaF();
        }
    }
    *drawnPixels = drawn;
    if (weight == 0)
        return {};
    return QColor::fromRgbF(float(r / weight), float(g / weight), float(b / weight));
}

const QStringList IconNames { "logo", "album", "single", "playlist", "ranking", "folder", "add", "setting", "min",
    "close", "search", "prev", "play", "pause", "next", "list", "repeat", "repeat-one", "shuffle", "lyrics",
    "volume-off", "volume-down", "volume-center", "volume-up", "music", "delete" };

// Icons drawn on a button of their own colour rather than on the theme background.
struct ButtonIcon
{
    const char *name;
    const char *background; // where the icon sits: the lighter of the two sheets' gradient starts
};
const ButtonIcon ButtonIcons[] = { { "play-all", "#009b7d" } };

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void sheetImagesExist_data();
    void sheetImagesExist();
    void sheetsShareOneStructure();
    void sheetParsesWithoutWarnings_data();
    void sheetParsesWithoutWarnings();
    void sheetColoursWidgets_data();
    void sheetColoursWidgets();
    void statusTextReadsOnTheHeader_data();
    void statusTextReadsOnTheHeader();
    void currentRowTintOnlyWhereReadable_data();
    void currentRowTintOnlyWhereReadable();
    void lyricsPlaceholderReads_data();
    void lyricsPlaceholderReads();

    void iconRendersAndReadsOnBothThemes_data();
    void iconRendersAndReadsOnBothThemes();
    void iconFamilySharesOneCanvas();
    void buttonIconReadsOnItsButton_data();
    void buttonIconReadsOnItsButton();
};

void TestResources::cleanup()
{
    qApp->setStyleSheet(QString());
}

void TestResources::sheetImagesExist_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::newRow("classic") << ClassicSheet;
    QTest::newRow("day") << DaySheet;
}

// A misspelt url() is silently dropped by Qt: the indicator or arrow just disappears.
void TestResources::sheetImagesExist()
{
    QFETCH(QString, sheet);
    const QString css = withoutComments(readText(sheet));
    QVERIFY2(!css.isEmpty(), qPrintable(sheet));

    static const QRegularExpression url(QStringLiteral("url\\(\\s*([^)\\s]+)\\s*\\)"));
    QSet<QString> seen;
    auto it = url.globalMatch(css);
    while (it.hasNext())
        seen.insert(it.next().captured(1));
    // The check box, radio button, arrow and branch images are all in use.
    QVERIFY2(seen.size() >= 14, qPrintable(QString::number(seen.size())));

    for (const QString &path : std::as_const(seen)) {
        QVERIFY2(path.startsWith(QLatin1String(":/qss/default/")), qPrintable(path));
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QVERIFY2(image.width() <= 16 && image.height() <= 16, qPrintable(path));
        int drawn = 0;
        inkOf(image, &drawn);
        QVERIFY2(drawn > 0, qPrintable(path));
    }
}

// The two themes differ in colours only; a rule added to one sheet alone is a theme bug.
void TestResources::sheetsShareOneStructure()
{
    const QStringList classic = selectorsOf(readText(ClassicSheet));
    const QStringList day = selectorsOf(readText(DaySheet));
    QVERIFY(classic.size() > 50);
    QCOMPARE(day, classic);
}

void TestResources::sheetParsesWithoutWarnings_data()
{
    sheetImagesExist_data();
}

// Qt rejects a whole application sheet with one syntax error and only logs a warning.
void TestResources::sheetParsesWithoutWarnings()
{
    QFETCH(QString, sheet);
    QTest::failOnWarning(QRegularExpression(QStringLiteral("[Ss]tyle ?[Ss]heet")));
    qApp->setStyleSheet(readText(sheet));
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("label"), &window));
    layout->addWidget(new QPushButton(QStringLiteral("button"), &window));
    window.ensurePolished();
    for (QWidget *child : window.findChildren<QWidget *>())
        child->ensurePolished();
    QVERIFY(window.palette().color(QPalette::WindowText).isValid());
}

void TestResources::sheetColoursWidgets_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<int>("role");
    QTest::addColumn<QColor>("expected");

    const int text = QPalette::WindowText;
    QTest::newRow("classic text") << ClassicSheet << "playlistInfo" << text << QColor("#8b949e");
    QTest::newRow("classic logo") << ClassicSheet << "logo" << int(QPalette::ButtonText) << QColor("#00d4a0");
    QTest::newRow("classic status") << ClassicSheet << "statusBar" << text << QColor("#8b949e");
    QTest::newRow("classic lyrics title") << ClassicSheet << "lyricsTitle" << text << QColor("#00d4a0");
    QTest::newRow("classic song label") << ClassicSheet << "currentSongLabel" << text << QColor("#e6edf3");
    QTest::newRow("classic plain label") << ClassicSheet << "anyLabel" << text << QColor("#c9d1d9");
    QTest::newRow("classic sung line") << ClassicSheet << "lyricsWidget" << int(QPalette::Highlight)
                                       << QColor("#00d4a0");
    QTest::newRow("day text") << DaySheet << "playlistInfo" << text << QColor("#636e72");
    QTest::newRow("day logo") << DaySheet << "logo" << int(QPalette::ButtonText) << QColor("#00b894");
    QTest::newRow("day status") << DaySheet << "statusBar" << text << QColor("#636e72");
    QTest::newRow("day lyrics title") << DaySheet << "lyricsTitle" << text << QColor("#00b894");
    QTest::newRow("day song label") << DaySheet << "currentSongLabel" << text << QColor("#2d3436");
    QTest::newRow("day plain label") << DaySheet << "anyLabel" << text << QColor("#2d3436");
    QTest::newRow("day sung line") << DaySheet << "lyricsWidget" << int(QPalette::Highlight) << QColor("#00b894");
}

// The sheets address the form's widgets by object name; a renamed selector loses its colour.
void TestResources::sheetColoursWidgets()
{
    QFETCH(QString, sheet);
    QFETCH(QString, objectName);
    QFETCH(int, role);
    QFETCH(QColor, expected);

    qApp->setStyleSheet(readText(sheet));
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    QWidget *widget = nullptr;
    if (objectName == QLatin1String("logo"))
        widget = new QPushButton(QStringLiteral("logo"), &window);
    else if (objectName == QLatin1String("lyricsWidget"))
        widget = new LyricsWidget(&window);
    else
        widget = new QLabel(QStringLiteral("text"), &window);
    widget->setObjectName(objectName);
    layout->addWidget(widget);
    widget->ensurePolished();
    QCOMPARE(widget->palette().color(QPalette::ColorRole(role)), expected);
}

void TestResources::statusTextReadsOnTheHeader_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::newRow("classic (dark)") << ClassicSheet;
    QTest::newRow("day (light)") << DaySheet;
}

// The status line's colour against the header as the sheet paints it (the header's translucent
// panel over the right panel): at least 4.5:1, the contrast small body text needs.
void TestResources::statusTextReadsOnTheHeader()
{
    QFETCH(QString, sheet);
    qApp->setStyleSheet(readText(sheet));
    QWidget rightPanel;
    rightPanel.setObjectName(QStringLiteral("rightPanel"));
    rightPanel.setAttribute(Qt::WA_StyledBackground);
    auto *panelLayout = new QVBoxLayout(&rightPanel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    auto *header = new QFrame(&rightPanel);
    header->setObjectName(QStringLiteral("headerFrame"));
    header->setFixedHeight(50);
    panelLayout->addWidget(header);
    auto *headerLayout = new QHBoxLayout(header);
    auto *status = new QLabel(QStringLiteral("加载了 3 首歌曲"), header);
    status->setObjectName(QStringLiteral("statusBar"));
    headerLayout->addWidget(status);
    headerLayout->addStretch(1);
    rightPanel.resize(400, 80);
    const QImage image = rightPanel.grab().toImage();
    const QColor ground = image.pixelColor(QPoint(390, 25) * image.devicePixelRatio());
    const QColor text = status->palette().color(QPalette::WindowText);
    const double ratio = contrast(text, ground);
    QVERIFY2(ratio >= 4.5,
        qPrintable(QStringLiteral("%1 on %2: %3:1").arg(text.name(), ground.name()).arg(ratio, 0, 'f', 2)));
}

void TestResources::currentRowTintOnlyWhereReadable_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<bool>("tintShown");
    QTest::newRow("classic") << ClassicSheet << false;
    QTest::newRow("day") << DaySheet << true;
}

// The window marks the playing row with a fixed light tint. On the day palette it shows; on the
// classic palette the light text would vanish on it, so rows paint their own panel there.
void TestResources::currentRowTintOnlyWhereReadable()
{
    QFETCH(QString, sheet);
    QFETCH(bool, tintShown);
    const QColor tint(QStringLiteral("#e8f8f2"));

    qApp->setStyleSheet(readText(sheet));
    QListWidget list;
    list.setObjectName(QStringLiteral("allSongsList"));
    list.resize(300, 200);
    list.addItems({ QStringLiteral("a - b  [01:00]"), QStringLiteral("c - d  [02:00]") });
    list.item(1)->setBackground(tint);
    const QImage image = list.grab().toImage();
    const QRect row = list.visualItemRect(list.item(1));
    QVERIFY(row.isValid());
    const QPoint probe = list.viewport()->mapTo(&list, QPoint(row.right() - 4, row.center().y()));
    const QColor seen = image.pixelColor(probe * image.devicePixelRatio());
    QCOMPARE(seen == tint, tintShown);
}

void TestResources::lyricsPlaceholderReads_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QColor>("background");
    QTest::newRow("classic") << ClassicSheet << QColor("#0d1117");
    QTest::newRow("day") << DaySheet << QColor("#f8f9fa");
}

// "No lyrics" is drawn in the placeholder colour over the transparent lyrics page.
void TestResources::lyricsPlaceholderReads()
{
    QFETCH(QString, sheet);
    QFETCH(QColor, background);

    qApp->setStyleSheet(readText(sheet));
    LyricsWidget lyrics;
    lyrics.ensurePolished();
    const QColor placeholder = lyrics.palette().color(QPalette::PlaceholderText);
    const double a = placeholder.alphaF();
    const QColor seen = QColor::fromRgbF(float(placeholder.redF() * a + background.redF() * (1 - a)),
        float(placeholder.greenF() * a + background.greenF() * (1 - a)),
        float(placeholder.blueF() * a + background.blueF() * (1 - a)));
    QVERIFY2(contrast(seen, background) >= MinIconContrast,
        qPrintable(QStringLiteral("%1 (alpha %2) on %3").arg(placeholder.name()).arg(a).arg(background.name())));
}

void TestResources::iconRendersAndReadsOnBothThemes_data()
{
    QTest::addColumn<QString>("path");
    for (const QString &name : IconNames)
        QTest::newRow(qPrintable(name)) << QStringLiteral(":/icons/%1.svg").arg(name);
}

// Icons are never recoloured: each must show at the smallest and largest size it is used at,
// and its ink must stand out from the darkest and the lightest theme background.
void TestResources::iconRendersAndReadsOnBothThemes()
{
    QFETCH(QString, path);
    const QIcon icon(path);
    QVERIFY2(!icon.isNull(), qPrintable(path));

    for (int size : { 14, 28 }) {
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        int drawn = 0;
        const QColor ink = inkOf(image, &drawn);
        // Even the thinnest icon (a single stroke) inks a twentieth of its square; a filled
        // square would mean the drawing was lost.
        QVERIFY2(drawn * 20 >= size * size, qPrintable(QStringLiteral("%1 px: %2 pixels").arg(size).arg(drawn)));
        QVERIFY2(drawn < size * size || path.endsWith(QLatin1String("logo.svg")), qPrintable(path));
        if (path.endsWith(QLatin1String("logo.svg")))
            continue; // the mark brings its own badge
        QVERIFY2(contrast(ink, DarkestBackground) >= MinIconContrast,
            qPrintable(QStringLiteral("%1 on dark: %2").arg(ink.name()).arg(contrast(ink, DarkestBackground))));
        QVERIFY2(contrast(ink, LightestBackground) >= MinIconContrast,
            qPrintable(QStringLiteral("%1 on light: %2").arg(ink.name()).arg(contrast(ink, LightestBackground))));
    }
}

// One family: the same canvas, the same stroke weight and round ends throughout.
void TestResources::iconFamilySharesOneCanvas()
{
    static const QRegularExpression viewBox(QStringLiteral("viewBox=\"0 0 24 24\""));
    static const QRegularExpression roundCaps(QStringLiteral("stroke-linecap=\"round\""));
    static const QRegularExpression strokeWidth(QStringLiteral("<svg[^>]*stroke-width=\"2\""));
    for (const QString &name : IconNames) {
        const QString svg = readText(QStringLiteral(":/icons/%1.svg").arg(name));
        QVERIFY2(!svg.isEmpty(), qPrintable(name));
        QVERIFY2(viewBox.match(svg).hasMatch(), qPrintable(name));
        QVERIFY2(roundCaps.match(svg).hasMatch(), qPrintable(name));
        if (name != QLatin1String("logo"))
            QVERIFY2(strokeWidth.match(svg).hasMatch(), qPrintable(name));
    }
}

void TestResources::buttonIconReadsOnItsButton_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QColor>("background");
    for (const ButtonIcon &icon : ButtonIcons)
        QTest::newRow(icon.name) << QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon.name))
                                 << QColor(QLatin1String(icon.background));
}

// The play-all button is filled green in both sheets; its icon, at the button's left end, must
// stand out from the fill there.
void TestResources::buttonIconReadsOnItsButton()
{
    QFETCH(QString, path);
    QFETCH(QColor, background);
    const QImage image = QIcon(path).pixmap(QSize(16, 16)).toImage();
    int drawn = 0;
    const QColor ink = inkOf(image, &drawn);
    QVERIFY2(drawn > 0, qPrintable(path));
    QVERIFY2(contrast(ink, background) >= MinIconContrast,
        qPrintable(QStringLiteral("%1 on %2: %3").arg(ink.name(), background.name()).arg(contrast(ink, background))));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
