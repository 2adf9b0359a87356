#include "apiclient.h"
#include "apiclientlogcapture.h"
#include "testhttpserver.h"

#include <QDebug>
#include <QJsonObject>
#include <QNetworkReply>
#include <QPointer>
#include <QTest>
#include <QUrlQuery>

#include <memory>

// What a callback delivered: how often it ran and the ids it saw (a song's id for getSong,
// each row's "id" for the charts).
struct Outcome
{
    int calls = 0;
    QList<int> ids;
};

class TestApiClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void requestsCarryQueryAndHeaders_data();
    void requestsCarryQueryAndHeaders();
    void replyShapes_data();
    void replyShapes();
    void failuresAndSummariesAreLogged_data();
    void failuresAndSummariesAreLogged();
    void longBodiesAreLoggedCut_data();
    void longBodiesAreLoggedCut();
    void emptyCallbackStillReleasesReply_data();
    void emptyCallbackStillReleasesReply();
    void noHandlerAfterClientDestroyed_data();
    void noHandlerAfterClientDestroyed();
    void callbackMayStartRequests();
    void callbackMayDestroyClient();
    void concurrentRequestsKeepTheirOwnResults();

private:
    // Starts one operation by name; its callback (unless withCallback is false) fills outcome.
    static void start(ApiClient &client, const QString &op, int number, const QString &text,
        const std::shared_ptr<Outcome> &outcome, bool withCallback = true);

    TestHttpServer m_server;
    TestHttpServer::Response m_response;
};

void TestApiClient::initTestCase()
{
    QVERIFY(m_server.start());
    m_server.setHandler([this](const TestHttpServer::Request &) { return m_response; });
    qputenv("VELORA_SERVER_URL", m_server.baseUrl().toString().toUtf8());
}

void TestApiClient::init()
{
    m_server.clearRequests();
    m_response = TestHttpServer::json("[]");
}

void TestApiClient::start(ApiClient &client, const QString &op, int number, const QString &text,
    const std::shared_ptr<Outcome> &outcome, bool withCallback)
{
    auto songs = [outcome](QList<Song> list) {
        ++outcome->calls;
        for (const Song &s : list)
            outcome->ids << s.id;
    };
    auto rows = [outcome](QJsonArray list) {
        ++outcome->calls;
        for (const QJsonValue &row : list)
            outcome->ids << row.toObject().value(QStringLiteral("id")).toInt();
    };
    if (op == QLatin1String("getAlbums")) {
        client.getAlbums(withCallback ? AlbumsCallback([outcome](QList<Album> list) {
            ++outcome->calls;
            for (const Album &a : list)
                outcome->ids << a.id;
        })
                                      : AlbumsCallback());
    } else if (op == QLatin1String("getSongs")) {
        client.getSongs(number, withCallback ? SongsCallback(songs) : SongsCallback());
    } else if (op == QLatin1String("getAllSongs")) {
        client.getAllSongs(withCallback ? SongsCallback(songs) : SongsCallback());
    } else if (op == QLatin1String("search")) {
        client.search(text, withCallback ? SongsCallback(songs) : SongsCallback());
    } else if (op == QLatin1String("getSong")) {
        client.getSong(number,
            withCallback ? SongCallback([outcome](Song s) {
                ++outcome->calls;
                outcome->ids << s.id;
            })
                         : SongCallback());
    } else if (op == QLatin1String("getArtistRanking")) {
        client.getArtistRanking(withCallback ? RankingCallback(rows) : RankingCallback());
    } else if (op == QLatin1String("getSongRanking")) {
        client.getSongRanking(withCallback ? RankingCallback(rows) : RankingCallback());
    } else if (op == QLatin1String("incrementPlayCount")) {
        client.incrementPlayCount(number);
    } else {
        qFatal("unknown operation %s", qPrintable(op));
    }
}

void TestApiClient::requestsCarryQueryAndHeaders_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("target");

    const QByteArray api = "/music/api.php";
    QTest::newRow("albums") << "getAlbums" << 0 << QString() << api + "?action=getAlbums";
    QTest::newRow("songs, album 0") << "getSongs" << 0 << QString() << api + "?action=getSongs";
    QTest::newRow("songs, album -3") << "getSongs" << -3 << QString() << api + "?action=getSongs";
    QTest::newRow("songs, album 7") << "getSongs" << 7 << QString() << api + "?action=getSongs&album_id=7";
    QTest::newRow("all songs") << "getAllSongs" << 0 << QString() << api + "?action=getSongs";
    QTest::newRow("search a b&c") << "search" << 0 << "a b&c" << api + "?action=search&q=a%20b%26c";
    QTest::newRow("search plus, percent, unreserved")
        << "search" << 0 << "a+b%c=d#e?-._~" << api + "?action=search&q=a%2Bb%25c%3Dd%23e%3F-._~";
    QTest::newRow("search Chinese") << "search" << 0 << "周杰伦"
                                    << api + "?action=search&q=%E5%91%A8%E6%9D%B0%E4%BC%A6";
    QTest::newRow("search empty") << "search" << 0 << QString() << api + "?action=search&q=";
    QTest::newRow("one song") << "getSong" << 42 << QString() << api + "?action=getSong&id=42";
    QTest::newRow("artist chart") << "getArtistRanking" << 0 << QString() << api + "?action=getArtistRanking";
    QTest::newRow("song chart") << "getSongRanking" << 0 << QString() << api + "?action=getSongRanking";
    QTest::newRow("play count") << "incrementPlayCount" << 9 << QString() << api + "?action=incrementPlayCount&id=9";
}

