// The catalogue server from the outside: real HTTP(S) against a server on 127.0.0.1 that
// serves a freshly made demo catalogue, plus the import rules and the command line.

#include "cataloguedatabase.h"
#include "catalogueimporter.h"
#include "catalogueserver.h"
#include "democatalogue.h"
#include "testhttpserver.h"
#include "wavwriter.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QImage>
#include <QUrlQuery>

#include <fcntl.h>
#include <unistd.h>

#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

namespace {

constexpr int DemoSongMs = 400;

struct HttpResult
{
    int status = 0;
    QByteArray body;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QNetworkReply::NetworkError error = QNetworkReply::NoError;

    QJsonObject object() const { return QJsonDocument::fromJson(body).object(); }
    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
};

// Retags a WAV file's title, the way a listener fixing a typo would.
bool retitle(const QString &path, const QString &title)
{
    const QByteArray encoded = QFile::encodeName(path);
    TagLib::RIFF::WAV::File file(encoded.constData());
    if (!file.isValid())
        return false;
    TagLib::PropertyMap properties = file.properties();
    properties.replace("TITLE", TagLib::StringList(TagLib::String(title.toStdString(), TagLib::String::UTF8)));
    file.setProperties(properties);
    return file.save();
}

// A short WAV tagged as one track of an album; an empty album artist writes no such tag.
bool writeTrack(
    const QString &path, const QString &title, const QString &artist, const QString &album, const QString &albumArtist)
{
    if (!writeWav(path, 100))
        return false;
    const QByteArray encoded = QFile::encodeName(path);
    TagLib::RIFF::WAV::File file(encoded.constData());
    if (!file.isValid())
        return false;
    auto tag = [](const QString &text) {
        return TagLib::StringList(TagLib::String(text.toStdString(), TagLib::String::UTF8));
    };
    TagLib::PropertyMap properties;
    properties.replace("TITLE", tag(title));
    properties.replace("ARTIST", tag(artist));
    properties.replace("ALBUM", tag(album));
    if (!albumArtist.isEmpty())
        properties.replace("ALBUMARTIST", tag(albumArtist));
    file.setProperties(properties);
    return file.save();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestServerApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void albums();
    void songsAndAlbumFilter();
    void songObjectShape();
    void search_data();
    void search();
    void getSong();
    void badRequests_data();
    void badRequests();
    void playCountsAndCharts();

    void mediaWhole();
    void mediaRanges_data();
    void mediaRanges();
    void mediaHead();
    void covers();
    void pathTraversal_data();
    void pathTraversal();
    void parseRange_data();
    void parseRange();

    void tls();

    void reimportKeepsCountsAndFollowsChanges();
    void importRefusesBadInput();
    void importSkipsUnreadableAndOutsideFiles();
    void compilationsAreOneAlbum_data();
    void compilationsAreOneAlbum();
    void importNamesTheReason();
    void secondImportIsRefused();
    void killedImportLosesNothing();
    void playsDuringAnImportAreStored();
    void lyricsEncodings();
    void demoLyricsFollowTheNotes();

    void postgresql();
    void commandLine();

private:
    // A folder of n tiny WAV files, imported into a fresh catalogue; every song played once.
    bool makeLargeCatalogue(const QString &dir, int files);
    HttpResult get(const QString &pathAndQuery, const QList<QPair<QByteArray, QByteArray>> &headers = {},
        const QByteArray &verb = "GET");
    HttpResult api(const QString &query) { return get(QStringLiteral("/music/api.php?") + query); }
    QByteArray rawRequest(const QByteArray &target);
    QString mediaPath(const QString &relative) const { return m_dir.filePath(QStringLiteral("music/") + relative); }
    int songIdByTitle(const QString &title);

    QTemporaryDir m_dir;
    CatalogueDatabase *m_db = nullptr;
    CatalogueServer *m_server = nullptr;
    QNetworkAccessManager *m_nam = nullptr;
};

void TestServerApi::initTestCase()
{
    QVERIFY(m_dir.isValid());
    DemoCatalogue demo;
    QVERIFY2(demo.generate(m_dir.filePath(QStringLiteral("music")), DemoSongMs), qPrintable(demo.lastError()));
    // Something that lies next to the media folder and must never be served.
    QFile secret(m_dir.filePath(QStringLiteral("secret.txt")));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("TOP-SECRET");
    secret.close();
    QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("secret.txt")), mediaPath(QStringLiteral("link-out.wav"))));
    QVERIFY(QFile::link(m_dir.path(), mediaPath(QStringLiteral("dir-out"))));
    // Larger than the server's send window, so it streams in many turns.
    QVERIFY(QDir().mkpath(mediaPath(QStringLiteral("extras"))));
    QFile big(mediaPath(QStringLiteral("extras/big.bin")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QByteArray pattern(3 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < pattern.size(); ++i)
        pattern[i] = char((quint32(i) * 7919u) >> 5);
    big.write(pattern);
    big.close();

    m_db = new CatalogueDatabase(this);
    QVERIFY2(m_db->open(m_dir.filePath(QStringLiteral("catalogue.sqlite"))), qPrintable(m_db->lastError()));
    CatalogueImporter importer(m_db);
    CatalogueImporter::Report report;
    QVERIFY2(importer.importFolder(m_dir.filePath(QStringLiteral("music")), &report), qPrintable(importer.lastError()));
    QCOMPARE(report.added, 9);
    QCOMPARE(report.albums, 3);

    m_server = new CatalogueServer(m_db, this);
    QVERIFY2(m_server->start(QHostAddress::LocalHost, 0), qPrintable(m_server->errorString()));
    m_nam = new QNetworkAccessManager(this);
}

void TestServerApi::cleanupTestCase()
{
    delete m_server;
    m_server = nullptr;
}

HttpResult TestServerApi::get(
    const QString &pathAndQuery, const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &verb)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server->port()) + pathAndQuery));
    for (const auto &h : headers)
        request.setRawHeader(h.first, h.second);
    QNetworkReply *reply = m_nam->sendCustomRequest(request, verb);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(10000);
    HttpResult result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    result.error = reply->error();
    for (const auto &pair : reply->rawHeaderPairs())
        result.headers.insert(pair.first.toLower(), pair.second);
    reply->deleteLater();
    return result;
}

// The exact request target goes out untouched (no client-side path clean-up), as an attacker
// would send it.
QByteArray TestServerApi::rawRequest(const QByteArray &target)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_server->port());
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
        answer += socket.readAll();
        const int headEnd = answer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QByteArray head = answer.left(headEnd).toLower();
        const int at = head.indexOf("content-length:");
        if (at >= 0) {
            const int eol = head.indexOf("\r\n", at);
            const qint64 length = head.mid(at + 15, eol < 0 ? -1 : eol - at - 15).trimmed().toLongLong();
            if (answer.size() - headEnd - 4 >= length)
                loop.quit();
        }
    });
    connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    loop.exec();
    return answer;
}

int TestServerApi::songIdByTitle(const QString &title)
{
    const QJsonArray songs = api(QStringLiteral("action=getSongs")).object().value(QStringLiteral("songs")).toArray();
    for (const QJsonValue &v : songs) {
        if (v.toObject().value(QStringLiteral("title")).toString() == title)
            return v.toObject().value(QStringLiteral("id")).toInt();
    }
    return 0;
}

