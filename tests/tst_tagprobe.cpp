#include "tagprobe.h"
#include "wavwriter.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString dataFile(const QString &name)
{
    return QStringLiteral(VELORA_TEST_DATA_DIR "/local/") + name;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Deterministic noise that no demuxer takes for audio.
QByteArray noise(int size)
{
    QByteArray bytes(size, '\0');
    quint32 state = 12345;
    for (char &byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 24);
    }
    return bytes;
}

} // namespace

class TestTagProbe : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void readsEveryContainer_data();
    void readsEveryContainer();
    void artistPreference_data();
    void artistPreference();
    void yearFromFiles_data();
    void yearFromFiles();
    void yearFromText_data();
    void yearFromText();
    void yearFromDateValue_data();
    void yearFromDateValue();
    void durationIsTruncated_data();
    void durationIsTruncated();
    void untaggedFileKeepsItsWholeName_data();
    void untaggedFileKeepsItsWholeName();
    void unreadableFilesGiveTheNameAndNoWait_data();
    void unreadableFilesGiveTheNameAndNoWait();
    void mediaPlayerFallbackReadsRawAac();
    void tagLibOnlyNeverFallsBack();
    void embeddedCover_data();
    void embeddedCover();

private:
    QTemporaryDir m_dir;
};

void TestTagProbe::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestTagProbe::readsEveryContainer_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<int>("trackNumber");
    QTest::addColumn<int>("year");

    QTest::newRow("mp3") << "tagged.mp3"
                         << "Album Artist" << 3 << 2019;
    QTest::newRow("flac") << "tagged.flac"
                          << "Album Artist" << 3 << 2019;
    QTest::newRow("ogg") << "tagged.ogg"
                         << "Album Artist" << 3 << 2019;
    QTest::newRow("m4a") << "tagged.m4a"
                         << "Album Artist" << 3 << 2019;
    QTest::newRow("aiff") << "tagged.aiff"
                          << "Album Artist" << 3 << 2019;
    // The encoder writes no album artist into WAV and no date into WMA.
    QTest::newRow("wav") << "tagged.wav"
                         << "Contrib Artist" << 3 << 2019;
    QTest::newRow("wma") << "tagged.wma"
                         << "Album Artist" << 3 << 0;
}

void TestTagProbe::readsEveryContainer()
{
    QFETCH(QString, file);
    QFETCH(QString, artist);
    QFETCH(int, trackNumber);
    QFETCH(int, year);

    const ProbeResult result = probeAudioFile(dataFile(file));
    QCOMPARE(result.source, ProbeSource::TagLib);
    QCOMPARE(result.title, QStringLiteral("Morning Song"));
    QCOMPARE(result.artist, artist);
    QCOMPARE(result.album, QStringLiteral("Local Album"));
    QCOMPARE(result.genre, QStringLiteral("Jazz"));
    QCOMPARE(result.trackNumber, trackNumber); // "3/12" loses its "of 12"
    QCOMPARE(result.year, year);
    QCOMPARE(result.duration, 0); // 0.2 s
    QVERIFY(!result.timedOut);
}

void TestTagProbe::artistPreference_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("artist");

    QTest::newRow("album artist before artist") << "tagged.flac"
                                                << "Album Artist";
    QTest::newRow("artist without album artist") << "contributor.flac"
                                                 << "Contrib Artist";
    QTest::newRow("author when nothing else") << "author.flac"
                                              << "The Author";
    QTest::newRow("none") << "Artist - Title.mp3"
                          << "";
}

void TestTagProbe::artistPreference()
{
    QFETCH(QString, file);
    QFETCH(QString, artist);
    QCOMPARE(probeAudioFile(dataFile(file)).artist, artist);
}

void TestTagProbe::yearFromFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("year");

    QTest::newRow("full date") << "tagged.flac" << 2019;
    QTest::newRow("1899 out of range") << "year-1899.flac" << 0;
    QTest::newRow("five digits, first four in range") << "year-20195.flac" << 2019;
    QTest::newRow("five digits, first four out of range") << "year-12345.flac" << 0;
    QTest::newRow("description only") << "year-description.flac" << 1987;
    QTest::newRow("bad date, then description") << "year-bad-date-description.flac" << 1987;
    QTest::newRow("year inside a date text") << "year-text-date.flac" << 2003;
    QTest::newRow("no date") << "contributor.flac" << 0;
}

