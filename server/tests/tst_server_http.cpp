// The catalogue server's own HTTP/1.1 handling over real sockets on 127.0.0.1: the request
// parser's limits, answers to pipelined requests, connection ends, timeouts, the TLS
// handshake deadline, connection caps, and plays that meet a locked database.

#include "cataloguedatabase.h"
#include "catalogueimporter.h"
#include "catalogueserver.h"
#include "democatalogue.h"
#include "httprequestparser.h"
#include "testhttpserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

constexpr int WaitMs = 15000;

QStringList capturedWarnings;
QtMessageHandler previousHandler = nullptr;

void captureMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg)
        capturedWarnings.append(message);
    previousHandler(type, context, message);
}

// One answer read off a raw connection.
struct RawAnswer
{
    int status = 0;
    QByteArray head; // lower case
    QByteArray body;
};

// Reads whole answers (head and Content-Length body) from bytes as they come.
QList<RawAnswer> splitAnswers(QByteArray bytes, bool headOnlyLast = false)
{
    QList<RawAnswer> answers;
    for (;;) {
        const qsizetype end = bytes.indexOf("\r\n\r\n");
        if (end < 0)
            break;
        RawAnswer answer;
        answer.head = bytes.left(end).toLower();
        answer.status = bytes.mid(9, 3).toInt();
        const qsizetype at = answer.head.indexOf("content-length:");
        qint64 length = 0;
        if (at >= 0)
            length = answer.head.mid(at + 15, answer.head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (headOnlyLast && bytes.size() == end + 4)
            length = 0;
        if (bytes.size() - end - 4 < length)
            break;
        answer.body = bytes.mid(end + 4, length);
        bytes.remove(0, end + 4 + length);
        answers.append(answer);
    }
    return answers;
}

// Sends bytes on a new connection and collects what comes back until the server closes or
// `answers` whole answers are there (0: until the server closes).
struct RawExchange
{
    QByteArray received;
    bool closedByServer = false;
};

RawExchange exchange(quint16 port, const QByteArray &request, int answers)
{
    RawExchange result;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(WaitMs))
        return result;
    QEventLoop loop;
    QTimer::singleShot(WaitMs, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
        result.received += socket.readAll();
        if (answers > 0 && splitAnswers(result.received).size() >= answers)
            loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, [&] {
        result.closedByServer = true;
        loop.quit();
    });
    socket.write(request);
    loop.exec();
    result.received += socket.readAll();
    return result;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestServerHttp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void parser_data();
    void parser();
    void refusedRequests_data();
    void refusedRequests();
    void oversizedHeadIsNotBuffered();
    void pipelinedAnswersKeepTheirOrder();
    void connectionEnds_data();
    void connectionEnds();
    void idleAndSlowConnectionsEnd();
    void unreadAnswersAreDropped();
    void unfinishedHandshakesDoNotBlockTls();
    void slowClientsDoNotShutOthersOut();
    void restingConnectionMakesRoom();
    void playsWhileTheDatabaseIsLocked();
    void searchTermIsBounded();

private:
    std::unique_ptr<CatalogueServer> startServer(const CatalogueServer::Limits &limits, bool tls = false);
    QString mediaPath(const QString &relative) const { return m_dir.filePath(QStringLiteral("music/") + relative); }
    int playCountOf(int songId);

    QTemporaryDir m_dir;
    QTemporaryDir m_certDir;
    TestCertificate m_cert;
    CatalogueDatabase *m_db = nullptr;
    std::unique_ptr<CatalogueServer> m_server;
};

void TestServerHttp::initTestCase()
{
    previousHandler = qInstallMessageHandler(captureMessages);
    QVERIFY(m_dir.isValid());
    DemoCatalogue demo;
    QVERIFY2(demo.generate(m_dir.filePath(QStringLiteral("music")), 300), qPrintable(demo.lastError()));
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
    m_server = startServer(CatalogueServer::Limits());
    QVERIFY(m_server);
    m_cert = TestCertificate::make(m_certDir.path());
}

void TestServerHttp::cleanupTestCase()
{
    m_server.reset();
    qInstallMessageHandler(previousHandler);
}

