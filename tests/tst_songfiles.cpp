#include "songfiles.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/synchronizedlyricsframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>

namespace {

const QString DataDir = QStringLiteral(VELORA_TEST_DATA_DIR "/local");
const QString ChineseLyrics = QStringLiteral("[00:01.00]月亮代表我的心\n[00:05.50]你问我爱你有多深\n");

TagLib::String tagText(const QString &text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A copy of a tagged fixture, so that tags and neighbours can be written freely.
QString copyFixture(const QTemporaryDir &dir, const QString &name, const QString &as = QString())
{
    const QString target = dir.filePath(as.isEmpty() ? name : as);
    QFile::remove(target);
    if (!QFile::copy(DataDir + u'/' + name, target))
        return QString();
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

bool setTagProperty(const QString &path, const char *key, const QString &value)
{
    TagLib::FileRef ref(QFile::encodeName(path).constData());
    if (ref.isNull())
        return false;
    TagLib::PropertyMap properties = ref.file()->properties();
    properties.replace(key, TagLib::StringList(tagText(value)));
    ref.file()->setProperties(properties);
    return ref.save();
}

bool addUslt(const QString &path, const QString &text)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    auto *frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::UTF8);
    frame->setText(tagText(text));
    file.ID3v2Tag(true)->addFrame(frame);
    return file.save();
}

bool addSylt(const QString &path, const QList<QPair<uint, QString>> &lines)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    auto *frame = new TagLib::ID3v2::SynchronizedLyricsFrame(TagLib::String::UTF8);
    frame->setTimestampFormat(TagLib::ID3v2::SynchronizedLyricsFrame::AbsoluteMilliseconds);
    TagLib::ID3v2::SynchronizedLyricsFrame::SynchedTextList list;
    for (const auto &line : lines)
        list.append(TagLib::ID3v2::SynchronizedLyricsFrame::SynchedText(line.first, tagText(line.second)));
    frame->setSynchedText(list);
    file.ID3v2Tag(true)->addFrame(frame);
    return file.save();
}

QByteArray encoded(const char *encoding, const QString &text)
{
    QStringEncoder encoder(encoding);
    return encoder.isValid() ? QByteArray(encoder.encode(text)) : QByteArray();
}

QByteArray pngBytes(QColor colour)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

// Lyrics and covers of local songs: where they are looked for, in which order, in which encoding.
class TestSongFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decodeLyrics_data();
    void decodeLyrics();
    void lyricsBesideTheFile_data();
    void lyricsBesideTheFile();
    void embeddedLyrics_data();
    void embeddedLyrics();
    void fileBesideWinsOverEmbedded();
    void syncedLyricsBecomeTimedLines();
    void oversizedLyricsFileIsPassedOver();
    void coverOrder_data();
    void coverOrder();

private:
    QTemporaryDir m_dir;
};

void TestSongFiles::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestSongFiles::decodeLyrics_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8") << ChineseLyrics.toUtf8() << ChineseLyrics;
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF") + ChineseLyrics.toUtf8() << ChineseLyrics;
    QTest::newRow("utf-16 with mark") << encoded("UTF-16LE", QChar(0xFEFF) + ChineseLyrics) << ChineseLyrics;
    QTest::newRow("gb18030") << encoded("GB18030", ChineseLyrics) << ChineseLyrics;
    QTest::newRow("ascii") << QByteArray("[00:01.00]Hello\n") << QStringLiteral("[00:01.00]Hello\n");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestSongFiles::decodeLyrics()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    if (QTest::currentDataTag() == QLatin1String("gb18030") && bytes.isEmpty())
        QSKIP("this Qt has no GB18030 codec");
    QVERIFY(!bytes.isEmpty() || text.isEmpty());
    QCOMPARE(SongFiles::decodeLyrics(bytes), text);
}

void TestSongFiles::lyricsBesideTheFile_data()
{
    QTest::addColumn<QString>("lyricsName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("same base name") << "song.lrc" << ChineseLyrics.toUtf8() << ChineseLyrics;
    QTest::newRow("upper-case suffix") << "song.LRC" << ChineseLyrics.toUtf8() << ChineseLyrics;
    QTest::newRow("national encoding") << "song.lrc" << encoded("GB18030", ChineseLyrics) << ChineseLyrics;
    QTest::newRow("other base name") << "other.lrc" << ChineseLyrics.toUtf8() << QString();
    QTest::newRow("audio name with dots") << "song.live.lrc" << ChineseLyrics.toUtf8() << QString();
}

void TestSongFiles::lyricsBesideTheFile()
{
    QFETCH(QString, lyricsName);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString audio = copyFixture(dir, QStringLiteral("tagged.flac"), QStringLiteral("song.flac"));
    QVERIFY(!audio.isEmpty());
    QVERIFY(writeFile(dir.filePath(lyricsName), bytes));
    QCOMPARE(SongFiles::readLyricsBeside(audio), expected);
    QCOMPARE(SongFiles::findLyrics(audio), expected);
}

void TestSongFiles::embeddedLyrics_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("how"); // "uslt", or a property key
    QTest::newRow("mp3 USLT") << "tagged.mp3"
                              << "uslt";
    QTest::newRow("flac LYRICS") << "tagged.flac"
                                 << "LYRICS";
    QTest::newRow("ogg UNSYNCEDLYRICS") << "tagged.ogg"
                                        << "UNSYNCEDLYRICS";
    QTest::newRow("m4a lyrics atom") << "tagged.m4a"
                                     << "LYRICS";
}