void TestTagProbe::yearFromFiles()
{
    QFETCH(QString, file);
    QFETCH(int, year);
    QCOMPARE(probeAudioFile(dataFile(file)).year, year);
}

void TestTagProbe::yearFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("year");

    QTest::newRow("iso date") << "2019-05-01" << 2019;
    QTest::newRow("bare year") << "1987" << 1987;
    QTest::newRow("lower bound") << "1901" << 1901;
    QTest::newRow("upper bound") << "2099" << 2099;
    QTest::newRow("below range") << "1899" << 0;
    QTest::newRow("1900") << "1900" << 0;
    QTest::newRow("above range") << "2100" << 0;
    QTest::newRow("five digits in range") << "20195" << 2019;
    QTest::newRow("five digits out of range") << "12345" << 0;
    QTest::newRow("first group only") << "1850 remastered 1999" << 0;
    QTest::newRow("in a description") << "Recorded 1987 live" << 1987;
    QTest::newRow("three digits") << "987" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("letters") << "unknown" << 0;
}

void TestTagProbe::yearFromText()
{
    QFETCH(QString, text);
    QFETCH(int, year);
    QCOMPARE(::yearFromText(text), year);
}

void TestTagProbe::yearFromDateValue_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("year");

    QTest::newRow("date-time") << QVariant(QDateTime(QDate(2019, 5, 1), QTime(0, 0))) << 2019;
    // What the player delivers for a year-only date.
    QTest::newRow("invalid date-time") << QVariant(QDateTime()) << 0;
    QTest::newRow("date") << QVariant(QDate(1999, 12, 31)) << 1999;
    QTest::newRow("int is taken as it is") << QVariant(1850) << 1850;
    QTest::newRow("text") << QVariant(QStringLiteral("2001-01-01")) << 2001;
    QTest::newRow("text out of range") << QVariant(QStringLiteral("1899")) << 0;
    QTest::newRow("other type") << QVariant(2001.0) << 0;
    QTest::newRow("absent") << QVariant() << 0;
}

void TestTagProbe::yearFromDateValue()
{
    QFETCH(QVariant, value);
    QFETCH(int, year);
    QCOMPARE(::yearFromDateValue(value), year);
}

void TestTagProbe::durationIsTruncated_data()
{
    QTest::addColumn<int>("milliseconds");
    QTest::addColumn<int>("seconds");

    QTest::newRow("just under one second") << 999 << 0;
    QTest::newRow("one second") << 1000 << 1;
    QTest::newRow("one ms short of two seconds") << 1999 << 1;
}

void TestTagProbe::durationIsTruncated()
{
    QFETCH(int, milliseconds);
    QFETCH(int, seconds);

    const QString path = m_dir.filePath(QStringLiteral("length-%1.wav").arg(milliseconds));
    QVERIFY(writeWav(path, milliseconds, 8000, false));
    const ProbeResult result = probeAudioFile(path);
    QCOMPARE(result.source, ProbeSource::TagLib);
    QCOMPARE(result.duration, seconds);
}

void TestTagProbe::untaggedFileKeepsItsWholeName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");

    QTest::newRow("artist and title are not split") << "Artist - Title.mp3"
                                                    << "Artist - Title";
    QTest::newRow("dots inside the name stay") << "01. Intro.mp3"
                                               << "01. Intro";
    QTest::newRow("upper-case extension") << "Song.MP3"
                                          << "Song";
}

void TestTagProbe::untaggedFileKeepsItsWholeName()
{
    QFETCH(QString, name);
    QFETCH(QString, title);

    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    QVERIFY(QFile::copy(dataFile(QStringLiteral("Artist - Title.mp3")), path));
    const ProbeResult result = probeAudioFile(path);
    QCOMPARE(result.title, title);
    QVERIFY(result.artist.isEmpty());
    QVERIFY(result.album.isEmpty());
    QCOMPARE(result.year, 0);
}