std::unique_ptr<CatalogueServer> TestServerHttp::startServer(const CatalogueServer::Limits &limits, bool tls)
{
    auto server = std::make_unique<CatalogueServer>(m_db);
    server->setLimits(limits);
    const bool started = tls ? server->start(QHostAddress::LocalHost, 0, m_cert.certificate, m_cert.key)
                             : server->start(QHostAddress::LocalHost, 0);
    if (!started) {
        qWarning() << "cannot start the server:" << server->errorString();
        return nullptr;
    }
    return server;
}

int TestServerHttp::playCountOf(int songId)
{
    Song song;
    bool found = false;
    return m_db->song(songId, &song, &found) && found ? song.playCount : -1;
}

void TestServerHttp::parser_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status"); // 0: a complete request
    QTest::addColumn<QByteArray>("rest"); // what stays for the next request

    QTest::newRow("plain GET") << QByteArray("GET /music/a.wav HTTP/1.1\r\nHost: x\r\n\r\n") << 0 << QByteArray();
    QTest::newRow("bare line feeds") << QByteArray("GET / HTTP/1.0\nHost: x\n\n") << 0 << QByteArray();
    QTest::newRow("empty line before the request") << QByteArray("\r\nGET / HTTP/1.1\r\n\r\n") << 0 << QByteArray();
    QTest::newRow("pipelined: the next request stays")
        << QByteArray("GET /a HTTP/1.1\r\n\r\nGET /b HTTP/1.1\r\n\r\n") << 0 << QByteArray("GET /b HTTP/1.1\r\n\r\n");
    QTest::newRow("small body is read past")
        << QByteArray("POST /a HTTP/1.1\r\nContent-Length: 3\r\n\r\nabcGET") << 0 << QByteArray("GET");
    QTest::newRow("absolute form") << QByteArray("GET http://h:1/music/x?y=1 HTTP/1.1\r\n\r\n") << 0 << QByteArray();
    QTest::newRow("request line too long")
        << QByteArray("GET /" + QByteArray(9000, 'a') + " HTTP/1.1\r\n\r\n") << 414 << QByteArray();
    QTest::newRow("request line too long, no end yet")
        << QByteArray("GET /" + QByteArray(9000, 'a')) << 414 << QByteArray();
    QTest::newRow("one huge header") << QByteArray("GET / HTTP/1.1\r\nX: " + QByteArray(40000, 'a')) << 431
                                     << QByteArray();
    QByteArray many = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 101; ++i)
        many += "X-" + QByteArray::number(i) + ": 1\r\n";
    QTest::newRow("too many headers") << many + "\r\n" << 431 << QByteArray();
    QTest::newRow("body too large") << QByteArray("GET / HTTP/1.1\r\nContent-Length: 268435456\r\n\r\n") << 413
                                    << QByteArray();
    QTest::newRow("chunked body") << QByteArray("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n") << 501
                                  << QByteArray();
    QTest::newRow("two different lengths")
        << QByteArray("GET / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n") << 400 << QByteArray();
    QTest::newRow("length not a number") << QByteArray("GET / HTTP/1.1\r\nContent-Length: -1\r\n\r\n") << 400
                                         << QByteArray();
    QTest::newRow("other HTTP version") << QByteArray("GET / HTTP/2.0\r\n\r\n") << 505 << QByteArray();
    QTest::newRow("no version") << QByteArray("GET /\r\n\r\n") << 400 << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x16\x03\x01\x02\x01\r\n") << 400 << QByteArray();
    QTest::newRow("two blanks") << QByteArray("GET  / HTTP/1.1\r\n\r\n") << 400 << QByteArray();
    QTest::newRow("target not a path") << QByteArray("GET music HTTP/1.1\r\n\r\n") << 400 << QByteArray();
    QTest::newRow("blank before the colon") << QByteArray("GET / HTTP/1.1\r\nHost : x\r\n\r\n") << 400 << QByteArray();
    QTest::newRow("folded header") << QByteArray("GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n") << 400 << QByteArray();
    QTest::newRow("control character in a value")
        << QByteArray("GET / HTTP/1.1\r\nA: b\x01\r\n\r\n", 26) << 400 << QByteArray();
}

