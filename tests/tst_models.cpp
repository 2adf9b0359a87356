#include "models.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QVariant>

#include <limits>

class TestModels : public QObject
{
    Q_OBJECT

private slots:
    void intMembersTakeOnlyWhole32BitNumbers_data();
    void intMembersTakeOnlyWhole32BitNumbers();
    void stringMembersTakeOnlyStrings_data();
    void stringMembersTakeOnlyStrings();
    void emptyObjectGivesDefaultRecords();
    void unknownKeysAreIgnored();
    void songRoundTrip();
    void albumRoundTrip();
    void formattedDuration_data();
    void formattedDuration();
    void songTravelsInVariants();
};

namespace {

QJsonObject parseObject(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        qFatal("bad fixture JSON: %s", json.constData());
    return doc.object();
}

Song fullSong()
{
    Song s;
    s.id = 17;
    s.albumId = 3;
    s.title = QStringLiteral("晴天");
    s.artist = QStringLiteral("Artist \"quoted\"");
    s.duration = 269;
    s.filePath = QStringLiteral("songs/a b/晴天.mp3");
    s.trackNumber = 4;
    s.lyrics = QStringLiteral("[00:01.00]第一行\n[00:02.50]second");
    s.lyricist = QStringLiteral("L");
    s.composer = QStringLiteral("C");
    s.arranger = QStringLiteral("Ar");
    s.producer = QStringLiteral("P");
    s.genre = QStringLiteral("Pop");
    s.language = QStringLiteral("国语");
    s.playCount = 2147483647;
    return s;
}

} // namespace

void TestModels::intMembersTakeOnlyWhole32BitNumbers_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("jsonValue");
    QTest::addColumn<int>("expected");

    const QStringList keys { QStringLiteral("id"), QStringLiteral("album_id"), QStringLiteral("duration"),
        QStringLiteral("track_number"), QStringLiteral("play_count"), QStringLiteral("year"),
        QStringLiteral("song_count") };
    const QList<QPair<QByteArray, int>> cases {
        { "42", 42 },
        { "42.0", 42 },
        { "4.2e1", 42 },
        { "\"42\"", 0 },
        { "3000000000", 0 },
        { "-3000000000", 0 },
        { "2147483647", 2147483647 },
        { "-2147483648", std::numeric_limits<int>::min() },
        { "-7", -7 },
        { "42.5", 0 },
        { "null", 0 },
        { "true", 0 },
        { "[42]", 0 },
        { "{\"v\":42}", 0 },
    };
    for (const QString &key : keys) {
        for (const auto &c : cases)
            QTest::addRow("%s=%s", qPrintable(key), c.first.constData()) << key << c.first << c.second;
    }
}

void TestModels::intMembersTakeOnlyWhole32BitNumbers()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, jsonValue);
    QFETCH(int, expected);

    const QJsonObject obj = parseObject("{\"" + key.toUtf8() + "\":" + jsonValue + "}");
    const Song s = Song::fromJson(obj);
    const Album a = Album::fromJson(obj);
    const QHash<QString, int> songValues { { QStringLiteral("id"), s.id }, { QStringLiteral("album_id"), s.albumId },
        { QStringLiteral("duration"), s.duration }, { QStringLiteral("track_number"), s.trackNumber },
        { QStringLiteral("play_count"), s.playCount } };
    const QHash<QString, int> albumValues { { QStringLiteral("id"), a.id }, { QStringLiteral("year"), a.year },
        { QStringLiteral("song_count"), a.songCount } };
    QVERIFY(songValues.contains(key) || albumValues.contains(key));
    if (songValues.contains(key))
        QCOMPARE(songValues.value(key), expected);
    if (albumValues.contains(key))
        QCOMPARE(albumValues.value(key), expected);
}

void TestModels::stringMembersTakeOnlyStrings_data()
{
    QTest::addColumn<QByteArray>("jsonValue");
    QTest::addColumn<QString>("expected");

    QTest::newRow("string") << QByteArray("\"周杰伦\"") << QStringLiteral("周杰伦");
    QTest::newRow("empty string") << QByteArray("\"\"") << QString();
    QTest::newRow("number") << QByteArray("42") << QString();
    QTest::newRow("null") << QByteArray("null") << QString();
    QTest::newRow("boolean") << QByteArray("false") << QString();
    QTest::newRow("array") << QByteArray("[\"x\"]") << QString();
}

void TestModels::stringMembersTakeOnlyStrings()
{
    QFETCH(QByteArray, jsonValue);
    QFETCH(QString, expected);

    const QStringList songKeys { QStringLiteral("title"), QStringLiteral("artist"), QStringLiteral("file_path"),
        QStringLiteral("lyrics"), QStringLiteral("lyricist"), QStringLiteral("composer"), QStringLiteral("arranger"),
        QStringLiteral("producer"), QStringLiteral("genre"), QStringLiteral("language") };
    for (const QString &key : songKeys) {
        const Song s = Song::fromJson(parseObject("{\"" + key.toUtf8() + "\":" + jsonValue + "}"));
        // The record goes back to JSON to read the one member by its key.
        QCOMPARE(s.toJson().value(key).toString(), expected);
    }
    const QStringList albumKeys { QStringLiteral("name"), QStringLiteral("artist"), QStringLiteral("cover") };
    for (const QString &key : albumKeys) {
        const Album a = Album::fromJson(parseObject("{\"" + key.toUtf8() + "\":" + jsonValue + "}"));
        QCOMPARE(a.toJson().value(key).toString(), expected);
    }
}