void TestTagProbe::unreadableFilesGiveTheNameAndNoWait_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("noise as mp3") << "noise.mp3" << noise(4000);
    QTest::newRow("noise as flac") << "noise.flac" << noise(4000);
    QTest::newRow("noise as m4a") << "noise.m4a" << noise(4000);
    QTest::newRow("noise as ogg") << "noise.ogg" << noise(4000);
    QTest::newRow("noise as aac") << "noise.aac" << noise(4000);
    QTest::newRow("text as wma") << "notes.wma" << QByteArray("not audio at all\n");
    QTest::newRow("empty wav") << "empty.wav" << QByteArray();
    QTest::newRow("flac header only") << "cut.flac" << QByteArray("fLaC");
}

// No error is reported for such files; they get the title fallback and zeros. The media-player
// fallback must end on the player's own verdict instead of waiting out its full time.
void TestTagProbe::unreadableFilesGiveTheNameAndNoWait()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);

    const QString path = m_dir.filePath(name);
    QVERIFY(writeBytes(path, content));
    const ProbeResult result = probeAudioFile(path);
    QCOMPARE(result.title, QFileInfo(name).completeBaseName());
    QCOMPARE(result.duration, 0);
    QVERIFY(result.artist.isEmpty());
    QVERIFY(result.album.isEmpty());
    QCOMPARE(result.year, 0);
    QVERIFY2(!result.timedOut, "the fallback waited out its full time");
}

void TestTagProbe::mediaPlayerFallbackReadsRawAac()
{
    const ProbeResult result = probeAudioFile(dataFile(QStringLiteral("tagged.aac")));
    QCOMPARE(result.source, ProbeSource::MediaPlayer);
    QVERIFY(!result.timedOut);
    QCOMPARE(result.title, QStringLiteral("Morning Song"));
    QCOMPARE(result.artist, QStringLiteral("Album Artist"));
    QCOMPARE(result.album, QStringLiteral("Local Album"));
    QCOMPARE(result.genre, QStringLiteral("Jazz"));
    QCOMPARE(result.year, 2019);
}

void TestTagProbe::tagLibOnlyNeverFallsBack()
{
    const ProbeResult result = probeAudioFile(dataFile(QStringLiteral("tagged.aac")), ProbeMethod::TagLibOnly);
    QCOMPARE(result.source, ProbeSource::None);
    QCOMPARE(result.title, QStringLiteral("tagged"));
    QVERIFY(result.artist.isEmpty());

    const ProbeResult missing = probeAudioFile(m_dir.filePath(QStringLiteral("missing.mp3")));
    QCOMPARE(missing.source, ProbeSource::None);
    QCOMPARE(missing.title, QStringLiteral("missing"));
    QVERIFY(!missing.timedOut);
}

void TestTagProbe::embeddedCover_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("hasCover");

    QTest::newRow("mp3 picture frame") << dataFile(QStringLiteral("cover.mp3")) << true;
    QTest::newRow("flac picture block") << dataFile(QStringLiteral("cover.flac")) << true;
    QTest::newRow("tags without picture") << dataFile(QStringLiteral("tagged.mp3")) << false;
    QTest::newRow("unknown container") << dataFile(QStringLiteral("tagged.aac")) << false;
    QTest::newRow("missing file") << QStringLiteral("/nonexistent/cover.mp3") << false;
}

void TestTagProbe::embeddedCover()
{
    QFETCH(QString, path);
    QFETCH(bool, hasCover);

    const CoverImage cover = readEmbeddedCover(path);
    if (!hasCover) {
        QVERIFY(cover.data.isEmpty());
        return;
    }
    QCOMPARE(cover.data, readBytes(dataFile(QStringLiteral("cover.png"))));
    QCOMPARE(cover.mimeType, QStringLiteral("image/png"));
}

QTEST_MAIN(TestTagProbe)
#include "tst_tagprobe.moc"