void TestServerHttp::parser()
{
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, rest);
    // Byte by byte and all at once must agree.
    for (const bool trickle : { false, true }) {
        HttpRequestParser parser;
        QByteArray buffer;
        HttpRequestParser::State state = HttpRequestParser::State::Idle;
        if (trickle) {
            for (qsizetype i = 0; i < input.size() && state != HttpRequestParser::State::Complete
                 && state != HttpRequestParser::State::Failed;
                 ++i) {
                buffer += input.at(i);
                state = parser.parse(&buffer);
            }
            buffer += input.mid(input.size()); // nothing: the rest is compared below only at once
        } else {
            buffer = input;
            state = parser.parse(&buffer);
        }
        if (status == 0) {
            QCOMPARE(state, HttpRequestParser::State::Complete);
            if (!trickle)
                QCOMPARE(buffer, rest);
            const HttpRequest request = parser.takeRequest();
            QVERIFY(request.target.startsWith('/'));
        } else {
            QCOMPARE(state, HttpRequestParser::State::Failed);
            QCOMPARE(parser.errorStatus(), status);
            QVERIFY(buffer.size() <= 40000 + 100);
        }
    }
}

void TestServerHttp::refusedRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");

    QTest::newRow("URL of 64 KB") << QByteArray(
        "GET /music/api.php?action=search&q=" + QByteArray(64 * 1024, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n")
                                  << 414;
    QTest::newRow("header of 1 MB") << QByteArray("GET /music/api.php HTTP/1.1\r\nX-Big: " + QByteArray(1 << 20, 'b')
        + "\r\n\r\n") << 431;
    QByteArray many = "GET /music/api.php?action=getAlbums HTTP/1.1\r\n";
    for (int i = 0; i < 100000; ++i)
        many += "X: 1\r\n";
    QTest::newRow("100,000 headers") << many + "\r\n" << 431;
    QTest::newRow("body of 256 MB announced")
        << QByteArray("GET /music/api.php?action=getAlbums HTTP/1.1\r\nContent-Length: 268435456\r\n\r\n") << 413;
    QTest::newRow("malformed request line") << QByteArray("HELLO\r\n\r\n") << 400;
    QTest::newRow("path out of the folder") << QByteArray("GET /music/../secret HTTP/1.1\r\n\r\n") << 403;
}

void TestServerHttp::refusedRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    capturedWarnings.clear();
    // Broken requests end their connection: wait for that; a refused path keeps it open.
    const RawExchange result = exchange(m_server->port(), request, status == 403 ? 1 : 0);
    const QList<RawAnswer> answers = splitAnswers(result.received);
    QCOMPARE(answers.size(), 1);
    QCOMPARE(answers.first().status, status);
    QVERIFY2(QJsonDocument::fromJson(answers.first().body).object().value(QStringLiteral("error")).isString(),
        answers.first().body.constData());
    if (status != 403) {
        // A broken request ends its connection.
        QVERIFY(answers.first().head.contains("connection: close"));
        QVERIFY(result.closedByServer);
    }
    // Every refusal leaves a line in the log, with its status.
    bool logged = false;
    for (const QString &line : std::as_const(capturedWarnings))
        logged = logged || line.startsWith(QString::number(status) + QLatin1Char(' '));
    QVERIFY2(logged, qPrintable(capturedWarnings.join(QLatin1Char('\n'))));
}

void TestServerHttp::oversizedHeadIsNotBuffered()
{
    // A client that keeps sending header bytes: the server answers 431 after its limit and
    // closes, long before the 64 MB have gone out, instead of holding them all.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_server->port());
    QVERIFY(socket.waitForConnected(WaitMs));
    socket.write("GET /music/api.php HTTP/1.1\r\nX-Big: ");
    const QByteArray chunk(64 * 1024, 'h');
    qint64 sent = 0;
    QByteArray answer;
    QEventLoop loop;
    QTimer::singleShot(WaitMs, &loop, &QEventLoop::quit);
    auto feed = [&] {
        while (!answer.contains("\r\n\r\n") && socket.state() == QAbstractSocket::ConnectedState
            && socket.bytesToWrite() < 4 * chunk.size() && sent < 64 * 1024 * 1024) {
            socket.write(chunk);
            sent += chunk.size();
        }
    };
    connect(&socket, &QTcpSocket::bytesWritten, &loop, feed);
    connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
        answer += socket.readAll();
        if (answer.contains("\r\n\r\n"))
            loop.quit();
    });
    connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    feed();
    loop.exec();
    answer += socket.readAll();
    qInfo("header bytes sent before the server closed: %lld", sent);
    QVERIFY(answer.startsWith("HTTP/1.1 431"));
    QVERIFY(sent < 64 * 1024 * 1024);
}