void TestServerApi::albums()
{
    const HttpResult r = api(QStringLiteral("action=getAlbums"));
    QCOMPARE(r.status, 200);
    QVERIFY(r.header("Content-Type").startsWith("application/json"));
    const QJsonArray albums = r.object().value(QStringLiteral("albums")).toArray();
    QCOMPARE(albums.size(), 3);
    QHash<QString, QJsonObject> byName;
    for (const QJsonValue &v : albums)
        byName.insert(v.toObject().value(QStringLiteral("name")).toString(), v.toObject());

    // Tagged album with a folder image.
    const QJsonObject morning = byName.value(QStringLiteral("晨光序曲"));
    QCOMPARE(morning.value(QStringLiteral("artist")).toString(), QStringLiteral("林间乐团"));
    QCOMPARE(morning.value(QStringLiteral("year")).toInt(), 2021);
    QCOMPARE(morning.value(QStringLiteral("song_count")).toInt(), 4);
    QCOMPARE(morning.value(QStringLiteral("cover")).toString(), QStringLiteral("林间乐团 - 晨光序曲/cover.png"));
    // Tagged album whose only picture is inside the files.
    const QJsonObject night = byName.value(QStringLiteral("Night Drive"));
    QCOMPARE(night.value(QStringLiteral("song_count")).toInt(), 3);
    QCOMPARE(night.value(QStringLiteral("cover")).toString(),
        QStringLiteral(".covers/%1.jpg").arg(night.value(QStringLiteral("id")).toInt()));
    // Untagged files: the folder is the album.
    const QJsonObject field = byName.value(QStringLiteral("Field Recordings"));
    QCOMPARE(field.value(QStringLiteral("song_count")).toInt(), 2);
    QCOMPARE(field.value(QStringLiteral("cover")).toString(), QStringLiteral("Field Recordings/folder.jpg"));
    for (const QJsonValue &v : albums) {
        QVERIFY(v.toObject().value(QStringLiteral("id")).isDouble());
        QVERIFY(v.toObject().value(QStringLiteral("id")).toInt() > 0);
    }
}

void TestServerApi::songsAndAlbumFilter()
{
    const QJsonArray all = api(QStringLiteral("action=getSongs")).object().value(QStringLiteral("songs")).toArray();
    QCOMPARE(all.size(), 9);

    const QJsonArray albums
        = api(QStringLiteral("action=getAlbums")).object().value(QStringLiteral("albums")).toArray();
    for (const QJsonValue &albumValue : albums) {
        const int albumId = albumValue.toObject().value(QStringLiteral("id")).toInt();
        const HttpResult r = api(QStringLiteral("action=getSongs&album_id=%1").arg(albumId));
        QCOMPARE(r.status, 200);
        const QJsonArray songs = r.object().value(QStringLiteral("songs")).toArray();
        QCOMPARE(songs.size(), albumValue.toObject().value(QStringLiteral("song_count")).toInt());
        int previousTrack = -1;
        for (const QJsonValue &v : songs) {
            QCOMPARE(v.toObject().value(QStringLiteral("album_id")).toInt(), albumId);
            const int track = v.toObject().value(QStringLiteral("track_number")).toInt();
            QVERIFY2(track >= previousTrack, "songs of an album come in track order");
            previousTrack = track;
        }
    }
}

void TestServerApi::songObjectShape()
{
    const QJsonArray songs = api(QStringLiteral("action=getSongs")).object().value(QStringLiteral("songs")).toArray();
    QVERIFY(!songs.isEmpty());
    const QStringList numbers = { QStringLiteral("id"), QStringLiteral("album_id"), QStringLiteral("duration"),
        QStringLiteral("track_number"), QStringLiteral("play_count") };
    const QStringList texts = { QStringLiteral("title"), QStringLiteral("artist"), QStringLiteral("file_path"),
        QStringLiteral("lyrics"), QStringLiteral("lyricist"), QStringLiteral("composer"), QStringLiteral("arranger"),
        QStringLiteral("producer"), QStringLiteral("genre"), QStringLiteral("language") };
    for (const QJsonValue &v : songs) {
        const QJsonObject song = v.toObject();
        for (const QString &key : numbers)
            QVERIFY2(song.value(key).isDouble(), qPrintable(key + QStringLiteral(" must be a JSON number")));
        for (const QString &key : texts)
            QVERIFY2(song.value(key).isString(), qPrintable(key + QStringLiteral(" must be a JSON string")));
        // Every media path is relative and plays from the media folder.
        const QString path = song.value(QStringLiteral("file_path")).toString();
        QVERIFY(!path.startsWith(QLatin1Char('/')));
        QVERIFY(QFile::exists(mediaPath(path)));
        QVERIFY(song.value(QStringLiteral("lyrics")).toString().startsWith(QStringLiteral("[00:00.00]")));
    }
    // The record reads back whole through the player's own reader.
    const Song first = Song::fromJson(songs.first().toObject());
    QVERIFY(first.id > 0);
    QVERIFY(!first.title.isEmpty());
}

void TestServerApi::search_data()
{
    QTest::addColumn<QString>("term");
    QTest::addColumn<QStringList>("titles");

    QTest::newRow("album name, Chinese") << QStringLiteral("晨光")
                                         << QStringList { QStringLiteral("山间小路"), QStringLiteral("归鸟"),
                                                QStringLiteral("晨曦"), QStringLiteral("露珠") };
    QTest::newRow("title, any case") << QStringLiteral("nEoN") << QStringList { QStringLiteral("Neon Lights") };
    QTest::newRow("artist") << QStringLiteral("synth club")
                            << QStringList { QStringLiteral("Last Exit"), QStringLiteral("Midnight Avenue"),
                                   QStringLiteral("Neon Lights") };
    QTest::newRow("blank inside the term")
        << QStringLiteral("Last Exit") << QStringList { QStringLiteral("Last Exit") };
    QTest::newRow("ampersand is text, not a parameter") << QStringLiteral("a b&c") << QStringList {};
    QTest::newRow("percent is no wildcard") << QStringLiteral("%") << QStringList {};
    QTest::newRow("underscore is no wildcard") << QStringLiteral("_") << QStringList {};
    QTest::newRow("lyrics are not searched") << QStringLiteral("Sol") << QStringList {};
    QTest::newRow("empty term") << QString() << QStringList {};
    QTest::newRow("SQL in the term") << QStringLiteral("' OR 1=1; DROP TABLE songs; --") << QStringList {};
}

void TestServerApi::search()
{
    QFETCH(QString, term);
    QFETCH(QStringList, titles);
    // Encoded exactly as the player encodes it: UTF-8, every byte but the unreserved ones escaped.
    const QByteArray encoded = term.toUtf8().toPercentEncoding(QByteArray(), QByteArray(), '%');
    const HttpResult r = api(QStringLiteral("action=search&q=") + QString::fromLatin1(encoded));
    QCOMPARE(r.status, 200);
    QStringList found;
    for (const QJsonValue &v : r.object().value(QStringLiteral("results")).toArray())
        found.append(v.toObject().value(QStringLiteral("title")).toString());
    QCOMPARE(found, titles);
}

