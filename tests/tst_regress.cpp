// Inputs the fuzzers found that once gave wrong results, kept so they never come back. Each
// input also lives in the fuzzers' seed corpus (fuzz/corpus/<target>/regress-*).
#include "localmusicmanager.h"
#include "tagprobe.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestRegress : public QObject
{
    Q_OBJECT

private slots:
    void probeOfBrokenFile_data();
    void probeOfBrokenFile();
};

void TestRegress::probeOfBrokenFile_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");

    // An Ogg Vorbis stream whose last granule position lies before its first: TagLib computes a
    // negative length from it.
    static const char negativeOgg[]
        = "\x4f\x67\x67\x53\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x89\x68\x8f\xeb\x00\x00\x00\x00\x25\x0f\x9c"
          "\xb9\x01\x1e\x01\x76\x6f\x72\x62\x69\x73\x00\x00\x00\x00\x01\x40\x1f\x00\x00\x00\x00\x00\x00\xb0\x36"
          "\x00\x00\x00\x00\x00\x00\x99\x01\x4f\x67\x67\x53\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x89\x68\x8f"
          "\xeb\x01\x00\x00\x00\x02\xf6\x52\x95\x0b\xd5\xff\xff\xff\xff\xff\xff\xff\xff\xff\xb5\x03\x76\x6f\x72"
          "\x62\x69\x73\x0d\x00\x61\x76\x66\x35\x39\x2e\x32\x37\x2e";
    QTest::newRow("ogg with a granule position running backwards")
        << QStringLiteral("backwards.ogg") << QByteArray(negativeOgg, sizeof(negativeOgg) - 1);
}

// A broken file is an entry of unknown length ("--:--"), never a negative one, both from the
// probe and in the library a scan builds.
void TestRegress::probeOfBrokenFile()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(fileName));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();

    const ProbeResult probe = probeAudioFile(file.fileName(), ProbeMethod::TagLibOnly);
    QCOMPARE(probe.duration, 0);
    QVERIFY(probe.year == 0 || (probe.year >= 1901 && probe.year <= 2099));
    QVERIFY(!probe.title.isEmpty());

    LocalMusicManager manager;
    manager.setProbeMethod(ProbeMethod::TagLibOnly);
    QSignalSpy finished(&manager, &LocalMusicManager::scanFinished);
    manager.startScan(dir.path());
    QVERIFY(finished.count() > 0 || finished.wait(10000));
    QCOMPARE(manager.musicFiles().size(), 1);
    QCOMPARE(manager.musicFiles().first().duration, 0);
    QCOMPARE(manager.musicFiles().first().formattedDuration(), QStringLiteral("--:--"));
}

QTEST_MAIN(TestRegress)
#include "tst_regress.moc"