void TestServerHttp::pipelinedAnswersKeepTheirOrder()
{
    const QString song = QStringLiteral("Velora Synth Club - Night Drive/01 Neon Lights.wav");
    const QByteArray songTarget = "/music/" + QUrl::toPercentEncoding(song, "/");
    QByteArray requests = "GET /music/extras/big.bin HTTP/1.1\r\nHost: x\r\n\r\n";
    requests += "GET /music/api.php?action=getAlbums HTTP/1.1\r\nHost: x\r\n\r\n";
    requests += "GET " + songTarget + " HTTP/1.1\r\nHost: x\r\nRange: bytes=10-99\r\n\r\n";
    requests += "HEAD /music/extras/big.bin HTTP/1.1\r\nHost: x\r\n\r\n";
    requests += "GET /music/api.php?action=getSongs HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    const RawExchange result = exchange(m_server->port(), requests, 0);
    QVERIFY(result.closedByServer);

    // The HEAD answer announces a length but carries no body: split by hand around it.
    QByteArray bytes = result.received;
    const QList<RawAnswer> firstThree = splitAnswers(bytes).mid(0, 3);
    QCOMPARE(firstThree.size(), 3);
    QCOMPARE(firstThree.at(0).status, 200);
    QVERIFY(firstThree.at(0).body == readFile(mediaPath(QStringLiteral("extras/big.bin"))));
    QCOMPARE(firstThree.at(1).status, 200);
    QCOMPARE(
        QJsonDocument::fromJson(firstThree.at(1).body).object().value(QStringLiteral("albums")).toArray().size(), 3);
    QCOMPARE(firstThree.at(2).status, 206);
    QCOMPARE(firstThree.at(2).body, readFile(mediaPath(song)).mid(10, 90));
    qsizetype consumed = 0;
    for (const RawAnswer &answer : firstThree)
        consumed += answer.head.size() + 4 + answer.body.size();
    bytes.remove(0, consumed);
    const qsizetype headEnd = bytes.indexOf("\r\n\r\n");
    QVERIFY(bytes.startsWith("HTTP/1.1 200"));
    QVERIFY(bytes.left(headEnd).contains("Content-Length: 3145728"));
    bytes.remove(0, headEnd + 4);
    const QList<RawAnswer> last = splitAnswers(bytes);
    QCOMPARE(last.size(), 1);
    QCOMPARE(last.first().status, 200);
    QCOMPARE(QJsonDocument::fromJson(last.first().body).object().value(QStringLiteral("songs")).toArray().size(), 9);
    QVERIFY(last.first().head.contains("connection: close"));
}

void TestServerHttp::connectionEnds_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("closes");

    QTest::newRow("HTTP/1.1 stays open") << QByteArray(
        "GET /music/api.php?action=getAlbums HTTP/1.1\r\nHost: x\r\n\r\n")
                                         << false;
    QTest::newRow("Connection: close") << QByteArray(
        "GET /music/api.php?action=getAlbums HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                                       << true;
    QTest::newRow("close among other options")
        << QByteArray("GET /music/api.php?action=getAlbums HTTP/1.1\r\nConnection: TE, Close\r\n\r\n") << true;
    QTest::newRow("HTTP/1.0") << QByteArray("GET /music/api.php?action=getAlbums HTTP/1.0\r\n\r\n") << true;
    QTest::newRow("HTTP/1.0 media") << QByteArray("GET /music/Field%20Recordings/folder.jpg HTTP/1.0\r\n\r\n") << true;
}

void TestServerHttp::connectionEnds()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, closes);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_server->port());
    QVERIFY(socket.waitForConnected(WaitMs));
    QSignalSpy disconnected(&socket, &QTcpSocket::disconnected);
    QByteArray received;
    connect(&socket, &QTcpSocket::readyRead, this, [&] { received += socket.readAll(); });
    socket.write(request);
    QTRY_COMPARE_WITH_TIMEOUT(splitAnswers(received).size(), 1, WaitMs);
    QCOMPARE(splitAnswers(received).first().status, 200);
    if (closes) {
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, WaitMs);
        return;
    }
    // Still open: a second request is answered on the same connection.
    socket.write(request);
    QTRY_COMPARE_WITH_TIMEOUT(splitAnswers(received).size(), 2, WaitMs);
    QCOMPARE(disconnected.size(), 0);
}