void TestSongFiles::embeddedLyrics()
{
    QFETCH(QString, fixture);
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString audio = copyFixture(dir, fixture);
    QVERIFY(!audio.isEmpty());
    QCOMPARE(SongFiles::findLyrics(audio), QString());

    const QString text = QStringLiteral("第一行\nSecond line\n");
    QVERIFY(how == QLatin1String("uslt") ? addUslt(audio, text) : setTagProperty(audio, how.toLatin1().constData(), text));
    QCOMPARE(SongFiles::readEmbeddedLyrics(audio).trimmed(), text.trimmed());
    QCOMPARE(SongFiles::findLyrics(audio).trimmed(), text.trimmed());
}

void TestSongFiles::fileBesideWinsOverEmbedded()
{
    QTemporaryDir dir;
    const QString audio = copyFixture(dir, QStringLiteral("tagged.mp3"), QStringLiteral("a.mp3"));
    QVERIFY(addUslt(audio, QStringLiteral("embedded")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("a.lrc")), ChineseLyrics.toUtf8()));
    QCOMPARE(SongFiles::findLyrics(audio), ChineseLyrics);
    // An empty file beside it hides nothing.
    QVERIFY(writeFile(dir.filePath(QStringLiteral("a.lrc")), QByteArray("\n")));
    QCOMPARE(SongFiles::findLyrics(audio), QStringLiteral("embedded"));
}

void TestSongFiles::syncedLyricsBecomeTimedLines()
{
    QTemporaryDir dir;
    const QString audio = copyFixture(dir, QStringLiteral("tagged.mp3"));
    QVERIFY(addSylt(audio, { { 1000, QStringLiteral("一") }, { 65430, QStringLiteral("two") } }));
    QVERIFY(addUslt(audio, QStringLiteral("plain")));
    // The timed form wins: it is what the lyrics page follows.
    QCOMPARE(SongFiles::findLyrics(audio), QStringLiteral("[00:01.00]一\n[01:05.43]two\n"));
}

void TestSongFiles::oversizedLyricsFileIsPassedOver()
{
    QTemporaryDir dir;
    const QString audio = copyFixture(dir, QStringLiteral("tagged.flac"), QStringLiteral("big.flac"));
    QVERIFY(setTagProperty(audio, "LYRICS", QStringLiteral("embedded")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("big.lrc")), QByteArray(SongFiles::MaxLyricsBytes + 1, 'x')));
    QCOMPARE(SongFiles::findLyrics(audio), QStringLiteral("embedded"));
}

void TestSongFiles::coverOrder_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("images"); // written into the folder, each a distinct colour
    QTest::addColumn<QString>("expected"); // "embedded", an image's name, or "" for none
    QTest::newRow("embedded first") << "cover.mp3" << QStringList { "cover.png" } << "embedded";
    QTest::newRow("folder image") << "tagged.flac" << QStringList { "Folder.PNG" } << "Folder.PNG";
    QTest::newRow("cover before folder") << "tagged.flac" << QStringList { "folder.png", "cover.png" } << "cover.png";
    QTest::newRow("front") << "tagged.ogg" << QStringList { "front.png", "other.png" } << "front.png";
    QTest::newRow("only other images") << "tagged.ogg" << QStringList { "other.png", "cover.txt" } << "";
    QTest::newRow("nothing") << "tagged.m4a" << QStringList {} << "";
}

void TestSongFiles::coverOrder()
{
    QFETCH(QString, fixture);
    QFETCH(QStringList, images);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString audio = copyFixture(dir, fixture);
    QVERIFY(!audio.isEmpty());
    QHash<QString, QByteArray> written;
    int hue = 0;
    for (const QString &name : images) {
        written.insert(name, pngBytes(QColor::fromHsv(hue += 60, 200, 200)));
        QVERIFY(writeFile(dir.filePath(name), written.value(name)));
    }
    const CoverImage cover = SongFiles::findCover(audio);
    if (expected.isEmpty()) {
        QVERIFY(cover.data.isEmpty());
    } else if (expected == QLatin1String("embedded")) {
        QCOMPARE(cover.data, readEmbeddedCover(audio).data);
        QVERIFY(!cover.data.isEmpty());
    } else {
        QCOMPARE(cover.data, written.value(expected));
        QCOMPARE(cover.mimeType, QStringLiteral("image/png"));
    }
}

QTEST_GUILESS_MAIN(TestSongFiles)
#include "tst_songfiles.moc"