void TestServerApi::getSong()
{
    const int id = songIdByTitle(QStringLiteral("Midnight Avenue"));
    QVERIFY(id > 0);
    const HttpResult r = api(QStringLiteral("action=getSong&id=%1").arg(id));
    QCOMPARE(r.status, 200);
    const Song song = Song::fromJson(r.object());
    QCOMPARE(song.id, id);
    QCOMPARE(song.title, QStringLiteral("Midnight Avenue"));
    QCOMPARE(song.artist, QStringLiteral("Velora Synth Club"));
    QCOMPARE(song.trackNumber, 2);
    QCOMPARE(song.genre, QStringLiteral("Electronic"));

    const HttpResult missing = api(QStringLiteral("action=getSong&id=99999"));
    QCOMPARE(missing.status, 404);
    QVERIFY(missing.object().value(QStringLiteral("error")).isString());
}

void TestServerApi::badRequests_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<int>("status");

    QTest::newRow("no action") << QString() << QByteArray("GET") << 400;
    QTest::newRow("unknown action") << QStringLiteral("action=dropTables") << QByteArray("GET") << 400;
    QTest::newRow("getSong without id") << QStringLiteral("action=getSong") << QByteArray("GET") << 400;
    QTest::newRow("id not a number") << QStringLiteral("action=getSong&id=abc") << QByteArray("GET") << 400;
    QTest::newRow("id zero") << QStringLiteral("action=getSong&id=0") << QByteArray("GET") << 400;
    QTest::newRow("id negative") << QStringLiteral("action=getSong&id=-4") << QByteArray("GET") << 400;
    QTest::newRow("id fraction") << QStringLiteral("action=getSong&id=1.5") << QByteArray("GET") << 400;
    QTest::newRow("id beyond 32 bits") << QStringLiteral("action=getSong&id=3000000000") << QByteArray("GET") << 400;
    QTest::newRow("id with SQL") << QStringLiteral("action=getSong&id=1%20OR%201=1") << QByteArray("GET") << 400;
    QTest::newRow("album filter not a number")
        << QStringLiteral("action=getSongs&album_id=x") << QByteArray("GET") << 400;
    QTest::newRow("album that does not exist")
        << QStringLiteral("action=getSongs&album_id=4242") << QByteArray("GET") << 404;
    QTest::newRow("search without q") << QStringLiteral("action=search") << QByteArray("GET") << 400;
    QTest::newRow("search term too long")
        << QStringLiteral("action=search&q=") + QString(300, QLatin1Char('x')) << QByteArray("GET") << 400;
    QTest::newRow("count an unknown song")
        << QStringLiteral("action=incrementPlayCount&id=4242") << QByteArray("GET") << 404;
    QTest::newRow("count without id") << QStringLiteral("action=incrementPlayCount") << QByteArray("GET") << 400;
    QTest::newRow("POST") << QStringLiteral("action=getAlbums") << QByteArray("POST") << 405;
    QTest::newRow("DELETE") << QStringLiteral("action=getAlbums") << QByteArray("DELETE") << 405;
}

void TestServerApi::badRequests()
{
    QFETCH(QString, query);
    QFETCH(QByteArray, verb);
    QFETCH(int, status);
    const HttpResult r = get(QStringLiteral("/music/api.php?") + query, {}, verb);
    QCOMPARE(r.status, status);
    QVERIFY(r.header("Content-Type").startsWith("application/json"));
    const QJsonObject error = r.object();
    QVERIFY2(error.value(QStringLiteral("error")).isString(), r.body.constData());
    QVERIFY(!error.value(QStringLiteral("error")).toString().isEmpty());
    QCOMPARE(error.value(QStringLiteral("success")).toBool(true), false);
}

void TestServerApi::playCountsAndCharts()
{
    const int lastExit = songIdByTitle(QStringLiteral("Last Exit"));
    const int dew = songIdByTitle(QStringLiteral("露珠"));
    QVERIFY(lastExit > 0 && dew > 0);
    const int before = api(QStringLiteral("action=getSong&id=%1").arg(lastExit))
                           .object()
                           .value(QStringLiteral("play_count"))
                           .toInt();
    for (int i = 1; i <= 3; ++i) {
        const HttpResult r = api(QStringLiteral("action=incrementPlayCount&id=%1").arg(lastExit));
        QCOMPARE(r.status, 200);
        QCOMPARE(r.object().value(QStringLiteral("play_count")).toInt(), before + i);
    }
    QCOMPARE(api(QStringLiteral("action=incrementPlayCount&id=%1").arg(dew)).status, 200);

    const QJsonArray chart
        = api(QStringLiteral("action=getSongRanking")).object().value(QStringLiteral("songs")).toArray();
    QVERIFY(chart.size() >= 2);
    QCOMPARE(chart.at(0).toObject().value(QStringLiteral("id")).toInt(), lastExit);
    QCOMPARE(chart.at(0).toObject().value(QStringLiteral("play_count")).toInt(), before + 3);
    for (int i = 1; i < chart.size(); ++i) {
        QVERIFY(chart.at(i - 1).toObject().value(QStringLiteral("play_count")).toInt()
            >= chart.at(i).toObject().value(QStringLiteral("play_count")).toInt());
    }

    const QJsonArray artists
        = api(QStringLiteral("action=getArtistRanking")).object().value(QStringLiteral("artists")).toArray();
    QCOMPARE(artists.size(), 2); // the untagged songs have no artist to rank
    const QJsonObject top = artists.at(0).toObject();
    QCOMPARE(top.value(QStringLiteral("artist")).toString(), QStringLiteral("Velora Synth Club"));
    QVERIFY(top.value(QStringLiteral("song_count")).isDouble());
    QCOMPARE(top.value(QStringLiteral("song_count")).toInt(), 3);
    QCOMPARE(top.value(QStringLiteral("total_plays")).toInt(), before + 3);
    QCOMPARE(artists.at(1).toObject().value(QStringLiteral("total_plays")).toInt(), 1);

    // The count lives in the database, not in the server: another connection sees it.
    CatalogueDatabase second;
    QVERIFY(second.open(m_dir.filePath(QStringLiteral("catalogue.sqlite"))));
    Song stored;
    bool found = false;
    QVERIFY(second.song(lastExit, &stored, &found));
    QVERIFY(found);
    QCOMPARE(stored.playCount, before + 3);
}

void TestServerApi::mediaWhole()
{
    const QString relative = QStringLiteral("Velora Synth Club - Night Drive/01 Neon Lights.wav");
    const HttpResult r = get(QStringLiteral("/music/") + QString::fromLatin1(QUrl::toPercentEncoding(relative, "/")));
    QCOMPARE(r.status, 200);
    QCOMPARE(r.header("Content-Type"), QByteArray("audio/wav"));
    QCOMPARE(r.header("Accept-Ranges"), QByteArray("bytes"));
    QCOMPARE(r.body, readFile(mediaPath(relative)));

    const HttpResult big = get(QStringLiteral("/music/extras/big.bin"));
    QCOMPARE(big.status, 200);
    QCOMPARE(big.header("Content-Type"), QByteArray("application/octet-stream"));
    QVERIFY(big.body == readFile(mediaPath(QStringLiteral("extras/big.bin"))));

    const HttpResult missing = get(QStringLiteral("/music/nothing-here.wav"));
    QCOMPARE(missing.status, 404);
    QVERIFY(missing.object().value(QStringLiteral("error")).isString());
    // A folder is not a file.
    QCOMPARE(get(QStringLiteral("/music/Field%20Recordings")).status, 404);
    QCOMPARE(get(QStringLiteral("/elsewhere")).status, 404);
}