void TestServerHttp::idleAndSlowConnectionsEnd()
{
    CatalogueServer::Limits limits;
    limits.timeouts.idleMs = 300;
    limits.timeouts.headerMs = 600;
    const auto server = startServer(limits);
    QVERIFY(server);

    // Silent after connecting: closed without an answer.
    QTcpSocket idle;
    idle.connectToHost(QHostAddress::LocalHost, server->port());
    QVERIFY(idle.waitForConnected(WaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(idle.state(), QAbstractSocket::UnconnectedState, WaitMs);

    // A head that trickles in byte by byte, each byte well within the idle time: the whole head
    // has a deadline, so it ends with 408.
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, server->port());
    QVERIFY(slow.waitForConnected(WaitMs));
    QByteArray received;
    connect(&slow, &QTcpSocket::readyRead, this, [&] { received += slow.readAll(); });
    const QByteArray head = "GET /music/api.php?action=getAlbums HTTP/1.1\r\nX-Padding: " + QByteArray(4000, 'p');
    qsizetype next = 0;
    QTimer trickle;
    connect(&trickle, &QTimer::timeout, this, [&] {
        if (slow.state() == QAbstractSocket::ConnectedState && next < head.size())
            slow.write(head.mid(next++, 1));
    });
    trickle.start(20);
    QTRY_COMPARE_WITH_TIMEOUT(slow.state(), QAbstractSocket::UnconnectedState, WaitMs);
    trickle.stop();
    QVERIFY2(received.startsWith("HTTP/1.1 408"), received.constData());
    QTRY_COMPARE_WITH_TIMEOUT(server->connectionCount(), 0, WaitMs);
}

void TestServerHttp::unreadAnswersAreDropped()
{
    CatalogueServer::Limits limits;
    limits.timeouts.sendStallMs = 300;
    const auto server = startServer(limits);
    QVERIFY(server);
    // Asks for 30 MB and reads nothing: once the socket buffers are full nothing moves, and the
    // server lets the connection go instead of holding it and its file.
    QTcpSocket reader;
    reader.setReadBufferSize(1024);
    reader.connectToHost(QHostAddress::LocalHost, server->port());
    QVERIFY(reader.waitForConnected(WaitMs));
    QByteArray requests;
    for (int i = 0; i < 10; ++i)
        requests += "GET /music/extras/big.bin HTTP/1.1\r\nHost: x\r\n\r\n";
    reader.write(requests);
    QTRY_COMPARE_WITH_TIMEOUT(server->connectionCount(), 1, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(server->connectionCount(), 0, WaitMs);
}

void TestServerHttp::unfinishedHandshakesDoNotBlockTls()
{
    if (!m_cert.isValid())
        QSKIP("openssl could not make a test certificate");
    CatalogueServer::Limits limits;
    limits.timeouts.handshakeMs = 1500;
    limits.maxConnectionsPerAddress = 200;
    const auto server = startServer(limits, true);
    QVERIFY(server);

    // 100 connections that never start their handshake (more than any pending queue holds).
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QHostAddress::LocalHost, server->port());
    }
    QTRY_COMPARE_WITH_TIMEOUT(server->connectionCount(), 100, WaitMs);
    qInfo("connections held in their handshake: %d", server->connectionCount());

    // A real client is served while they sit there.
    QNetworkAccessManager nam;
    QNetworkRequest request(
        QUrl(QStringLiteral("https://127.0.0.1:%1/music/api.php?action=getAlbums").arg(server->port())));
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates({ m_cert.certificate });
    request.setSslConfiguration(config);
    QNetworkReply *reply = nam.get(request);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(WaitMs));
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object().value(QStringLiteral("albums")).toArray().size(), 3);
    reply->deleteLater();

    // And the silent ones are cut off at the handshake deadline, not held for ever.
    for (const auto &socket : idle)
        QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::UnconnectedState, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(server->connectionCount(), 0, WaitMs);
}

