#include "mainwindow.h"
#include "modalboxcloser.h"
#include "prefs_windowkit.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <algorithm>

using namespace WindowKit;

// Unregisters and registers the program's compiled-in bundle (catalogues included).
static void dropBundle()
{
    Q_CLEANUP_RESOURCE(velora);
}

static void restoreBundle()
{
    Q_INIT_RESOURCE(velora);
}

namespace {

QStringList tabTexts(MainWindow &window)
{
    QStringList texts(5);
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        const QVariant index = button->property("tabIndex");
        if (index.isValid() && index.toInt() >= 0 && index.toInt() < 5)
            texts[index.toInt()] = button->text();
    }
    return texts;
}

QStringList comboItems(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

} // namespace

// Switching the interface language at run time and restoring it at start.
class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void switchToEnglishAndBack();
    void lyricsHeaderFollowsTheLanguage_data();
    void lyricsHeaderFollowsTheLanguage();
    void storedLanguageAtStart_data();
    void storedLanguageAtStart();
    void qtTextsFollowTheLanguage();

private:
    QTemporaryDir m_dir;
    ModalBoxCloser m_closer;
};

void TestLanguage::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velora"));
    QCoreApplication::setApplicationName(QStringLiteral("VeloraPlayer"));
    QVERIFY(m_dir.isValid());
    QVERIFY(
        writeTaggedAudio({ { m_dir.filePath(QStringLiteral("1.flac")), QStringLiteral("One"), QString(), QString(), 1 },
            { m_dir.filePath(QStringLiteral("2.flac")), QStringLiteral("Two"), QString(), QString(), 1 } }));
    m_closer.start();
}

void TestLanguage::init()
{
    clearSettings();
    m_closer.clear();
}

void TestLanguage::switchToEnglishAndBack()
{
    {
        // A restored library of two files gives the local tab a count.
        QSettings settings;
        QVariantList files;
        for (const QString &name : { QStringLiteral("1.flac"), QStringLiteral("2.flac") })
            files.append(QVariantMap { { QStringLiteral("filePath"), m_dir.filePath(name) } });
        settings.setValue(QStringLiteral("localMusic/musicFiles"), files);
        settings.setValue(QStringLiteral("localMusic/fileCount"), 2);
    }
    MainWindow window;
    auto *searchMode = window.findChild<QComboBox *>(QStringLiteral("searchModeCombo"));
    QTRY_COMPARE(tabTexts(window).at(4), QStringLiteral("本地音乐 (2)"));
    QCOMPARE(comboItems(searchMode), (QStringList { QStringLiteral("网络"), QStringLiteral("本地") }));
    searchMode->setCurrentIndex(1);

    languageAction(window, QStringLiteral("en"))->trigger();
    QCOMPARE(QSettings().value(QStringLiteral("language")).toString(), QStringLiteral("en"));
    QCOMPARE(statusText(window), QStringLiteral("Switched to English"));
    QCOMPARE(tabTexts(window),
        (QStringList { QStringLiteral("All Albums (0)"), QStringLiteral("All Songs (0)"),
            QStringLiteral("Playlist (0)"), QStringLiteral("Charts"), QStringLiteral("Local Music (2)") }));
    QCOMPARE(comboItems(searchMode), (QStringList { QStringLiteral("Online"), QStringLiteral("Local") }));
    QCOMPARE(searchMode->currentIndex(), 1);
    // Laid out, the box is wide enough for its longer English item ("Online", not "Onli").
    window.show();
    QTRY_VERIFY2(searchMode->width() >= searchMode->sizeHint().width(),
        qPrintable(QStringLiteral("%1 < %2").arg(searchMode->width()).arg(searchMode->sizeHint().width())));
    QCOMPARE(window.windowTitle(), QStringLiteral("Velora"));
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("logo"))->text(), QStringLiteral("  Velora"));
    QCOMPARE(
        window.findChild<QPushButton *>(QStringLiteral("selectFolderBtn"))->text(), QStringLiteral("Choose Directory"));
    // Nothing plays and the play mode is the first one: the tool tips say so.
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("playBtn"))->toolTip(), QStringLiteral("Play"));
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("modeBtn"))->toolTip(), QStringLiteral("Sequential"));
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("volumeIcon"))->toolTip(), QStringLiteral("Volume"));
    QCOMPARE(comboItems(window.findChild<QComboBox *>(QStringLiteral("rankingTypeSelector"))),
        (QStringList { QStringLiteral("Artist Charts"), QStringLiteral("Song Charts") }));
    QStringList menu;
    for (QAction *action : window.findChild<QToolButton *>(QStringLiteral("menuBtn"))->menu()->actions()) {
        if (!action->isSeparator())
            menu.append(action->text());
    }
    QCOMPARE(menu,
        (QStringList { QStringLiteral("Auto-start on Boot"), QStringLiteral("Auto-play on Launch"),
            QStringLiteral("Light Theme"), QStringLiteral("Language"), QStringLiteral("About Velora") }));
    QCOMPARE(languageAction(window, QStringLiteral("zh"))->text(), QStringLiteral("Simplified Chinese"));
    QCOMPARE(languageAction(window, QStringLiteral("en"))->text(), QStringLiteral("English"));

    languageAction(window, QStringLiteral("zh"))->trigger();
    QCOMPARE(QSettings().value(QStringLiteral("language")).toString(), QStringLiteral("zh"));
    QCOMPARE(statusText(window), QStringLiteral("已切换到简体中文"));
    QCOMPARE(tabTexts(window).at(4), QStringLiteral("本地音乐 (2)"));
    QCOMPARE(tabTexts(window).at(0), QStringLiteral("所有专辑 (0)"));
    QCOMPARE(comboItems(searchMode), (QStringList { QStringLiteral("网络"), QStringLiteral("本地") }));
    QCOMPARE(searchMode->currentIndex(), 1);
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("selectFolderBtn"))->text(), QStringLiteral("选择目录"));
    QCOMPARE(languageAction(window, QStringLiteral("en"))->text(), QStringLiteral("English"));
    QCOMPARE(window.windowTitle(), QStringLiteral("维洛拉"));
}