void TestServerApi::mediaRanges_data()
{
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<int>("status");
    QTest::addColumn<qint64>("start"); // -1: from the end
    QTest::addColumn<qint64>("length"); // -1: to the end

    QTest::newRow("first bytes") << QByteArray("bytes=0-99") << 206 << qint64(0) << qint64(100);
    QTest::newRow("open end, as players seek") << QByteArray("bytes=1000-") << 206 << qint64(1000) << qint64(-1);
    QTest::newRow("last bytes") << QByteArray("bytes=-64") << 206 << qint64(-64) << qint64(64);
    QTest::newRow("end beyond the file") << QByteArray("bytes=10-99999999") << 206 << qint64(10) << qint64(-1);
    QTest::newRow("reversed: ignored") << QByteArray("bytes=50-10") << 200 << qint64(0) << qint64(-1);
    QTest::newRow("other unit: ignored") << QByteArray("lines=1-2") << 200 << qint64(0) << qint64(-1);
    QTest::newRow("start beyond the file") << QByteArray("bytes=99999999-") << 416 << qint64(0) << qint64(0);
}

void TestServerApi::mediaRanges()
{
    QFETCH(QByteArray, range);
    QFETCH(int, status);
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    const QString relative = QStringLiteral("林间乐团 - 晨光序曲/02 露珠.wav");
    const QByteArray file = readFile(mediaPath(relative));
    QVERIFY(file.size() > 2000);
    const HttpResult r = get(QStringLiteral("/music/") + QString::fromLatin1(QUrl::toPercentEncoding(relative, "/")),
        { { "Range", range } });
    QCOMPARE(r.status, status);
    if (status == 416) {
        QCOMPARE(r.header("Content-Range"), "bytes */" + QByteArray::number(file.size()));
        return;
    }
    const qint64 from = start < 0 ? file.size() + start : start;
    const qint64 count = length < 0 ? file.size() - from : length;
    QCOMPARE(r.body, file.mid(from, count));
    QCOMPARE(r.header("Content-Length").toLongLong(), count);
    if (status == 206) {
        QCOMPARE(r.header("Content-Range"),
            "bytes " + QByteArray::number(from) + '-' + QByteArray::number(from + count - 1) + '/'
                + QByteArray::number(file.size()));
    }
}

void TestServerApi::mediaHead()
{
    const QString relative = QStringLiteral("Field Recordings/folder.jpg");
    const HttpResult r = get(QStringLiteral("/music/Field%20Recordings/folder.jpg"), {}, "HEAD");
    QCOMPARE(r.status, 200);
    QCOMPARE(r.header("Content-Length").toLongLong(), QFileInfo(mediaPath(relative)).size());
    QCOMPARE(r.header("Content-Type"), QByteArray("image/jpeg"));
    QVERIFY(r.body.isEmpty());
    // The connection still works for the next request after a body-less answer.
    QCOMPARE(api(QStringLiteral("action=getAlbums")).status, 200);
}

void TestServerApi::covers()
{
    const QJsonArray albums
        = api(QStringLiteral("action=getAlbums")).object().value(QStringLiteral("albums")).toArray();
    for (const QJsonValue &v : albums) {
        const QString cover = v.toObject().value(QStringLiteral("cover")).toString();
        const HttpResult r = get(QStringLiteral("/music/") + QString::fromLatin1(QUrl::toPercentEncoding(cover, "/")));
        QCOMPARE(r.status, 200);
        QVERIFY2(r.header("Content-Type").startsWith("image/"), r.header("Content-Type").constData());
        QImage image;
        QVERIFY2(image.loadFromData(r.body), qPrintable(cover));
        QCOMPARE(image.size(), QSize(400, 400));
    }
    QCOMPARE(get(QStringLiteral("/music/.covers/4242.jpg")).status, 404);
}

void TestServerApi::pathTraversal_data()
{
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("dot-dot") << QByteArray("/music/../secret.txt");
    QTest::newRow("dot-dot deeper") << QByteArray("/music/Field%20Recordings/../../secret.txt");
    QTest::newRow("encoded dots") << QByteArray("/music/%2e%2e/secret.txt");
    QTest::newRow("encoded slashes") << QByteArray("/music/..%2f..%2fsecret.txt");
    QTest::newRow("backslashes") << QByteArray("/music/..%5csecret.txt");
    QTest::newRow("absolute inside") << QByteArray("/music//etc/passwd");
    QTest::newRow("hidden file") << QByteArray("/music/.hidden.wav");
    QTest::newRow("cover prefix escape") << QByteArray("/music/.covers/../../secret.txt");
    QTest::newRow("link to a file outside") << QByteArray("/music/link-out.wav");
    QTest::newRow("link to a folder outside") << QByteArray("/music/dir-out/secret.txt");
    QTest::newRow("the database itself") << QByteArray("/music/../catalogue.sqlite");
    QTest::newRow("NUL byte") << QByteArray("/music/cover.png%00.wav");
}

void TestServerApi::pathTraversal()
{
    QFETCH(QByteArray, target);
    const QByteArray answer = rawRequest(target);
    QVERIFY2(answer.startsWith("HTTP/1.1 4"), answer.left(200).constData());
    QVERIFY(!answer.contains("TOP-SECRET"));
    QVERIFY(!answer.contains("SQLite format"));
}

void TestServerApi::parseRange_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("length");

    const int whole = int(CatalogueServer::RangeKind::Whole);
    const int partial = int(CatalogueServer::RangeKind::Partial);
    const int none = int(CatalogueServer::RangeKind::Unsatisfiable);
    QTest::newRow("no header") << QByteArray() << qint64(100) << whole << qint64(0) << qint64(100);
    QTest::newRow("closed") << QByteArray("bytes=10-19") << qint64(100) << partial << qint64(10) << qint64(10);
    QTest::newRow("single byte") << QByteArray("bytes=0-0") << qint64(100) << partial << qint64(0) << qint64(1);
    QTest::newRow("open") << QByteArray("bytes=90-") << qint64(100) << partial << qint64(90) << qint64(10);
    QTest::newRow("suffix") << QByteArray("bytes=-30") << qint64(100) << partial << qint64(70) << qint64(30);
    QTest::newRow("suffix larger than file")
        << QByteArray("bytes=-300") << qint64(100) << partial << qint64(0) << qint64(100);
    QTest::newRow("zero suffix") << QByteArray("bytes=-0") << qint64(100) << none << qint64(0) << qint64(0);
    QTest::newRow("last byte exactly") << QByteArray("bytes=99-") << qint64(100) << partial << qint64(99) << qint64(1);
    QTest::newRow("start at size") << QByteArray("bytes=100-") << qint64(100) << none << qint64(0) << qint64(0);
    QTest::newRow("empty file") << QByteArray("bytes=0-") << qint64(0) << none << qint64(0) << qint64(0);
    QTest::newRow("several ranges: ignored")
        << QByteArray("bytes=0-1,5-6") << qint64(100) << whole << qint64(0) << qint64(100);
    QTest::newRow("garbage: ignored") << QByteArray("bytes=abc") << qint64(100) << whole << qint64(0) << qint64(100);
    QTest::newRow("huge numbers: ignored")
        << QByteArray("bytes=99999999999999999999999-") << qint64(100) << whole << qint64(0) << qint64(100);
    QTest::newRow("blanks and case") << QByteArray(" Bytes = 5 - 6 ") << qint64(100) << partial << qint64(5)
                                     << qint64(2);
}

