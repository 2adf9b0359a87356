#include "appstartup.h"
#include "fontcheck.h"
#include "modalboxcloser.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QFile>
#include <QResource>
#include <QLayout>
#include <QStackedWidget>
#include <QRegularExpression>
#include <QTest>

class TestFoundation : public QObject
{
    Q_OBJECT

private slots:
    void windowHasFixedSize();
    void formStartsOnAlbumPage();
    void combosHaveTwoItems_data();
    void combosHaveTwoItems();
    void tabLayoutIsEmpty();
    void formTextsCanBeDrawn();
    void resourcesPresent_data();
    void resourcesPresent();
    void chineseCatalogueHoldsNoMessages();
    void styleSheetLoads();
    void missingSheetWarnsAndWindowStillStarts();
    void emptySheetFails();
    void warningBoxIsInChinese();
};

// Unregisters the program's compiled-in bundle for the lifetime of the guard.
static void dropBundle()
{
    Q_CLEANUP_RESOURCE(velora);
}

static void restoreBundle()
{
    Q_INIT_RESOURCE(velora);
}

struct WithoutBundle
{
    WithoutBundle() { dropBundle(); }
    ~WithoutBundle() { restoreBundle(); }
};

void TestFoundation::windowHasFixedSize()
{
    QMainWindow w;
    Ui::MainWindow ui;
    ui.setupUi(&w);
    QCOMPARE(w.minimumSize(), QSize(960, 520));
    QCOMPARE(w.maximumSize(), QSize(960, 520));
    QCOMPARE(w.size(), QSize(960, 520));
}

void TestFoundation::formStartsOnAlbumPage()
{
    QMainWindow w;
    Ui::MainWindow ui;
    ui.setupUi(&w);
    QCOMPARE(ui.centralStack->count(), 6);
    QCOMPARE(ui.centralStack->currentIndex(), 0);
    QCOMPARE(ui.centralStack->currentWidget(), ui.albumView);
    const QStringList pages{"albumView", "songsView", "playlistView", "rankingView", "localMusicView", "lyricsView"};
    for (int i = 0; i < pages.size(); ++i)
        QCOMPARE(ui.centralStack->widget(i)->objectName(), pages.at(i));
}

void TestFoundation::combosHaveTwoItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("item0");
    QTest::addColumn<QString>("item1");
    QTest::newRow("search mode") << "searchModeCombo" << QString::fromUtf8("网络") << QString::fromUtf8("本地");
    QTest::newRow("chart type") << "rankingTypeSelector" << QString::fromUtf8("歌手排行") << QString::fromUtf8("歌曲排行");
}

void TestFoundation::combosHaveTwoItems()
{
    QFETCH(QString, name);
    QFETCH(QString, item0);
    QFETCH(QString, item1);
    QMainWindow w;
    Ui::MainWindow ui;
    ui.setupUi(&w);
    auto *combo = w.findChild<QComboBox *>(name);
    QVERIFY(combo);
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->itemText(0), item0);
    QCOMPARE(combo->itemText(1), item1);
}

void TestFoundation::tabLayoutIsEmpty()
{
    QMainWindow w;
    Ui::MainWindow ui;
    ui.setupUi(&w);
    QCOMPARE(ui.tabLayout->count(), 0);
}

// Without a font for them the Chinese texts are drawn as empty boxes: every text of the form must
// have glyphs on this machine (the install script brings the font).
void TestFoundation::formTextsCanBeDrawn()
{
    QMainWindow w;
    Ui::MainWindow ui;
    ui.setupUi(&w);
    QString texts;
    for (const QLabel *label : w.findChildren<QLabel *>())
        texts += label->text();
    for (const QAbstractButton *button : w.findChildren<QAbstractButton *>())
        texts += button->text();
    for (const QLineEdit *edit : w.findChildren<QLineEdit *>())
        texts += edit->placeholderText();
    for (const QComboBox *combo : w.findChildren<QComboBox *>()) {
        for (int i = 0; i < combo->count(); ++i)
            texts += combo->itemText(i);
    }
    QVERIFY(texts.contains(QStringLiteral("本地")));
    VELORA_REQUIRE_GLYPHS(texts, w.font());
}