void TestLanguage::lyricsHeaderFollowsTheLanguage_data()
{
    QTest::addColumn<QStringList>("shown"); // title, artist, album
    QTest::addColumn<QStringList>("english");
    QTest::addColumn<QStringList>("chineseAgain");
    QTest::newRow("nothing playing") << QStringList { QStringLiteral("未播放"), QString(), QString() }
                                     << QStringList { QStringLiteral("Not Playing"), QString(), QString() }
                                     << QStringList { QStringLiteral("未播放"), QString(), QString() };
    QTest::newRow("empty title") << QStringList { QString(), QString(), QString() }
                                 << QStringList { QStringLiteral("Not Playing"), QString(), QString() }
                                 << QStringList { QStringLiteral("未播放"), QString(), QString() };
    // The song's own texts stay; the fixed prefixes change, in both directions.
    QTest::newRow("song shown")
        << QStringList { QStringLiteral("Song"), QStringLiteral("演唱: Ann"), QStringLiteral("专辑: Blue") }
        << QStringList { QStringLiteral("Song"), QStringLiteral("Artist: Ann"), QStringLiteral("Album: Blue") }
        << QStringList { QStringLiteral("Song"), QStringLiteral("演唱: Ann"), QStringLiteral("专辑: Blue") };
    QTest::newRow("older English prefix")
        << QStringList { QStringLiteral("Song"), QStringLiteral("Singer: Ann"), QString() }
        << QStringList { QStringLiteral("Song"), QStringLiteral("Artist: Ann"), QString() }
        << QStringList { QStringLiteral("Song"), QStringLiteral("演唱: Ann"), QString() };
    QTest::newRow("no prefix stays")
        << QStringList { QStringLiteral("Song"), QStringLiteral("Ann"), QStringLiteral("Blue") }
        << QStringList { QStringLiteral("Song"), QStringLiteral("Ann"), QStringLiteral("Blue") }
        << QStringList { QStringLiteral("Song"), QStringLiteral("Ann"), QStringLiteral("Blue") };
}