void TestServerApi::parseRange()
{
    QFETCH(QByteArray, header);
    QFETCH(qint64, size);
    QFETCH(int, kind);
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    const CatalogueServer::ByteRange range = CatalogueServer::parseRange(header, size);
    QCOMPARE(int(range.kind), kind);
    if (range.kind != CatalogueServer::RangeKind::Unsatisfiable) {
        QCOMPARE(range.start, start);
        QCOMPARE(range.length, length);
    }
}

void TestServerApi::tls()
{
    QTemporaryDir certDir;
    const TestCertificate cert = TestCertificate::make(certDir.path());
    if (!cert.isValid())
        QSKIP("openssl could not make a test certificate");
    CatalogueServer server(m_db);
    QVERIFY2(server.start(QHostAddress::LocalHost, 0, cert.certificate, cert.key), qPrintable(server.errorString()));

    // A client that really checks: it trusts only this certificate.
    QNetworkAccessManager nam;
    auto fetch = [&](const QString &path, const QByteArray &range) {
        QNetworkRequest request(QUrl(QStringLiteral("https://127.0.0.1:%1").arg(server.port()) + path));
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setCaCertificates({ cert.certificate });
        config.setPeerVerifyMode(QSslSocket::VerifyPeer);
        request.setSslConfiguration(config);
        if (!range.isEmpty())
            request.setRawHeader("Range", range);
        QNetworkReply *reply = nam.get(request);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        finished.wait(15000);
        reply->deleteLater();
        return std::make_tuple(
            reply->error(), reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll());
    };
    const auto [error, status, body] = fetch(QStringLiteral("/music/api.php?action=getAlbums"), QByteArray());
    QCOMPARE(error, QNetworkReply::NoError);
    QCOMPARE(status, 200);
    QCOMPARE(QJsonDocument::fromJson(body).object().value(QStringLiteral("albums")).toArray().size(), 3);

    // A whole song streams through the encrypted socket too.
    const QString relative = QStringLiteral("林间乐团 - 晨光序曲/01 晨曦.wav");
    const auto [mediaError, mediaStatus, mediaBody]
        = fetch(QStringLiteral("/music/") + QString::fromLatin1(QUrl::toPercentEncoding(relative, "/")), "bytes=44-");
    QCOMPARE(mediaError, QNetworkReply::NoError);
    QCOMPARE(mediaStatus, 206);
    QCOMPARE(mediaBody, readFile(mediaPath(relative)).mid(44));

    const auto [bigError, bigStatus, bigBody] = fetch(QStringLiteral("/music/extras/big.bin"), QByteArray());
    QCOMPARE(bigError, QNetworkReply::NoError);
    QCOMPARE(bigStatus, 200);
    QVERIFY(bigBody == readFile(mediaPath(QStringLiteral("extras/big.bin"))));

    // Plain HTTP to the TLS port gets nothing.
    QTcpSocket plain;
    plain.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(plain.waitForConnected(5000));
    plain.write("GET /music/api.php?action=getAlbums HTTP/1.1\r\nHost: x\r\n\r\n");
    plain.waitForReadyRead(500);
    QVERIFY(!plain.readAll().contains("albums"));
}