void TestApiClient::requestsCarryQueryAndHeaders()
{
    QFETCH(QString, op);
    QFETCH(int, number);
    QFETCH(QString, text);
    QFETCH(QByteArray, target);

    ApiClient client;
    auto outcome = std::make_shared<Outcome>();
    start(client, op, number, text, outcome);
    QTRY_COMPARE(m_server.requests().size(), 1);
    const TestHttpServer::Request request = m_server.requests().constFirst();
    QCOMPARE(request.requestLine, "GET " + target + " HTTP/1.1");
    QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
    QCOMPARE(request.headers.value("user-agent"), QByteArray("Velora/1.0"));
    if (op != QLatin1String("incrementPlayCount"))
        QTRY_COMPARE(outcome->calls, 1);
}

void TestApiClient::replyShapes_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QList<int>>("ids");

    const QList<int> none;
    const QList<int> noSong { 0 };
    const QByteArray two = R"([{"id": 1, "album_id": 5}, {"id": 2}])";
    struct Op
    {
        const char *name;
        const char *key;
    };
    const Op listOps[] = { { "getAlbums", "albums" }, { "getAllSongs", "songs" }, { "search", "results" },
        { "getArtistRanking", "artists" }, { "getSongRanking", "songs" } };
    for (const Op &op : listOps) {
        const QByteArray key = op.key;
        auto row = [&op](const char *shape) -> QTestData & { return QTest::addRow("%s: %s", op.name, shape); };
        row("array") << op.name << 200 << two << QList<int> { 1, 2 };
        row("empty array") << op.name << 200 << QByteArray("[]") << none;
        row("object with its key") << op.name << 200 << "{\"" + key + "\": " + two + "}" << QList<int> { 1, 2 };
        row("object with another key") << op.name << 200 << "{\"items\": " + two + "}" << none;
        row("key holding an object") << op.name << 200 << "{\"" + key + "\": {\"id\": 1}}" << none;
        row("key holding a number") << op.name << 200 << "{\"" + key + "\": 3}" << none;
        row("failure object") << op.name << 200 << QByteArray(R"({"success": false, "error": "db down"})") << none;
        row("not JSON") << op.name << 200 << QByteArray("<html>Fatal error</html>") << none;
        row("empty body") << op.name << 200 << QByteArray() << none;
        row("HTTP 404") << op.name << 404 << two << none;
        row("HTTP 500") << op.name << 500 << two << none;
    }
    // Rows that are not objects stay in place as default records (charts pass them on untouched).
    QTest::newRow("getAllSongs: row not an object")
        << "getAllSongs" << 200 << QByteArray(R"([{"id": 4}, 7, "x"])") << QList<int> { 4, 0, 0 };
    QTest::newRow("getAlbums: row not an object")
        << "getAlbums" << 200 << QByteArray(R"([null, {"id": 9}])") << QList<int> { 0, 9 };
    QTest::newRow("getAlbums: both keys, albums win")
        << "getAlbums" << 200 << QByteArray(R"({"songs": [{"id": 1}], "albums": [{"id": 2}]})") << QList<int> { 2 };
    QTest::newRow("getSongRanking: rows untouched")
        << "getSongRanking" << 200 << QByteArray(R"([{"id": 3}, 5])") << QList<int> { 3, 0 };

    QTest::newRow("getSong: object") << "getSong" << 200 << QByteArray(R"({"id": 12, "title": "t"})")
                                     << QList<int> { 12 };
    QTest::newRow("getSong: array of two") << "getSong" << 200 << two << QList<int> { 1 };
    QTest::newRow("getSong: empty array") << "getSong" << 200 << QByteArray("[]") << noSong;
    QTest::newRow("getSong: array of a non-object") << "getSong" << 200 << QByteArray("[5]") << noSong;
    QTest::newRow("getSong: not JSON") << "getSong" << 200 << QByteArray("nope") << noSong;
    QTest::newRow("getSong: HTTP 404") << "getSong" << 404 << QByteArray(R"({"id": 12})") << noSong;
}