void TestLanguage::lyricsHeaderFollowsTheLanguage()
{
    QFETCH(QStringList, shown);
    QFETCH(QStringList, english);
    QFETCH(QStringList, chineseAgain);
    MainWindow window;
    const QList<QLabel *> labels { window.findChild<QLabel *>(QStringLiteral("lyricsTitle")),
        window.findChild<QLabel *>(QStringLiteral("lyricsArtist")),
        window.findChild<QLabel *>(QStringLiteral("lyricsAlbum")) };
    const auto texts = [&labels] {
        QStringList result;
        for (QLabel *label : labels)
            result.append(label->text());
        return result;
    };
    for (int i = 0; i < labels.size(); ++i)
        labels.at(i)->setText(shown.at(i));

    languageAction(window, QStringLiteral("en"))->trigger();
    QCOMPARE(texts(), english);
    languageAction(window, QStringLiteral("zh"))->trigger();
    QCOMPARE(texts(), chineseAgain);
}

void TestLanguage::storedLanguageAtStart_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("bundled"); // the catalogues are in the program's resources
    QTest::addColumn<QString>("folderButton");
    QTest::addColumn<QString>("checked"); // the language entry checked in the menu
    QTest::newRow("English") << QStringLiteral("en") << true << QStringLiteral("Choose Directory")
                             << QStringLiteral("en");
    QTest::newRow("Chinese") << QStringLiteral("zh") << true << QStringLiteral("选择目录") << QStringLiteral("zh");
    QTest::newRow("unknown: Chinese resource")
        << QStringLiteral("fr") << true << QStringLiteral("选择目录") << QString();
    QTest::newRow("unknown, no resource: English file")
        << QStringLiteral("fr") << false << QStringLiteral("Choose Directory") << QString();
    QTest::newRow("English, no resource: English file")
        << QStringLiteral("en") << false << QStringLiteral("Choose Directory") << QStringLiteral("en");
    QTest::newRow("Chinese, no resource, no file")
        << QStringLiteral("zh") << false << QStringLiteral("选择目录") << QStringLiteral("zh");
}

void TestLanguage::storedLanguageAtStart()
{
    QFETCH(QString, stored);
    QFETCH(bool, bundled);
    QFETCH(QString, folderButton);
    QFETCH(QString, checked);
    QSettings().setValue(QStringLiteral("language"), stored);

    // The fallback folder beside the program holds the English catalogue only.
    const QString fallbackDir = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    const QString fallback = fallbackDir + QStringLiteral("/vl_en.qm");
    QFile::remove(fallback);
    QVERIFY(QDir().mkpath(fallbackDir));
    QVERIFY(QFile::copy(QStringLiteral(":/translations/vl_en.qm"), fallback));
    QVERIFY(!QFile::exists(fallbackDir + QStringLiteral("/vl_zh.qm")));

    if (!bundled)
        dropBundle();
    {
        MainWindow window;
        if (!bundled)
            QVERIFY(!QFile::exists(QStringLiteral(":/translations/vl_en.qm")));
        QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("selectFolderBtn"))->text(), folderButton);
        for (const QString &code : { QStringLiteral("zh"), QStringLiteral("en") })
            QCOMPARE(languageAction(window, code)->isChecked(), code == checked);
    }
    if (!bundled)
        restoreBundle();
    QFile::remove(fallback);
    QDir().rmdir(fallbackDir);
    QCOMPARE(QSettings().value(QStringLiteral("language")).toString(), stored);
}

// The buttons of question boxes come from Qt's own catalogue, which must follow the interface.
void TestLanguage::qtTextsFollowTheLanguage()
{
    auto yesText = [] {
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
        return box.button(QMessageBox::Yes)->text();
    };
    auto hasChinese = [](const QString &text) {
        return std::any_of(
            text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
    };
    MainWindow window;
    QVERIFY2(hasChinese(yesText()),
        qPrintable(QStringLiteral("\"%1\": is Qt's catalogue installed (Debian package "
                                  "qt6-translations-l10n)?")
                       .arg(yesText())));
    languageAction(window, QStringLiteral("en"))->trigger();
    QCOMPARE(yesText(), QStringLiteral("&Yes"));
    languageAction(window, QStringLiteral("zh"))->trigger();
    QVERIFY(hasChinese(yesText()));
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
