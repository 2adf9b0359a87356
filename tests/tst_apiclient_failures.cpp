#include "apiclient.h"
#include "catalogueconfig.h"
#include "testhttpserver.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Why a catalogue request failed, as the client reports it next to the empty result; the total
// request deadline; and the cancel a refresh uses.
class TestApiClientFailures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void failuresSayWhatFailed_data();
    void failuresSayWhatFailed();
    void slowTrickleHitsTheDeadline();
    void slowBodyAfterPromptAnswerIsKept();
    void cancelDropsRunningLoadsOnly();
    void mediaUrls_data();
    void mediaUrls();

private:
    QTemporaryDir m_dir;
    TestCertificate m_cert;
};

void TestApiClientFailures::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_cert = TestCertificate::make(m_dir.path());
    QVERIFY(m_cert.isValid());
}

void TestApiClientFailures::init()
{
    for (const char *name : { "VELORA_SERVER_URL", "VELORA_SERVER_DEADLINE_MS", "VELORA_SERVER_TIMEOUT_MS",
             "VELORA_SERVER_ANSWER_MS", "VELORA_SERVER_CA_FILE", "VELORA_SERVER_INSECURE" })
        qunsetenv(name);
}

void TestApiClientFailures::failuresSayWhatFailed_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("kind");
    QTest::newRow("good") << "good" << int(ApiError::None);
    QTest::newRow("malformed JSON") << "malformed" << int(ApiError::Malformed);
    QTest::newRow("wrong shape") << "shape" << int(ApiError::Malformed);
    QTest::newRow("oversized reply") << "oversized" << int(ApiError::TooLarge);
    QTest::newRow("untrusted certificate") << "tls" << int(ApiError::Certificate);
    QTest::newRow("nothing listens") << "dead" << int(ApiError::Refused);
    QTest::newRow("accepts, never answers") << "silent" << int(ApiError::NoAnswer);
    QTest::newRow("server error") << "status" << int(ApiError::HttpStatus);
}

void TestApiClientFailures::failuresSayWhatFailed()
{
    QFETCH(QString, server);
    QFETCH(int, kind);

    TestHttpServer http;
    QTcpServer raw; // announces a body over the size limit
    QUrl url;
    if (server == QLatin1String("oversized")) {
        QVERIFY(raw.listen(QHostAddress::LocalHost));
        connect(&raw, &QTcpServer::newConnection, &raw, [&raw] {
            QTcpSocket *socket = raw.nextPendingConnection();
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                + QByteArray::number(CatalogueConfig::MaxReplyBytes + 1) + "\r\n\r\n[");
        });
        url = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(raw.serverPort()));
    } else if (server == QLatin1String("silent")) {
        // Takes the connection and the request, and says nothing: given up after the answer time,
        // long before the 30 s transfer timeout.
        QVERIFY(raw.listen(QHostAddress::LocalHost));
        url = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(raw.serverPort()));
        qputenv("VELORA_SERVER_ANSWER_MS", "300");
    } else if (server == QLatin1String("dead")) {
        QVERIFY(raw.listen(QHostAddress::LocalHost));
        url = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(raw.serverPort()));
        raw.close(); // nothing listens there any more
    } else {
        QVERIFY(server == QLatin1String("tls") ? http.start(m_cert.certificate, m_cert.key) : http.start());
        http.setHandler([server](const TestHttpServer::Request &) {
            if (server == QLatin1String("malformed"))
                return TestHttpServer::json("[{\"id\": 1,");
            if (server == QLatin1String("shape"))
                return TestHttpServer::json("{\"error\": \"no songs here\"}");
            if (server == QLatin1String("status"))
                return TestHttpServer::json("[]", 500);
            return TestHttpServer::json("[{\"id\": 4}]");
        });
        url = http.baseUrl();
    }
    qputenv("VELORA_SERVER_URL", url.toString().toUtf8());

    ApiClient client;
    int calls = 0;
    QList<Song> result;
    ApiError seen;
    client.getAllSongs([&](QList<Song> songs) {
        ++calls;
        result = songs;
        seen = client.lastError();
    });
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 20000);
    QCOMPARE(int(seen.kind), kind);
    QCOMPARE(result.isEmpty(), kind != ApiError::None);
    if (kind == ApiError::None) {
        QVERIFY(seen.message.isEmpty());
        return;
    }
    QVERIFY(!seen.message.isEmpty());
    QVERIFY(!seen.message.contains(QStringLiteral("歌曲数据为空")));
    // Every failure names the server it asked.
    QVERIFY2(seen.message.contains(url.toString()), qPrintable(seen.message));
    if (kind == ApiError::HttpStatus)
        QVERIFY2(seen.message.contains(QStringLiteral("500")), qPrintable(seen.message));
}