void TestApiClient::replyShapes()
{
    QFETCH(QString, op);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QList<int>, ids);

    m_response = TestHttpServer::json(body, status);
    ApiClient client;
    auto outcome = std::make_shared<Outcome>();
    start(client, op, 1, QStringLiteral("x"), outcome);
    QTRY_COMPARE(outcome->calls, 1);
    QCOMPARE(outcome->ids, ids);
    // The handler runs once only.
    QTRY_VERIFY(client.findChildren<QNetworkReply *>().isEmpty());
    QCOMPARE(outcome->calls, 1);
}

void TestApiClient::failuresAndSummariesAreLogged_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("prefixes");

    QTest::newRow("albums ok") << "getAlbums" << 200 << QByteArray(R"([{"id":1},{"id":2}])")
                               << QStringList { "专辑响应: ", "已加载 2 个专辑" };
    QTest::newRow("albums 404") << "getAlbums" << 404 << QByteArray("[]")
                                << QStringList { "获取专辑失败: ", "已加载 0 个专辑" };
    QTest::newRow("songs ok") << "getAllSongs" << 200 << QByteArray(R"({"songs":[{"id":1}]})")
                              << QStringList { "歌曲响应: ", "已加载 1 首歌曲" };
    QTest::newRow("songs 500") << "getSongs" << 500 << QByteArray("[]")
                               << QStringList { "获取歌曲失败: ", "已加载 0 首歌曲" };
    QTest::newRow("songs not JSON") << "getSongs" << 200 << QByteArray("oops")
                                    << QStringList { "歌曲响应: \"oops\"", "已加载 0 首歌曲" };
    QTest::newRow("one song 404") << "getSong" << 404 << QByteArray("{}") << QStringList { "获取歌曲失败: " };
    QTest::newRow("play count 500") << "incrementPlayCount" << 500 << QByteArray("{}")
                                    << QStringList { "增加播放次数失败: " };
}

void TestApiClient::failuresAndSummariesAreLogged()
{
    QFETCH(QString, op);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, prefixes);

    m_response = TestHttpServer::json(body, status);
    ApiClientLogCapture log;
    ApiClient client;
    auto outcome = std::make_shared<Outcome>();
    start(client, op, 3, QString(), outcome);
    QTRY_VERIFY(client.findChildren<QNetworkReply *>().isEmpty());
    for (const QString &prefix : prefixes)
        QVERIFY2(log.startingWith(prefix).size() == 1,
            qPrintable(prefix + QLatin1String(" in ") + log.messages().join('|')));
    if (status != 200) {
        // The failure line names the reason given by the network stack.
        QVERIFY(log.startingWith(prefixes.first()).constFirst().size() > prefixes.first().size());
    }
}

void TestApiClient::longBodiesAreLoggedCut_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("logged");

    // About 120 kB of song rows.
    QByteArray big = "[";
    for (int i = 1; big.size() < 120 * 1024; ++i)
        big += "{\"id\":" + QByteArray::number(i) + ",\"title\":\"song number " + QByteArray::number(i) + "\"},";
    big.chop(1);
    big += "]";
    QTest::newRow("120 kB") << big << QString::fromUtf8(big.left(200));

    // "周" ends at byte 200, the 201st byte is the lead of "杰": the cut keeps whole characters.
    const QByteArray head = "[{\"title\":\"" + QByteArray(186, 'x');
    const QByteArray chinese = head + QStringLiteral("周杰伦").toUtf8() + "\"}]";
    QTest::newRow("cut after a character") << chinese << QString::fromUtf8(head) + QStringLiteral("周");
    // Byte 200 is the middle of "周": that character goes entirely.
    const QByteArray inside = head + 'y' + QStringLiteral("周杰伦").toUtf8() + "\"}]";
    QTest::newRow("cut inside a character") << inside << QString::fromUtf8(head) + QLatin1Char('y');

    QTest::newRow("exactly 200 bytes") << QByteArray(200, 'a') << QString(200, QLatin1Char('a'));
    QTest::newRow("short") << QByteArray("[]") << QStringLiteral("[]");
}

void TestApiClient::longBodiesAreLoggedCut()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, logged);

    m_response = TestHttpServer::json(body);
    ApiClientLogCapture log;
    ApiClient client;
    auto outcome = std::make_shared<Outcome>();
    start(client, QStringLiteral("getAllSongs"), 0, QString(), outcome);
    QTRY_COMPARE(outcome->calls, 1);

    const QStringList lines = log.startingWith(QStringLiteral("歌曲响应: "));
    QCOMPARE(lines.size(), 1);
    QString expected;
    QDebug(&expected) << logged; // the body is logged quoted, like the debug stream quotes text
    QCOMPARE(lines.constFirst(), QStringLiteral("歌曲响应: ") + expected.trimmed());
}