void TestServerHttp::slowClientsDoNotShutOthersOut()
{
    CatalogueServer::Limits limits;
    limits.maxConnectionsPerAddress = 32;
    const auto server = startServer(limits);
    QVERIFY(server);

    // 2,000 clients from one address that send a request one byte at a time.
    constexpr int SlowClients = 2000;
    const QHostAddress slowAddress(QStringLiteral("127.0.0.2"));
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    int connected = 0;
    for (int i = 0; i < SlowClients; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        if (!socket->bind(slowAddress, 0))
            QSKIP("cannot bind a client socket to 127.0.0.2");
        connect(socket.get(), &QTcpSocket::connected, this, [&connected] { ++connected; });
        socket->connectToHost(QHostAddress::LocalHost, server->port());
        slow.push_back(std::move(socket));
    }
    QTimer trickle;
    connect(&trickle, &QTimer::timeout, this, [&] {
        for (const auto &socket : slow) {
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->write("G");
        }
    });
    trickle.start(100);
    QTRY_COMPARE_WITH_TIMEOUT(connected, SlowClients, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(server->connectionCount(), limits.maxConnectionsPerAddress, WaitMs);

    // Another client is served at once, over and over.
    QNetworkAccessManager nam;
    for (int i = 0; i < 5; ++i) {
        QNetworkReply *reply = nam.get(QNetworkRequest(
            QUrl(QStringLiteral("http://127.0.0.1:%1/music/api.php?action=getAlbums").arg(server->port()))));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(WaitMs));
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        reply->deleteLater();
    }
    qInfo("slow clients: %d, connections held by the server: %d", SlowClients, server->connectionCount());
    QVERIFY(server->connectionCount() <= limits.maxConnectionsPerAddress + 1);
    trickle.stop();
}