void TestServerApi::reimportKeepsCountsAndFollowsChanges()
{
    // A catalogue of its own, so the shared fixture stays as it is.
    QTemporaryDir dir;
    DemoCatalogue demo;
    QVERIFY(demo.generate(dir.filePath(QStringLiteral("music")), DemoSongMs));
    CatalogueDatabase db;
    QVERIFY(db.open(dir.filePath(QStringLiteral("c.sqlite"))));
    CatalogueImporter importer(&db);
    CatalogueImporter::Report report;
    QVERIFY(importer.importFolder(dir.filePath(QStringLiteral("music")), &report));

    QList<Song> songs;
    QVERIFY(db.songs(0, &songs));
    auto find = [&](const QString &title) {
        QList<Song> all;
        db.songs(0, &all);
        for (const Song &s : all) {
            if (s.title == title)
                return s;
        }
        return Song();
    };
    const Song neon = find(QStringLiteral("Neon Lights"));
    const Song rain = find(QStringLiteral("01 Morning Rain"));
    QVERIFY(neon.id > 0 && rain.id > 0);
    int count = 0;
    for (int i = 0; i < 5; ++i)
        QVERIFY(db.incrementPlayCount(neon.id, &count));
    QCOMPARE(count, 5);

    // Retag one song, rewrite one song's lyrics, delete the untagged folder.
    const QString neonPath = dir.filePath(QStringLiteral("music/") + neon.filePath);
    QVERIFY(retitle(neonPath, QStringLiteral("Neon Lights (Remastered)")));
    QFile lrc(QFileInfo(neonPath).path() + QStringLiteral("/02 Midnight Avenue.lrc"));
    QVERIFY(lrc.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lrc.write("[00:00.10]new words\n");
    lrc.close();
    QVERIFY(QDir(dir.filePath(QStringLiteral("music/Field Recordings"))).removeRecursively());

    QVERIFY2(importer.importFolder(dir.filePath(QStringLiteral("music")), &report), qPrintable(importer.lastError()));
    QCOMPARE(report.added, 0);
    QCOMPARE(report.updated, 2);
    QCOMPARE(report.removed, 2);
    QCOMPARE(report.unchanged, 5);
    QCOMPARE(report.albums, 2);
    QCOMPARE(report.albumsRemoved, 1);

    Song renamed;
    bool found = false;
    QVERIFY(db.song(neon.id, &renamed, &found));
    QVERIFY(found);
    QCOMPARE(renamed.title, QStringLiteral("Neon Lights (Remastered)"));
    QCOMPARE(renamed.playCount, 5);
    QCOMPARE(find(QStringLiteral("Midnight Avenue")).lyrics, QStringLiteral("[00:00.10]new words\n"));
    QVERIFY(db.song(rain.id, &renamed, &found));
    QVERIFY(!found);
    QList<Album> albums;
    QVERIFY(db.albums(&albums));
    QCOMPARE(albums.size(), 2);
}

void TestServerApi::importRefusesBadInput()
{
    QTemporaryDir dir;
    CatalogueDatabase db;
    QVERIFY(db.open(dir.filePath(QStringLiteral("c.sqlite"))));
    CatalogueImporter importer(&db);
    CatalogueImporter::Report report;
    QVERIFY(!importer.importFolder(dir.filePath(QStringLiteral("missing")), &report));
    QVERIFY(importer.lastError().contains(QStringLiteral("missing")));
    QFile plainFile(dir.filePath(QStringLiteral("file.txt")));
    QVERIFY(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    QVERIFY(!importer.importFolder(plainFile.fileName(), &report));
    QVERIFY(db.mediaRoot().isEmpty());

    // A database path that cannot be a file is refused with a reason.
    CatalogueDatabase bad;
    QVERIFY(!bad.open(dir.path()));
    QVERIFY(!bad.lastError().isEmpty());
}

void TestServerApi::compilationsAreOneAlbum_data()
{
    // Each track: "folder|title|artist|album|album artist". Albums: "name|artist|song count".
    QTest::addColumn<QStringList>("tracks");
    QTest::addColumn<QStringList>("albums");
    QTest::newRow("compilation, no album artist tag") << QStringList { "hits|One|Ann|Hits|", "hits|Two|Bob|Hits|",
        "hits|Three|Cid|Hits|" } << QStringList { "Hits|Various Artists|3" };
    QTest::newRow("compilation with an album artist tag") << QStringList { "mix|One|Ann|Club Mix|DJ Dee",
        "mix|Two|Bob|Club Mix|DJ Dee" } << QStringList { "Club Mix|DJ Dee|2" };
    QTest::newRow("one artist, letter case aside")
        << QStringList { "solo|One|Foo|Solo|", "solo|Two|foo|Solo|" } << QStringList { "Solo|Foo|2" };
    QTest::newRow("same name in two folders") << QStringList { "a|One|Ann|Greatest Hits|", "b|Two|Bob|Greatest Hits|" }
                                              << QStringList { "Greatest Hits|Ann|1", "Greatest Hits|Bob|1" };
}

// A folder whose album has tracks of several artists is one album, not one per artist: under
// its album artist tag, else "Various Artists".
void TestServerApi::compilationsAreOneAlbum()
{
    QFETCH(QStringList, tracks);
    QFETCH(QStringList, albums);
    QTemporaryDir dir;
    const QString music = dir.filePath(QStringLiteral("music"));
    QHash<QString, QString> artistOf; // title -> the track's own artist
    for (const QString &track : std::as_const(tracks)) {
        const QStringList f = track.split(QLatin1Char('|'));
        QVERIFY(QDir().mkpath(music + QLatin1Char('/') + f.at(0)));
        QVERIFY(
            writeTrack(music + QStringLiteral("/%1/%2.wav").arg(f.at(0), f.at(1)), f.at(1), f.at(2), f.at(3), f.at(4)));
        artistOf.insert(f.at(1), f.at(4).isEmpty() ? f.at(2) : f.at(4));
    }
    CatalogueDatabase db;
    QVERIFY(db.open(dir.filePath(QStringLiteral("c.sqlite"))));
    CatalogueImporter importer(&db);
    CatalogueImporter::Report report;
    QVERIFY2(importer.importFolder(music, &report), qPrintable(importer.lastError()));

    QList<Album> stored;
    QVERIFY(db.albums(&stored));
    QStringList seen;
    for (const Album &album : std::as_const(stored))
        seen.append(QStringLiteral("%1|%2|%3").arg(album.name, album.artist).arg(album.songCount));
    seen.sort();
    QCOMPARE(seen, albums);
    // The songs keep their own artists.
    QList<Song> songs;
    QVERIFY(db.songs(0, &songs));
    for (const Song &song : std::as_const(songs))
        QCOMPARE(song.artist, artistOf.value(song.title));
}

void TestServerApi::importSkipsUnreadableAndOutsideFiles()
{
    QTemporaryDir dir;
    const QString music = dir.filePath(QStringLiteral("music"));
    QVERIFY(QDir().mkpath(music + QStringLiteral("/album")));
    QVERIFY(QDir().mkpath(music + QStringLiteral("/.hidden")));
    QVERIFY(writeWav(music + QStringLiteral("/album/good.wav"), 200));
    QVERIFY(writeWav(music + QStringLiteral("/.hidden/secret.wav"), 200));
    QVERIFY(writeWav(dir.filePath(QStringLiteral("outside.wav")), 200));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("outside.wav")), music + QStringLiteral("/album/link.wav")));
    QFile junk(music + QStringLiteral("/album/junk.mp3"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("this is not audio at all");
    junk.close();

    CatalogueDatabase db;
    QVERIFY(db.open(dir.filePath(QStringLiteral("c.sqlite"))));
    CatalogueImporter importer(&db);
    CatalogueImporter::Report report;
    QVERIFY(importer.importFolder(music, &report));
    QList<Song> songs;
    QVERIFY(db.songs(0, &songs));
    QCOMPARE(songs.size(), 1);
    QCOMPARE(songs.first().filePath, QStringLiteral("album/good.wav"));
    QCOMPARE(songs.first().title, QStringLiteral("good"));
    QCOMPARE(report.warnings.size(), 2); // the junk file and the link out
    QVERIFY(report.warnings.join(QLatin1Char('\n')).contains(QStringLiteral("junk.mp3")));
    QVERIFY(report.warnings.join(QLatin1Char('\n')).contains(QStringLiteral("link.wav")));
    QList<Album> albums;
    QVERIFY(db.albums(&albums));
    QCOMPARE(albums.size(), 1);
    QCOMPARE(albums.first().name, QStringLiteral("album"));
    QVERIFY(albums.first().cover.isEmpty());
}

void TestServerApi::importNamesTheReason()
{
    QTemporaryDir dir;
    const QString music = dir.filePath(QStringLiteral("music"));
    QVERIFY(QDir().mkpath(music + QStringLiteral("/album")));
    QVERIFY(writeWav(music + QStringLiteral("/album/good.wav"), 100));
    QVERIFY(writeWav(music + QStringLiteral("/album/two\nlines.wav"), 100));
    QVERIFY(writeWav(music + QStringLiteral("/album/back\\slash.wav"), 100));
    // A name in another encoding than UTF-8 (Latin-1 "café"), made with the raw bytes.
    const QByteArray latin1Name = QFile::encodeName(music) + "/album/caf\xe9.wav";
    const int fd = ::open(latin1Name.constData(), O_CREAT | O_WRONLY, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
    QVERIFY(QDir().mkpath(music + QStringLiteral("/locked")));
    QVERIFY(writeWav(music + QStringLiteral("/locked/inside.wav"), 100));
    QFile::setPermissions(music + QStringLiteral("/locked"), QFileDevice::Permissions());
    const bool lockedIsUnreadable = !QFileInfo(music + QStringLiteral("/locked")).isReadable();

    CatalogueDatabase db;
    QVERIFY(db.open(dir.filePath(QStringLiteral("c.sqlite"))));
    CatalogueImporter importer(&db);
    CatalogueImporter::Report report;
    QVERIFY(importer.importFolder(music, &report));
    QFile::setPermissions(
        music + QStringLiteral("/locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString warnings = report.warnings.join(QLatin1Char('\n'));
    auto warned = [&](const QString &name, const QString &reason) {
        for (const QString &warning : std::as_const(report.warnings)) {
            if (warning.contains(name) && warning.contains(reason))
                return true;
        }
        return false;
    };
    QVERIFY2(warned(QStringLiteral("two\nlines.wav"), QStringLiteral("line break")), qPrintable(warnings));
    QVERIFY2(warned(QStringLiteral("back\\slash.wav"), QStringLiteral("backslash")), qPrintable(warnings));
    QVERIFY2(warned(QStringLiteral("caf"), QStringLiteral("not valid UTF-8")), qPrintable(warnings));
    QVERIFY(!warnings.contains(QStringLiteral("hidden")));
    QList<Song> songs;
    QVERIFY(db.songs(0, &songs));
    if (lockedIsUnreadable) {
        QVERIFY2(warned(QStringLiteral("locked/"), QStringLiteral("cannot be read")), qPrintable(warnings));
        QCOMPARE(songs.size(), 1);
    } else {
        // Running as root: every folder can be read, so only the other warnings are checked.
        QCOMPARE(songs.size(), 2);
    }
}

void TestServerApi::secondImportIsRefused()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("music"))));
    QVERIFY(writeWav(dir.filePath(QStringLiteral("music/a.wav")), 100));
    const QString location = dir.filePath(QStringLiteral("c.sqlite"));
    CatalogueDatabase running;
    QVERIFY(running.open(location));
    QVERIFY2(running.lockForImport(), qPrintable(running.lastError()));

    QProcess other;
    other.start(QStringLiteral(VELORA_CATALOGUE_EXE),
        { QStringLiteral("import"), dir.filePath(QStringLiteral("music")), QStringLiteral("--db"), location });
    QVERIFY(other.waitForFinished(30000));
    QCOMPARE(other.exitCode(), 1);
    const QByteArray err = other.readAllStandardError();
    QVERIFY2(err.contains("another import") && err.contains(QByteArray::number(QCoreApplication::applicationPid())),
        err.constData());

    // Free again: the next import goes through.
    running.unlockImport();
    other.start(QStringLiteral(VELORA_CATALOGUE_EXE),
        { QStringLiteral("import"), dir.filePath(QStringLiteral("music")), QStringLiteral("--db"), location });
    QVERIFY(other.waitForFinished(30000));
    QCOMPARE(other.exitCode(), 0);
}