// One byte a second keeps the inactivity timer happy forever; the deadline still ends it.
void TestApiClientFailures::slowTrickleHitsTheDeadline()
{
    TestHttpServer http;
    QVERIFY(http.start());
    TestHttpServer::Response trickle = TestHttpServer::json(QByteArray(4000, ' ') + "[]");
    trickle.trickleMs = 20;
    http.setHandler([trickle](const TestHttpServer::Request &) { return trickle; });
    qputenv("VELORA_SERVER_URL", http.baseUrl().toString().toUtf8());
    qputenv("VELORA_SERVER_TIMEOUT_MS", "5000");
    qputenv("VELORA_SERVER_DEADLINE_MS", "400");

    ApiClient client;
    int calls = 0;
    ApiError seen;
    client.getAllSongs([&](QList<Song>) {
        ++calls;
        seen = client.lastError();
    });
    // The whole body would take 80 s; the deadline ends the request long before.
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 20000);
    QCOMPARE(int(seen.kind), int(ApiError::Timeout));
    QVERIFY(!seen.message.isEmpty());
}

// The answer time covers only the wait for the answer to begin: a body that arrives slowly
// after a prompt header is the transfer timeout's and the deadline's business.
void TestApiClientFailures::slowBodyAfterPromptAnswerIsKept()
{
    TestHttpServer http;
    QVERIFY(http.start());
    TestHttpServer::Response trickle = TestHttpServer::json(QByteArray(60, ' ') + "[{\"id\": 4}]");
    trickle.trickleMs = 25;
    http.setHandler([trickle](const TestHttpServer::Request &) { return trickle; });
    qputenv("VELORA_SERVER_URL", http.baseUrl().toString().toUtf8());
    qputenv("VELORA_SERVER_ANSWER_MS", "1000");

    ApiClient client;
    int calls = 0;
    QList<Song> result;
    ApiError seen;
    client.getAllSongs([&](QList<Song> songs) {
        ++calls;
        result = songs;
        seen = client.lastError();
    });
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 20000);
    QCOMPARE(int(seen.kind), int(ApiError::None));
    QCOMPARE(result.size(), 1);
}

void TestApiClientFailures::cancelDropsRunningLoadsOnly()
{
    TestHttpServer http;
    QVERIFY(http.start());
    bool answer = false;
    http.setHandler([&answer](const TestHttpServer::Request &) {
        TestHttpServer::Response response = TestHttpServer::json("[{\"id\": 9}]");
        response.noAnswer = !answer;
        return response;
    });
    qputenv("VELORA_SERVER_URL", http.baseUrl().toString().toUtf8());

    ApiClient client;
    auto stalled = std::make_shared<int>(0);
    client.getAlbums([stalled](QList<Album>) { ++*stalled; });
    client.getAllSongs([stalled](QList<Song>) { ++*stalled; });
    client.incrementPlayCount(3);
    QTRY_COMPARE(http.requests().size(), 3);

    client.cancelCatalogueRequests();
    answer = true;
    QList<Song> fresh;
    client.getAllSongs([&fresh](QList<Song> songs) { fresh = songs; });
    QTRY_COMPARE(fresh.size(), 1);
    QCOMPARE(fresh.first().id, 9);
    QCOMPARE(*stalled, 0);
    QCOMPARE(http.requests().size(), 4);
}

void TestApiClientFailures::mediaUrls_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("encoded"); // expected path of the URL, as sent; empty = refused
    QTest::newRow("plain") << "audio/a.wav"
                           << "/music/audio/a.wav";
    QTest::newRow("valid escapes stay text") << "%41%2e.wav"
                                             << "/music/%2541%252e.wav";
    QTest::newRow("hash and question mark") << "a #1?.wav"
                                            << "/music/a%20%231%3F.wav";
    QTest::newRow("absolute") << "/etc/passwd" << QString();
    QTest::newRow("device") << "/dev/urandom" << QString();
    QTest::newRow("scheme") << "file:///etc/passwd" << QString();
    QTest::newRow("parent cover") << "../covers/x.png" << QString();
    QTest::newRow("parent inside") << "covers/../../x.png" << QString();
    QTest::newRow("dot segment") << "./x.png" << QString();
    QTest::newRow("backslash") << "covers\\..\\x.png" << QString();
    QTest::newRow("empty") << QString() << QString();
    // Dots inside a name are no segment of their own.
    QTest::newRow("dots in a name") << "a..b/..c.png"
                                    << "/music/a..b/..c.png";
}

void TestApiClientFailures::mediaUrls()
{
    QFETCH(QString, path);
    QFETCH(QString, encoded);
    qputenv("VELORA_SERVER_URL", "http://127.0.0.1:9");
    if (encoded.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("拒绝媒体文件夹之外的路径: ") + path));
    const QUrl url = CatalogueConfig::mediaUrl(path);
    QCOMPARE(CatalogueConfig::isSafeMediaPath(path), !encoded.isEmpty());
    if (encoded.isEmpty()) {
        QVERIFY(!url.isValid());
        return;
    }
    QVERIFY(url.isValid());
    QCOMPARE(QString::fromLatin1(url.toEncoded()), QStringLiteral("http://127.0.0.1:9") + encoded);
    QCOMPARE(url.path(QUrl::FullyDecoded), QStringLiteral("/music/") + path);
}

QTEST_GUILESS_MAIN(TestApiClientFailures)
#include "tst_apiclient_failures.moc"