void TestServerHttp::restingConnectionMakesRoom()
{
    CatalogueServer::Limits limits;
    limits.maxConnectionsPerAddress = 2;
    const auto server = startServer(limits);
    QVERIFY(server);
    const QByteArray request = "GET /music/api.php?action=getAlbums HTTP/1.1\r\nHost: x\r\n\r\n";

    // Two connections: one in the middle of a request, and one at rest after its answer (which
    // the server gives only after it has read the other's bytes, sent first).
    QTcpSocket busy;
    busy.connectToHost(QHostAddress::LocalHost, server->port());
    QVERIFY(busy.waitForConnected(WaitMs));
    busy.write("GET /music/api.php?action=getAl");
    QVERIFY(busy.waitForBytesWritten(WaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(server->connectionCount(), 1, WaitMs);
    QTcpSocket resting;
    resting.connectToHost(QHostAddress::LocalHost, server->port());
    QVERIFY(resting.waitForConnected(WaitMs));
    QByteArray restingReceived;
    connect(&resting, &QTcpSocket::readyRead, this, [&] { restingReceived += resting.readAll(); });
    resting.write(request);
    QTRY_COMPARE_WITH_TIMEOUT(splitAnswers(restingReceived).size(), 1, WaitMs);
    QCOMPARE(server->connectionCount(), 2);

    // A third client is served; the resting connection made room, the busy one was left alone.
    const RawExchange third = exchange(server->port(), request, 1);
    QCOMPARE(splitAnswers(third.received).size(), 1);
    QCOMPARE(splitAnswers(third.received).first().status, 200);
    QTRY_COMPARE_WITH_TIMEOUT(resting.state(), QAbstractSocket::UnconnectedState, WaitMs);
    QCOMPARE(busy.state(), QAbstractSocket::ConnectedState);
    QByteArray busyReceived;
    connect(&busy, &QTcpSocket::readyRead, this, [&] { busyReceived += busy.readAll(); });
    busy.write("bums HTTP/1.1\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(splitAnswers(busyReceived).size(), 1, WaitMs);
    QCOMPARE(splitAnswers(busyReceived).first().status, 200);

    // With nobody at rest, a newcomer over the limit is turned away with 503.
    busy.write("GET /music/api.php?action=getAl");
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, server->port());
    QVERIFY(second.waitForConnected(WaitMs));
    second.write("GET /music/api.php?action=getAl");
    QTRY_COMPARE_WITH_TIMEOUT(server->connectionCount(), 2, WaitMs);
    const RawExchange refused = exchange(server->port(), request, 0);
    QVERIFY2(refused.received.startsWith("HTTP/1.1 503"), refused.received.constData());
}

void TestServerHttp::playsWhileTheDatabaseIsLocked()
{
    CatalogueServer::Limits limits;
    limits.playAnswerWaitMs = 200;
    const auto server = startServer(limits);
    QVERIFY(server);
    QList<Song> songs;
    QVERIFY(m_db->songs(0, &songs));
    const int songId = songs.first().id;
    const int before = playCountOf(songId);

    // Another writer (an import's batch) holds the write lock.
    CatalogueDatabase writer;
    QVERIFY(writer.open(m_dir.filePath(QStringLiteral("catalogue.sqlite"))));
    QVERIFY2(writer.beginTransaction(), qPrintable(writer.lastError()));

    QNetworkAccessManager nam;
    const QString base = QStringLiteral("http://127.0.0.1:%1/music/api.php?action=").arg(server->port());
    constexpr int Plays = 4;
    QList<int> statuses;
    for (int i = 0; i < Plays; ++i) {
        QNetworkReply *reply
            = nam.get(QNetworkRequest(QUrl(base + QStringLiteral("incrementPlayCount&id=%1").arg(songId))));
        connect(reply, &QNetworkReply::finished, this, [&statuses, reply] {
            statuses.append(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
            reply->deleteLater();
        });
    }
    // The server keeps answering everything else meanwhile.
    QNetworkReply *albums = nam.get(QNetworkRequest(QUrl(base + QStringLiteral("getAlbums"))));
    QSignalSpy albumsDone(albums, &QNetworkReply::finished);
    QVERIFY(albumsDone.wait(WaitMs));
    QCOMPARE(albums->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    albums->deleteLater();
    // Plays are told they are kept (202), not failed.
    QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), Plays, WaitMs);
    for (const int status : std::as_const(statuses))
        QCOMPARE(status, 202);
    QCOMPARE(server->queuedPlays(), Plays);
    QCOMPARE(playCountOf(songId), before);

    QVERIFY(writer.commit());
    QTRY_COMPARE_WITH_TIMEOUT(server->queuedPlays(), 0, WaitMs);
    qInfo("plays sent while locked: %d, stored: %d", Plays, playCountOf(songId) - before);
    QCOMPARE(playCountOf(songId), before + Plays);

    // Once the lock is gone a play is stored and answered at once again.
    QNetworkReply *reply
        = nam.get(QNetworkRequest(QUrl(base + QStringLiteral("incrementPlayCount&id=%1").arg(songId))));
    QSignalSpy done(reply, &QNetworkReply::finished);
    QVERIFY(done.wait(WaitMs));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object().value(QStringLiteral("play_count")).toInt(),
        before + Plays + 1);
    reply->deleteLater();
}

void TestServerHttp::searchTermIsBounded()
{
    QNetworkAccessManager nam;
    auto search = [&](const QByteArray &term) {
        QNetworkReply *reply = nam.get(QNetworkRequest(
            QUrl(QStringLiteral("http://127.0.0.1:%1/music/api.php?action=search&q=").arg(m_server->port())
                + QString::fromLatin1(term))));
        QSignalSpy done(reply, &QNetworkReply::finished);
        done.wait(WaitMs);
        reply->deleteLater();
        return std::make_pair(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            QJsonDocument::fromJson(reply->readAll()).object());
    };
    const auto [okStatus, okBody] = search(QByteArray(CatalogueServer::MaxSearchTermLength, 'n'));
    QCOMPARE(okStatus, 200);
    QVERIFY(okBody.value(QStringLiteral("results")).isArray());
    // One character more is a client error that says why, not a database failure.
    const auto [status, body] = search(QByteArray(CatalogueServer::MaxSearchTermLength + 1, 'n'));
    QCOMPARE(status, 400);
    QVERIFY2(body.value(QStringLiteral("error")).toString().contains(QStringLiteral("too long")),
        qPrintable(body.value(QStringLiteral("error")).toString()));
    // A term the database itself would choke on fails there with a reason too.
    QList<Song> found;
    QVERIFY(!m_db->search(QString(80 * 1024, QLatin1Char('%')), &found));
    QVERIFY(m_db->lastError().contains(QStringLiteral("longer")));
}

QTEST_MAIN(TestServerHttp)
#include "tst_server_http.moc"