void TestModels::emptyObjectGivesDefaultRecords()
{
    QCOMPARE(Song::fromJson(QJsonObject()).toJson(), Song().toJson());
    QCOMPARE(Album::fromJson(QJsonObject()).toJson(), Album().toJson());
    const Song s;
    QCOMPARE(s.id, 0);
    QVERIFY(s.title.isEmpty() && s.filePath.isEmpty() && s.lyrics.isEmpty());
}

void TestModels::unknownKeysAreIgnored()
{
    const Song s = Song::fromJson(parseObject(R"({"id": 5, "success": false, "error": "x", "albumId": 9})"));
    QCOMPARE(s.id, 5);
    QCOMPARE(s.albumId, 0); // only "album_id" names the album
    QCOMPARE(s.toJson().size(), 15);
}

void TestModels::songRoundTrip()
{
    const Song original = fullSong();
    const QJsonObject json = original.toJson();
    const QStringList keys { QStringLiteral("id"), QStringLiteral("album_id"), QStringLiteral("title"),
        QStringLiteral("artist"), QStringLiteral("duration"), QStringLiteral("file_path"),
        QStringLiteral("track_number"), QStringLiteral("lyrics"), QStringLiteral("lyricist"),
        QStringLiteral("composer"), QStringLiteral("arranger"), QStringLiteral("producer"), QStringLiteral("genre"),
        QStringLiteral("language"), QStringLiteral("play_count") };
    QStringList actualKeys = json.keys();
    QStringList expectedKeys = keys;
    actualKeys.sort();
    expectedKeys.sort();
    QCOMPARE(actualKeys, expectedKeys);
    QVERIFY(json.value(QStringLiteral("id")).isDouble());
    QVERIFY(json.value(QStringLiteral("title")).isString());

    // Through text as well, as a server would send it.
    const Song copy = Song::fromJson(QJsonDocument::fromJson(QJsonDocument(json).toJson()).object());
    QCOMPARE(copy.id, original.id);
    QCOMPARE(copy.albumId, original.albumId);
    QCOMPARE(copy.title, original.title);
    QCOMPARE(copy.artist, original.artist);
    QCOMPARE(copy.duration, original.duration);
    QCOMPARE(copy.filePath, original.filePath);
    QCOMPARE(copy.trackNumber, original.trackNumber);
    QCOMPARE(copy.lyrics, original.lyrics);
    QCOMPARE(copy.lyricist, original.lyricist);
    QCOMPARE(copy.composer, original.composer);
    QCOMPARE(copy.arranger, original.arranger);
    QCOMPARE(copy.producer, original.producer);
    QCOMPARE(copy.genre, original.genre);
    QCOMPARE(copy.language, original.language);
    QCOMPARE(copy.playCount, original.playCount);
}

void TestModels::albumRoundTrip()
{
    Album original;
    original.id = 8;
    original.name = QStringLiteral("叶惠美");
    original.artist = QStringLiteral("A");
    original.cover = QStringLiteral("covers/8.jpg");
    original.year = 2003;
    original.songCount = 11;
    const QJsonObject json = original.toJson();
    QCOMPARE(json.size(), 6);
    const Album copy = Album::fromJson(QJsonDocument::fromJson(QJsonDocument(json).toJson()).object());
    QCOMPARE(copy.id, original.id);
    QCOMPARE(copy.name, original.name);
    QCOMPARE(copy.artist, original.artist);
    QCOMPARE(copy.cover, original.cover);
    QCOMPARE(copy.year, original.year);
    QCOMPARE(copy.songCount, original.songCount);
}

void TestModels::formattedDuration_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero") << 0 << QStringLiteral("--:--");
    QTest::newRow("negative") << -5 << QStringLiteral("--:--");
    QTest::newRow("int min") << std::numeric_limits<int>::min() << QStringLiteral("--:--");
    QTest::newRow("one second") << 1 << QStringLiteral("00:01");
    QTest::newRow("59 s") << 59 << QStringLiteral("00:59");
    QTest::newRow("one minute") << 60 << QStringLiteral("01:00");
    QTest::newRow("205 s") << 205 << QStringLiteral("03:25");
    QTest::newRow("over an hour") << 3725 << QStringLiteral("62:05");
    QTest::newRow("three-digit minutes") << 6000 << QStringLiteral("100:00");
    QTest::newRow("int max") << std::numeric_limits<int>::max() << QStringLiteral("35791394:07");
}

void TestModels::formattedDuration()
{
    QFETCH(int, seconds);
    QFETCH(QString, expected);
    Song s;
    s.duration = seconds;
    QCOMPARE(s.formattedDuration(), expected);
    QCOMPARE(formatDurationSeconds(seconds), expected);
}

void TestModels::songTravelsInVariants()
{
    // Queued signal arguments go through QVariant/QMetaType.
    const Song original = fullSong();
    const QVariant v = QVariant::fromValue(original);
    QVERIFY(v.canConvert<Song>());
    QCOMPARE(v.value<Song>().toJson(), original.toJson());
    QVERIFY(QMetaType::fromType<Song>().isValid());
}

QTEST_GUILESS_MAIN(TestModels)
#include "tst_models.moc"