void TestFoundation::resourcesPresent_data()
{
    QTest::addColumn<QString>("path");
    const QStringList files{
        ":/qss/default.css", ":/qss/white.css", ":/translations/vl_en.qm", ":/translations/vl_zh.qm",
        ":/translations/vl_en.ts", ":/translations/vl_zh.ts"};
    for (const QString &f : files)
        QTest::newRow(qPrintable(f)) << f;
    const QStringList images{"checkbox_checked", "checkbox_checked_disable", "checkbox_parcial",
                             "checkbox_parcial_disable", "checkbox_unchecked", "checkbox_unchecked_disable",
                             "radiobutton_checked", "radiobutton_checked_disable", "radiobutton_unchecked",
                             "radiobutton_unchecked_disable", "branch_open", "branch_close", "add_top",
                             "add_bottom", "add_left", "add_right", "calendar_prevmonth", "calendar_nextmonth"};
    for (const QString &i : images)
        QTest::newRow(qPrintable(i)) << QStringLiteral(":/qss/default/%1.png").arg(i);
    const QStringList icons{"logo", "album", "single", "playlist", "ranking", "folder", "add", "setting", "min",
                            "close", "search", "prev", "play", "pause", "next", "list", "repeat", "repeat-one",
                            "shuffle", "lyrics", "volume-off", "volume-down", "volume-center", "volume-up", "music",
                            "delete", "play-all"};
    for (const QString &i : icons)
        QTest::newRow(qPrintable(i)) << QStringLiteral(":/icons/%1.svg").arg(i);
}

void TestFoundation::resourcesPresent()
{
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
    QVERIFY(f.size() > 0);
    if (path.endsWith(QLatin1String(".svg"))) {
        const QIcon icon(path);
        QVERIFY(!icon.pixmap(24, 24).isNull());
    }
}

void TestFoundation::chineseCatalogueHoldsNoMessages()
{
    QFile f(QStringLiteral(":/translations/vl_zh.qm"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    // A catalogue with only its language tag: the Chinese source texts show through.
    QVERIFY(f.size() < 64);
}

void TestFoundation::styleSheetLoads()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    QVERIFY(loadStyleSheet(*app));
    QVERIFY(!app->styleSheet().isEmpty());
}

void TestFoundation::missingSheetWarnsAndWindowStillStarts()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    app->setStyleSheet(QString());
    {
        WithoutBundle guard;
        QVERIFY(!QFile::exists(QStringLiteral(":/qss/default.css")));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^\"无法打开样式表:\"")));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^\"当前工作目录:\"")));
        QVERIFY(!loadStyleSheet(*app));
        QVERIFY(app->styleSheet().isEmpty());
    }
    ModalBoxCloser closer;
    closer.start();
    showStyleSheetWarning();
    QCOMPARE(closer.count(), 1);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

void TestFoundation::emptySheetFails()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    app->setStyleSheet(QString());
    WithoutBundle guard;
    QVERIFY(QResource::registerResource(QStringLiteral(VELORA_EMPTY_SHEET_RCC)));
    QVERIFY(QFile::exists(QStringLiteral(":/qss/default.css")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^\"样式表为空！\"")));
    QVERIFY(!loadStyleSheet(*app));
    QVERIFY(app->styleSheet().isEmpty());
    QVERIFY(QResource::unregisterResource(QStringLiteral(VELORA_EMPTY_SHEET_RCC)));
}

void TestFoundation::warningBoxIsInChinese()
{
    ModalBoxCloser closer;
    closer.start();
    showStyleSheetWarning();
    QCOMPARE(closer.titles(), QStringList{QString::fromUtf8("警告")});
    QVERIFY(closer.texts().value(0).startsWith(QString::fromUtf8("无法加载样式表，将使用默认外观。\n")));
}

QTEST_MAIN(TestFoundation)
#include "tst_foundation.moc"
