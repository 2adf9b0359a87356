#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

const QString SourceDir = QStringLiteral(VELORA_TEST_DATA_DIR "/../../src");

struct Message
{
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty for a finished entry
};

QList<Message> readTs(const QString &path, QString *error)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Message current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            current = Message{context, {}, {}, {}};
        } else if (name == QLatin1String("source")) {
            current.source = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            current.type = xml.attributes().value(QLatin1String("type")).toString();
            current.translation = xml.readElementText();
            messages.append(current);
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return messages;
}

// Everything that is not a finished, non-empty translation, one line each.
QStringList unfinished(const QList<Message> &messages)
{
    QStringList problems;
    for (const Message &m : messages) {
        if (!m.type.isEmpty() || m.translation.isEmpty())
            problems.append(QStringLiteral("%1: \"%2\" (%3)").arg(m.context, m.source, m.type.isEmpty() ? QStringLiteral("empty") : m.type));
    }
    return problems;
}

QStringList programSources()
{
    // Every folder of the program: the core library's texts share the catalogues with the window's.
    QStringList files;
    QDirIterator it(SourceDir, {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.ui")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

} // namespace

// The English catalogue must translate every source text of the program; the Chinese one
// must stay empty so that the source texts show.
class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void everyEnglishEntryIsFinished();
    void placeholdersAreKept();
    void noSourceTextIsMissingFromTheCatalogue();
    void chineseCatalogueIsEmpty();
    void noTextNeedsAnEmojiFont();
    void englishCatalogueAnswersEveryContext_data();
    void englishCatalogueAnswersEveryContext();
};

void TestTranslations::everyEnglishEntryIsFinished()
{
    QString error;
    const QList<Message> messages = readTs(SourceDir + QStringLiteral("/gui/translations/vl_en.ts"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!messages.isEmpty());
    const QStringList problems = unfinished(messages);
    QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("\n") + problems.join(u'\n')));
}

void TestTranslations::placeholdersAreKept()
{
    QString error;
    const QList<Message> messages = readTs(SourceDir + QStringLiteral("/gui/translations/vl_en.ts"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    static const QRegularExpression placeholder(QStringLiteral("%\\d+"));
    QStringList problems;
    for (const Message &m : messages) {
        QStringList inSource;
        QStringList inTranslation;
        for (auto it = placeholder.globalMatch(m.source); it.hasNext();)
            inSource.append(it.next().captured());
        for (auto it = placeholder.globalMatch(m.translation); it.hasNext();)
            inTranslation.append(it.next().captured());
        inSource.sort();
        inTranslation.sort();
        if (inSource != inTranslation)
            problems.append(QStringLiteral("%1: \"%2\" -> \"%3\"").arg(m.context, m.source, m.translation));
    }
    QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("\n") + problems.join(u'\n')));
}

// Refreshes a copy of the English catalogue from the sources: a text added to the program
// but not to the catalogue shows up there as unfinished.
void TestTranslations::noSourceTextIsMissingFromTheCatalogue()
{
    const QString lupdate = QLibraryInfo::path(QLibraryInfo::BinariesPath) + QStringLiteral("/lupdate");
    if (!QFile::exists(lupdate))
        QSKIP("lupdate is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("vl_en.ts"));
    QVERIFY(QFile::copy(SourceDir + QStringLiteral("/gui/translations/vl_en.ts"), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    // Headers are included by file name from every folder of the program, as the build does;
    // lupdate reads them to learn which translation context a class's tr() speaks in.
    QStringList includes{QStringLiteral("-I"), SourceDir};
    QDirIterator dirs(SourceDir, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (dirs.hasNext())
        includes << QStringLiteral("-I") << dirs.next();
    process.start(lupdate, includes + programSources() + QStringList{QStringLiteral("-ts"), copy, QStringLiteral("-no-obsolete"),
                                                         QStringLiteral("-locations"), QStringLiteral("none"),
                                                         QStringLiteral("-silent")});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAll().constData());

    QString error;
    const QList<Message> refreshed = readTs(copy, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QStringList problems = unfinished(refreshed);
    QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("texts without an English translation:\n") + problems.join(u'\n')));
}

void TestTranslations::chineseCatalogueIsEmpty()
{
    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral(":/translations/vl_zh.qm")));
    QVERIFY(chinese.isEmpty());
    QCOMPARE(chinese.language(), QStringLiteral("zh_CN"));
    QCOMPARE(chinese.translate("MainWindow", "本地音乐"), QString());

    QTranslator english;
    QVERIFY(english.load(QStringLiteral(":/translations/vl_en.qm")));
    QVERIFY(!english.isEmpty());
    QCOMPARE(english.language(), QStringLiteral("en_US"));
}

// Most machines have no colour emoji font: a pictograph in a text shows as a box. Buttons carry
// the project's SVG icons instead.
void TestTranslations::noTextNeedsAnEmojiFont()
{
    QString error;
    const QList<Message> messages = readTs(SourceDir + QStringLiteral("/gui/translations/vl_en.ts"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    auto isPictograph = [](uint c) {
        return (c >= 0x1F000 && c <= 0x1FAFF) || (c >= 0x2600 && c <= 0x27BF) || (c >= 0x2B00 && c <= 0x2BFF)
               || (c >= 0x25A0 && c <= 0x25FF) || c == 0xFE0F || c == 0x200D;
    };
    QStringList problems;
    for (const Message &m : messages) {
        for (const QString &text : {m.source, m.translation}) {
            const QList<uint> codePoints = text.toUcs4();
            if (std::any_of(codePoints.begin(), codePoints.end(), isPictograph))
                problems.append(QStringLiteral("%1: \"%2\"").arg(m.context, text));
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("\n") + problems.join(u'\n')));
}

void TestTranslations::englishCatalogueAnswersEveryContext_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("english");
    QTest::newRow("window") << QStringLiteral("MainWindow") << QStringLiteral("扫描完成，找到 %1 首本地歌曲")
                            << QStringLiteral("Scan complete, found %1 local songs");
    QTest::newRow("form") << QStringLiteral("MainWindow") << QStringLiteral("网络") << QStringLiteral("Online");
    QTest::newRow("form button") << QStringLiteral("MainWindow") << QStringLiteral("清空") << QStringLiteral("Clear");
    QTest::newRow("tab name") << QStringLiteral("MainWindow") << QStringLiteral("本地音乐") << QStringLiteral("Local Music");
    QTest::newRow("client") << QStringLiteral("ApiClient") << QStringLiteral("获取专辑失败:")
                            << QStringLiteral("Failed to fetch albums:");
    QTest::newRow("player") << QStringLiteral("MusicPlayer") << QStringLiteral("歌曲文件路径为空")
                            << QStringLiteral("Song file path is empty");
    QTest::newRow("lyrics") << QStringLiteral("LyricsWidget") << QStringLiteral("暂无歌词")
                            << QStringLiteral("No lyrics available");
    QTest::newRow("scanner") << QStringLiteral("LocalMusicManager") << QStringLiteral("目录不存在: ")
                             << QStringLiteral("Directory does not exist: ");
    QTest::newRow("records") << QStringLiteral("QObject") << QStringLiteral("未知艺术家") << QStringLiteral("Unknown Artist");
    QTest::newRow("start-up") << QStringLiteral("QObject") << QStringLiteral("警告") << QStringLiteral("Warning");
}

void TestTranslations::englishCatalogueAnswersEveryContext()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, english);
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/translations/vl_en.qm")));
    QCOMPARE(translator.translate(context.toUtf8().constData(), source.toUtf8().constData()), english);
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