bool TestServerApi::makeLargeCatalogue(const QString &dir, int files)
{
    for (int i = 0; i < files; ++i) {
        const QString folder = dir + QStringLiteral("/music/album %1").arg(i / 50);
        if (!QDir().mkpath(folder) || !writeWav(folder + QStringLiteral("/song %1.wav").arg(i), 20))
            return false;
    }
    CatalogueDatabase db;
    if (!db.open(dir + QStringLiteral("/c.sqlite")))
        return false;
    CatalogueImporter importer(&db);
    CatalogueImporter::Report report;
    if (!importer.importFolder(dir + QStringLiteral("/music"), &report) || report.added != files)
        return false;
    QList<Song> songs;
    db.songs(0, &songs);
    int count = 0;
    for (const Song &song : std::as_const(songs)) {
        if (!db.incrementPlayCount(song.id, &count))
            return false;
    }
    // Touch every file so that the next import rewrites every song.
    const QDateTime later = QDateTime::currentDateTime().addSecs(60);
    for (const Song &song : std::as_const(songs)) {
        QFile file(dir + QStringLiteral("/music/") + song.filePath);
        if (!file.open(QIODevice::ReadWrite) || !file.setFileTime(later, QFileDevice::FileModificationTime))
            return false;
    }
    return true;
}

void TestServerApi::killedImportLosesNothing()
{
    constexpr int Files = 1200;
    QTemporaryDir dir;
    QVERIFY(makeLargeCatalogue(dir.path(), Files));
    const QString location = dir.filePath(QStringLiteral("c.sqlite"));

    // Killed without warning once its first batch is stored.
    QProcess import;
    import.start(QStringLiteral(VELORA_CATALOGUE_EXE),
        { QStringLiteral("import"), dir.filePath(QStringLiteral("music")), QStringLiteral("--db"), location });
    QVERIFY(import.waitForStarted());
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += import.readAllStandardOutput()).contains("progress:"), 30000);
    import.kill();
    QVERIFY(import.waitForFinished(10000));
    qInfo("import killed after: %s", output.trimmed().split('\n').last().constData());

    CatalogueDatabase db;
    QVERIFY(db.open(location));
    QList<Song> songs;
    QVERIFY(db.songs(0, &songs));
    QCOMPARE(songs.size(), Files);
    for (const Song &song : std::as_const(songs))
        QCOMPARE(song.playCount, 1);
    QList<Album> albums;
    QVERIFY(db.albums(&albums));
    QCOMPARE(albums.size(), Files / 50);

    // The lock of the killed import does not stand in the way; the next import finishes.
    CatalogueImporter importer(&db);
    CatalogueImporter::Report report;
    QVERIFY2(importer.importFolder(dir.filePath(QStringLiteral("music")), &report), qPrintable(importer.lastError()));
    QCOMPARE(report.added, 0);
    QCOMPARE(report.removed, 0);
    QCOMPARE(report.updated + report.unchanged, Files);
    QVERIFY(db.songs(0, &songs));
    QCOMPARE(songs.size(), Files);
    for (const Song &song : std::as_const(songs))
        QCOMPARE(song.playCount, 1);
}