void TestApiClient::emptyCallbackStillReleasesReply_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("logged");
    QTest::newRow("albums") << "getAlbums"
                            << "已加载 1 个专辑";
    QTest::newRow("songs") << "getSongs"
                           << "已加载 1 首歌曲";
    QTest::newRow("search") << "search" << QString();
    QTest::newRow("one song") << "getSong" << QString();
    QTest::newRow("artist chart") << "getArtistRanking" << QString();
    QTest::newRow("song chart") << "getSongRanking" << QString();
    QTest::newRow("play count") << "incrementPlayCount" << QString();
}

void TestApiClient::emptyCallbackStillReleasesReply()
{
    QFETCH(QString, op);
    QFETCH(QString, logged);

    m_response = TestHttpServer::json(R"([{"id": 1}])");
    ApiClientLogCapture log;
    ApiClient client;
    auto outcome = std::make_shared<Outcome>();
    start(client, op, 1, QStringLiteral("q"), outcome, false);
    QTRY_COMPARE(m_server.requests().size(), 1);
    QTRY_VERIFY(client.findChildren<QNetworkReply *>().isEmpty());
    QCOMPARE(outcome->calls, 0);
    if (!logged.isEmpty())
        QCOMPARE(log.startingWith(logged).size(), 1);
}

void TestApiClient::noHandlerAfterClientDestroyed_data()
{
    QTest::addColumn<bool>("serverAnswers");
    QTest::newRow("server answers") << true;
    QTest::newRow("server never answers") << false;
}

void TestApiClient::noHandlerAfterClientDestroyed()
{
    QFETCH(bool, serverAnswers);

    m_response = TestHttpServer::json(R"([{"id": 1}])");
    m_response.noAnswer = !serverAnswers;
    auto outcome = std::make_shared<Outcome>();
    QPointer<ApiClient> client = new ApiClient;
    start(*client, QStringLiteral("getAlbums"), 0, QString(), outcome);
    start(*client, QStringLiteral("getSong"), 1, QString(), outcome);
    // Destroyed the moment the server has the request: its answer can only arrive afterwards.
    int seen = 0;
    connect(&m_server, &TestHttpServer::requestReceived, client, [&seen, &client] {
        if (++seen == 2)
            delete client.data();
    });
    QTRY_VERIFY(client.isNull());
    QTRY_COMPARE(m_server.requests().size(), 2);
    QTest::qWait(200); // give a stray answer the chance to arrive
    QCOMPARE(outcome->calls, 0);
    // The callbacks (holding the outcome) were released with their replies.
    QCOMPARE(outcome.use_count(), 1L);
}

void TestApiClient::callbackMayStartRequests()
{
    m_response = TestHttpServer::json(R"([{"id": 5}])");
    ApiClient client;
    QList<int> songIds;
    bool done = false;
    client.getAlbums([&client, &songIds, &done](QList<Album> albums) {
        QCOMPARE(albums.size(), 1);
        client.getSongs(albums.constFirst().id, [&songIds, &done](QList<Song> songs) {
            for (const Song &s : songs)
                songIds << s.id;
            done = true;
        });
    });
    QTRY_VERIFY(done);
    QCOMPARE(songIds, QList<int> { 5 });
    QCOMPARE(m_server.requests().constLast().target, QByteArray("/music/api.php?action=getSongs&album_id=5"));
}

void TestApiClient::callbackMayDestroyClient()
{
    m_response = TestHttpServer::json(R"([{"id": 5}])");
    QPointer<ApiClient> client = new ApiClient;
    int calls = 0;
    client->getAlbums([&client, &calls](QList<Album>) {
        ++calls;
        delete client.data();
    });
    QTRY_VERIFY(client.isNull());
    QTest::qWait(50);
    QCOMPARE(calls, 1);
}

void TestApiClient::concurrentRequestsKeepTheirOwnResults()
{
    // Album 1 is answered last; each callback must still get its own album's songs.
    m_server.setHandler([](const TestHttpServer::Request &request) {
        const QString album = QUrlQuery(request.url).queryItemValue(QStringLiteral("album_id"));
        return TestHttpServer::json("[{\"id\": " + album.toUtf8() + "00}]");
    });
    ApiClient client;
    QList<int> first;
    QList<int> second;
    client.getSongs(1, [&first](QList<Song> songs) { first << songs.value(0).id; });
    client.getSongs(2, [&second](QList<Song> songs) { second << songs.value(0).id; });
    QTRY_VERIFY(!first.isEmpty() && !second.isEmpty());
    QCOMPARE(first, QList<int> { 100 });
    QCOMPARE(second, QList<int> { 200 });
    m_server.setHandler([this](const TestHttpServer::Request &) { return m_response; });
}

QTEST_GUILESS_MAIN(TestApiClient)
#include "tst_apiclient.moc"