void TestServerApi::playsDuringAnImportAreStored()
{
    constexpr int Files = 1200;
    QTemporaryDir dir;
    QVERIFY(makeLargeCatalogue(dir.path(), Files));
    const QString location = dir.filePath(QStringLiteral("c.sqlite"));
    CatalogueDatabase db;
    QVERIFY(db.open(location));
    QList<Song> songs;
    QVERIFY(db.songs(0, &songs));
    const int songId = songs.first().id;
    CatalogueServer server(&db);
    QVERIFY(server.start(QHostAddress::LocalHost, 0));

    QProcess import;
    import.start(QStringLiteral(VELORA_CATALOGUE_EXE),
        { QStringLiteral("import"), dir.filePath(QStringLiteral("music")), QStringLiteral("--db"), location });
    QVERIFY(import.waitForStarted());
    QNetworkAccessManager nam;
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/music/api.php?action=incrementPlayCount&id=%2")
                       .arg(server.port())
                       .arg(songId));
    int sent = 0;
    int answered = 0;
    int failed = 0;
    QTimer player;
    connect(&player, &QTimer::timeout, this, [&] {
        if (import.state() == QProcess::NotRunning) {
            player.stop();
            return;
        }
        ++sent;
        QNetworkReply *reply = nam.get(QNetworkRequest(url));
        connect(reply, &QNetworkReply::finished, this, [&, reply] {
            ++answered;
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            failed += status == 200 || status == 202 ? 0 : 1;
            reply->deleteLater();
        });
    });
    player.start(5);
    QTRY_VERIFY_WITH_TIMEOUT(import.state() == QProcess::NotRunning, 60000);
    QCOMPARE(import.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(answered, sent, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(server.queuedPlays(), 0, 30000);
    Song song;
    bool found = false;
    QVERIFY(db.song(songId, &song, &found));
    qInfo("plays sent during the import: %d, stored: %d, failed answers: %d", sent, song.playCount - 1, failed);
    QVERIFY(sent > 0);
    QCOMPARE(failed, 0);
    QCOMPARE(song.playCount, 1 + sent);
}

void TestServerApi::lyricsEncodings()
{
    const QString text = QStringLiteral("[00:01.00]你好，世界\n");
    QCOMPARE(CatalogueImporter::decodeLyrics(text.toUtf8()), text);
    QCOMPARE(CatalogueImporter::decodeLyrics("\xEF\xBB\xBF" + text.toUtf8()), text);
    QStringEncoder gb("GB18030");
    if (!gb.isValid())
        QSKIP("no GB18030 codec in this Qt");
    const QByteArray gbBytes = gb.encode(text);
    QVERIFY(gbBytes != text.toUtf8());
    QCOMPARE(CatalogueImporter::decodeLyrics(gbBytes), text);
}

void TestServerApi::demoLyricsFollowTheNotes()
{
    // Line n starts where its phrase's first note starts, never later and never 10 ms early.
    const int songMs = 24000;
    const QStringList lines = DemoCatalogue::lyricsFor(0, songMs, false).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), DemoCatalogue::Phrases);
    const int noteMs = songMs / (DemoCatalogue::Phrases * DemoCatalogue::NotesPerPhrase);
    for (int i = 0; i < lines.size(); ++i) {
        const QString tag = lines.at(i).mid(1, 8);
        const int ms = (tag.left(2).toInt() * 60 + tag.mid(3, 2).toInt()) * 1000 + tag.mid(6, 2).toInt() * 10;
        QCOMPARE(ms, i * DemoCatalogue::NotesPerPhrase * noteMs);
        QCOMPARE(lines.at(i).mid(10).split(QStringLiteral(" - ")).size(), DemoCatalogue::NotesPerPhrase);
    }
    QVERIFY(DemoCatalogue::lyricsFor(1, songMs, true).contains(QStringLiteral("哆")));
}

void TestServerApi::postgresql()
{
    // A PostgreSQL server for tests is named by this variable (e.g. set by a test command that
    // started one); without it the shared-catalogue backend is not exercised here.
    const QString address = qEnvironmentVariable("VELORA_TEST_POSTGRES_URL");
    if (address.isEmpty())
        QSKIP("VELORA_TEST_POSTGRES_URL is not set: no PostgreSQL server to test against");
    CatalogueDatabase db;
    QVERIFY2(db.open(address), qPrintable(db.lastError()));
    QCOMPARE(db.backend(), CatalogueDatabase::Backend::PostgreSQL);
    CatalogueImporter importer(&db);
    CatalogueImporter::Report report;
    QVERIFY2(importer.importFolder(m_dir.filePath(QStringLiteral("music")), &report), qPrintable(importer.lastError()));
    QList<Album> albums;
    QVERIFY(db.albums(&albums));
    QCOMPARE(albums.size(), 3);
    QList<Song> found;
    QVERIFY(db.search(QStringLiteral("NEON"), &found));
    QCOMPARE(found.size(), 1);
    int before = 0;
    int after = 0;
    QVERIFY(db.incrementPlayCount(found.first().id, &before));
    QVERIFY(db.incrementPlayCount(found.first().id, &after));
    QCOMPARE(after, before + 1);
    QJsonArray artists;
    QVERIFY(db.artistRanking(&artists));
    QCOMPARE(artists.at(0).toObject().value(QStringLiteral("artist")).toString(), QStringLiteral("Velora Synth Club"));
    // Served over HTTP like the SQLite catalogue.
    CatalogueServer server(&db);
    QVERIFY(server.start(QHostAddress::LocalHost, 0));
    QNetworkAccessManager nam;
    QNetworkReply *reply = nam.get(
        QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/music/api.php?action=getSongs").arg(server.port()))));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object().value(QStringLiteral("songs")).toArray().size(), 9);
    reply->deleteLater();
    // Re-import keeps the count there too.
    QVERIFY(importer.importFolder(m_dir.filePath(QStringLiteral("music")), &report));
    Song song;
    bool exists = false;
    QVERIFY(db.song(found.first().id, &song, &exists));
    QVERIFY(exists);
    QCOMPARE(song.playCount, after);
}

void TestServerApi::commandLine()
{
    struct Run
    {
        int exitCode;
        QByteArray out;
        QByteArray err;
    };
    auto run = [](const QStringList &args) {
        QProcess p;
        p.start(QStringLiteral(VELORA_CATALOGUE_EXE), args);
        if (!p.waitForFinished(30000))
            p.kill();
        return Run { p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError() };
    };
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("cli.sqlite"));

    Run r = run({});
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.contains("Usage"));
    r = run({ QStringLiteral("import"), dir.filePath(QStringLiteral("nope")), QStringLiteral("--db"), db });
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("nope"));
    r = run(
        { QStringLiteral("serve"), QStringLiteral("--db"), db, QStringLiteral("--listen"), QStringLiteral("nowhere") });
    QCOMPARE(r.exitCode, 2);
    r = run(
        { QStringLiteral("serve"), QStringLiteral("--db"), db, QStringLiteral("--tls-cert"), QStringLiteral("x.pem") });
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.contains("--tls-key"));
    r = run({ QStringLiteral("import"), m_dir.filePath(QStringLiteral("music")), QStringLiteral("--listen"),
        QStringLiteral("127.0.0.1:1") });
    QCOMPARE(r.exitCode, 2);

    r = run({ QStringLiteral("demo"), dir.filePath(QStringLiteral("music")), QStringLiteral("--song-ms"),
        QStringLiteral("300") });
    QCOMPARE(r.exitCode, 0);
    r = run({ QStringLiteral("import"), dir.filePath(QStringLiteral("music")), QStringLiteral("--db"), db });
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains("9 added"), r.out.constData());

    // serve: the catalogue and its folder come from the database; port 0 picks a free one.
    QProcess serve;
    serve.start(QStringLiteral(VELORA_CATALOGUE_EXE),
        { QStringLiteral("serve"), QStringLiteral("--db"), db, QStringLiteral("--listen"),
            QStringLiteral("127.0.0.1:0") });
    QVERIFY(serve.waitForStarted());
    QByteArray banner;
    QTRY_VERIFY_WITH_TIMEOUT((banner += serve.readAllStandardOutput()).contains('\n'), 15000);
    QVERIFY2(banner.contains(QFile::encodeName(QDir(dir.filePath(QStringLiteral("music"))).canonicalPath())),
        banner.constData());
    const int port = banner.mid(banner.lastIndexOf(':') + 1).trimmed().toInt();
    QVERIFY(port > 0);
    QNetworkAccessManager nam;
    QNetworkReply *reply = nam.get(
        QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/music/api.php?action=getAlbums").arg(port))));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object().value(QStringLiteral("albums")).toArray().size(), 3);
    reply->deleteLater();
    serve.terminate();
    QVERIFY(serve.waitForFinished(10000));
}

QTEST_MAIN(TestServerApi)
#include "tst_server_api.moc"
