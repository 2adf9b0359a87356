#include "apiclient.h"
#include "apiclientlogcapture.h"
#include "catalogueconfig.h"
#include "testhttpserver.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const char *const EnvNames[]
    = { "VELORA_SERVER_URL", "VELORA_SERVER_CA_FILE", "VELORA_SERVER_INSECURE", "VELORA_SERVER_TIMEOUT_MS" };

QSettings appSettings()
{
    return QSettings(QStringLiteral("Velora"), QStringLiteral("VeloraPlayer"));
}

// Sets an environment variable, or removes it for a null value.
void setEnv(const char *name, const QString &value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value.toUtf8());
}

// A TCP server that accepts and then answers each request with fixed raw bytes, or not at all.
// Unlike TestHttpServer it can leave out Content-Length, lie about it, or never speak TLS.
class RawServer : public QObject
{
public:
    explicit RawServer(QByteArray answer, bool close)
        : m_answer(std::move(answer))
        , m_close(close)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    m_received += socket->readAll();
                    if (m_answer.isEmpty() || !m_received.contains("\r\n\r\n"))
                        return;
                    socket->write(m_answer);
                    if (m_close)
                        socket->disconnectFromHost();
                });
            }
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QUrl url(const char *scheme) const
    {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(m_server.serverPort()));
    }
    QByteArray received() const { return m_received; }

private:
    QTcpServer m_server;
    QByteArray m_answer;
    bool m_close;
    QByteArray m_received;
};

} // namespace

class TestApiClientTrust : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void baseAddress_data();
    void baseAddress();
    void timeoutSetting_data();
    void timeoutSetting();
    void skipCheckSetting_data();
    void skipCheckSetting();

    void serverCertificateIsVerified_data();
    void serverCertificateIsVerified();
    void processDefaultStaysUntouched();
    void coverRequestsShareTheTrustSettings_data();
    void coverRequestsShareTheTrustSettings();

    void silentServerEndsAsEmptyResult_data();
    void silentServerEndsAsEmptyResult();
    void oversizedReplyFails();
    void replySizeLimit_data();
    void replySizeLimit();

private:
    QTemporaryDir m_dir;
    TestCertificate m_serverCert;
    TestCertificate m_otherCert;
    QString m_garbagePem;
    TestHttpServer m_https;
};

void TestApiClientTrust::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("server")));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("other")));
    m_serverCert = TestCertificate::make(m_dir.filePath(QStringLiteral("server")));
    m_otherCert = TestCertificate::make(m_dir.filePath(QStringLiteral("other")));
    QVERIFY(m_serverCert.isValid());
    QVERIFY(m_otherCert.isValid());
    m_garbagePem = m_dir.filePath(QStringLiteral("garbage.pem"));
    QFile garbage(m_garbagePem);
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("-----BEGIN CERTIFICATE-----\nnot base64 at all\n-----END CERTIFICATE-----\n");
    garbage.close();

    QVERIFY(m_https.start(m_serverCert.certificate, m_serverCert.key));
    m_https.setHandler([](const TestHttpServer::Request &) { return TestHttpServer::json(R"([{"id": 7}])"); });
}

void TestApiClientTrust::init()
{
    for (const char *name : EnvNames)
        qunsetenv(name);
    QSettings settings = appSettings();
    settings.clear();
    settings.sync();
}

void TestApiClientTrust::baseAddress_data()
{
    QTest::addColumn<QString>("env");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("base");

    QTest::newRow("nothing configured") << QString() << QString() << "http://127.0.0.1:8765";
    QTest::newRow("setting") << QString() << "https://music.example.org/"
                             << "https://music.example.org";
    QTest::newRow("environment wins") << "http://10.0.0.2:81"
                                      << "https://music.example.org"
                                      << "http://10.0.0.2:81";
    QTest::newRow("blank environment") << "  "
                                       << "https://music.example.org"
                                       << "https://music.example.org";
    QTest::newRow("sub-folder") << "https://h.example/sub//" << QString() << "https://h.example/sub";
    QTest::newRow("other scheme") << "ftp://h.example" << QString() << "http://127.0.0.1:8765";
    QTest::newRow("no host") << QString() << "https://"
                             << "http://127.0.0.1:8765";
    QTest::newRow("not an address") << QString() << "music server"
                                    << "http://127.0.0.1:8765";
}

void TestApiClientTrust::baseAddress()
{
    QFETCH(QString, env);
    QFETCH(QString, setting);
    QFETCH(QString, base);

    setEnv("VELORA_SERVER_URL", env);
    if (!setting.isNull()) {
        QSettings settings = appSettings();
        settings.setValue(QStringLiteral("server/baseUrl"), setting);
    }
    QCOMPARE(CatalogueConfig::baseUrl().toString(), base);
    QCOMPARE(CatalogueConfig::apiUrl().toString(), base + QStringLiteral("/music/api.php"));
    QCOMPARE(CatalogueConfig::mediaBaseUrl().toString(), base + QStringLiteral("/music/"));
}

void TestApiClientTrust::timeoutSetting_data()
{
    QTest::addColumn<bool>("viaSettings");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");

    for (bool viaSettings : { false, true }) {
        const char *source = viaSettings ? "settings" : "env";
        QTest::addRow("%s: unset", source) << viaSettings << QString() << 30000;
        QTest::addRow("%s: 1500", source) << viaSettings << "1500" << 1500;
        QTest::addRow("%s: zero would wait forever", source) << viaSettings << "0" << 30000;
        QTest::addRow("%s: negative", source) << viaSettings << "-5" << 30000;
        QTest::addRow("%s: text", source) << viaSettings << "soon" << 30000;
        QTest::addRow("%s: overflow", source) << viaSettings << "99999999999" << 30000;
    }
}

void TestApiClientTrust::timeoutSetting()
{
    QFETCH(bool, viaSettings);
    QFETCH(QString, value);
    QFETCH(int, expected);

    if (viaSettings) {
        QSettings settings = appSettings();
        if (!value.isNull())
            settings.setValue(QStringLiteral("server/transferTimeoutMs"), value);
    } else {
        setEnv("VELORA_SERVER_TIMEOUT_MS", value);
    }
    ApiClientLogCapture log;
    QCOMPARE(CatalogueConfig::transferTimeoutMs(), expected);
    // A value that was given but not used is reported.
    const bool rejected = !value.isNull() && expected != value.toInt();
    QCOMPARE(log.startingWith(QStringLiteral("无效的设置值，使用默认值:")).size(), rejected ? 1 : 0);
}

void TestApiClientTrust::skipCheckSetting_data()
{
    QTest::addColumn<bool>("viaSettings");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("expected");

    for (bool viaSettings : { false, true }) {
        const char *source = viaSettings ? "settings" : "env";
        QTest::addRow("%s: unset", source) << viaSettings << QVariant() << false;
        QTest::addRow("%s: true", source) << viaSettings << QVariant(QStringLiteral("true")) << true;
        QTest::addRow("%s: 1", source) << viaSettings << QVariant(QStringLiteral("1")) << true;
        QTest::addRow("%s: Yes", source) << viaSettings << QVariant(QStringLiteral("Yes")) << true;
        QTest::addRow("%s: false", source) << viaSettings << QVariant(QStringLiteral("false")) << false;
        QTest::addRow("%s: no", source) << viaSettings << QVariant(QStringLiteral("no")) << false;
        // Unclear values keep verification on.
        QTest::addRow("%s: typo", source) << viaSettings << QVariant(QStringLiteral("ture")) << false;
    }
    QTest::newRow("settings: stored bool") << true << QVariant(true) << true;
}

void TestApiClientTrust::skipCheckSetting()
{
    QFETCH(bool, viaSettings);
    QFETCH(QVariant, value);
    QFETCH(bool, expected);

    if (viaSettings) {
        QSettings settings = appSettings();
        if (value.isValid())
            settings.setValue(QStringLiteral("server/skipCertificateCheck"), value);
    } else {
        setEnv("VELORA_SERVER_INSECURE", value.isValid() ? value.toString() : QString());
    }
    QCOMPARE(CatalogueConfig::skipCertificateCheck(), expected);
    QCOMPARE(CatalogueConfig::sslConfiguration().peerVerifyMode(),
        expected ? QSslSocket::VerifyNone : QSslSocket::VerifyPeer);
}

void TestApiClientTrust::serverCertificateIsVerified_data()
{
    QTest::addColumn<QString>("caFile"); // "server", "other", "missing", "garbage" or empty
    QTest::addColumn<bool>("insecure");
    QTest::addColumn<bool>("viaSettings");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("warning");

    QTest::newRow("untrusted") << QString() << false << false << false << QString();
    QTest::newRow("trusted file") << "server" << false << false << true << QString();
    QTest::newRow("trusted file from settings") << "server" << false << true << true << QString();
    QTest::newRow("file of another certificate") << "other" << false << false << false << QString();
    QTest::newRow("missing file") << "missing" << false << false << false << "无法读取受信任证书文件:";
    QTest::newRow("file without certificates") << "garbage" << false << false << false << "受信任证书文件中没有证书:";
    QTest::newRow("opt-out") << QString() << true << false << true << "已关闭证书验证";
    QTest::newRow("opt-out from settings") << QString() << true << true << true << "已关闭证书验证";
}

void TestApiClientTrust::serverCertificateIsVerified()
{
    QFETCH(QString, caFile);
    QFETCH(bool, insecure);
    QFETCH(bool, viaSettings);
    QFETCH(bool, loads);
    QFETCH(QString, warning);

    QString path;
    if (caFile == QLatin1String("server"))
        path = m_serverCert.certificatePath;
    else if (caFile == QLatin1String("other"))
        path = m_otherCert.certificatePath;
    else if (caFile == QLatin1String("missing"))
        path = m_dir.filePath(QStringLiteral("nowhere.pem"));
    else if (caFile == QLatin1String("garbage"))
        path = m_garbagePem;

    qputenv("VELORA_SERVER_URL", m_https.baseUrl().toString().toUtf8());
    if (viaSettings) {
        QSettings settings = appSettings();
        if (!path.isEmpty())
            settings.setValue(QStringLiteral("server/trustedCertificates"), path);
        if (insecure)
            settings.setValue(QStringLiteral("server/skipCertificateCheck"), true);
    } else {
        if (!path.isEmpty())
            qputenv("VELORA_SERVER_CA_FILE", path.toUtf8());
        if (insecure)
            qputenv("VELORA_SERVER_INSECURE", "1");
    }

    ApiClientLogCapture log;
    ApiClient client;
    m_https.clearRequests();
    QList<int> ids;
    int calls = 0;
    client.getAlbums([&](QList<Album> albums) {
        ++calls;
        for (const Album &a : albums)
            ids << a.id;
    });
    QTRY_COMPARE(calls, 1);
    QCOMPARE(ids, loads ? QList<int> { 7 } : QList<int>());
    // A rejected certificate stops the request before anything is sent.
    QCOMPARE(m_https.requests().size(), loads ? 1 : 0);
    if (!loads)
        QCOMPARE(log.startingWith(QStringLiteral("获取专辑失败: ")).size(), 1);
    if (!warning.isEmpty())
        QVERIFY2(!log.startingWith(warning).isEmpty(), qPrintable(log.messages().join('|')));
}

void TestApiClientTrust::processDefaultStaysUntouched()
{
    const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
    qputenv("VELORA_SERVER_URL", m_https.baseUrl().toString().toUtf8());
    qputenv("VELORA_SERVER_INSECURE", "1");
    qputenv("VELORA_SERVER_CA_FILE", m_serverCert.certificatePath.toUtf8());
    {
        ApiClient client;
        bool done = false;
        client.getSongs(1, [&done](QList<Song>) { done = true; });
        QTRY_VERIFY(done);
    }
    const QSslConfiguration after = QSslConfiguration::defaultConfiguration();
    QCOMPARE(after.peerVerifyMode(), before.peerVerifyMode());
    QCOMPARE(after.caCertificates().size(), before.caCertificates().size());
    QVERIFY(!after.caCertificates().contains(m_serverCert.certificate));

    // Another TLS connection of the process still rejects the certificate.
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(m_https.baseUrl()));
    QTRY_VERIFY(reply->isFinished());
    QCOMPARE(reply->error(), QNetworkReply::SslHandshakeFailedError);
    delete reply;
}

void TestApiClientTrust::coverRequestsShareTheTrustSettings_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::newRow("trusted") << true;
    QTest::newRow("untrusted") << false;
}

void TestApiClientTrust::coverRequestsShareTheTrustSettings()
{
    QFETCH(bool, trusted);
    if (trusted)
        qputenv("VELORA_SERVER_CA_FILE", m_serverCert.certificatePath.toUtf8());
    m_https.clearRequests();

    QNetworkAccessManager manager;
    QNetworkRequest request(m_https.baseUrl().resolved(QUrl(QStringLiteral("/music/covers/1.jpg"))));
    CatalogueConfig::prepareRequest(request);
    QCOMPARE(request.transferTimeout(), CatalogueConfig::DefaultTransferTimeoutMs);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QTRY_VERIFY(reply->isFinished());
    QCOMPARE(reply->error(), trusted ? QNetworkReply::NoError : QNetworkReply::SslHandshakeFailedError);
    if (trusted) {
        const TestHttpServer::Request sent = m_https.requests().value(0);
        QCOMPARE(sent.headers.value("user-agent"), QByteArray("Velora/1.0"));
        QVERIFY(!sent.headers.contains("content-type"));
    }
}

void TestApiClientTrust::silentServerEndsAsEmptyResult_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("HTTP, request never answered") << "http";
    QTest::newRow("HTTPS, request never answered") << "https";
    QTest::newRow("HTTPS, handshake never answered") << "handshake";
}

void TestApiClientTrust::silentServerEndsAsEmptyResult()
{
    QFETCH(QString, kind);

    TestHttpServer silent;
    RawServer mute(QByteArray(), false);
    if (kind == QLatin1String("http")) {
        QVERIFY(silent.start());
    } else if (kind == QLatin1String("https")) {
        QVERIFY(silent.start(m_serverCert.certificate, m_serverCert.key));
        qputenv("VELORA_SERVER_CA_FILE", m_serverCert.certificatePath.toUtf8());
    } else {
        QVERIFY(mute.listen());
    }
    TestHttpServer::Response never;
    never.noAnswer = true;
    silent.setHandler([never](const TestHttpServer::Request &) { return never; });
    const QUrl base = kind == QLatin1String("handshake") ? mute.url("https") : silent.baseUrl();
    qputenv("VELORA_SERVER_URL", base.toString().toUtf8());
    qputenv("VELORA_SERVER_TIMEOUT_MS", "300");

    ApiClientLogCapture log;
    ApiClient client;
    int albumCalls = 0;
    int songCalls = 0;
    Song song;
    song.id = -99;
    client.getAlbums([&albumCalls](QList<Album> albums) {
        ++albumCalls;
        QVERIFY(albums.isEmpty());
    });
    client.getSong(4, [&songCalls, &song](Song s) {
        ++songCalls;
        song = s;
    });
    client.incrementPlayCount(4);
    // Generous bound for a loaded machine, yet well below the 30 s default the setting replaces.
    QTRY_VERIFY_WITH_TIMEOUT(albumCalls == 1 && songCalls == 1, 15000);
    QCOMPARE(song.id, 0);
    QTRY_VERIFY_WITH_TIMEOUT(client.findChildren<QNetworkReply *>().isEmpty(), 15000);
    QCOMPARE(log.startingWith(QStringLiteral("获取专辑失败: 请求超时")).size(), 1);
    QCOMPARE(log.startingWith(QStringLiteral("获取歌曲失败: 请求超时")).size(), 1);
    QCOMPARE(log.startingWith(QStringLiteral("增加播放次数失败: 请求超时")).size(), 1);
    QCOMPARE(log.startingWith(QStringLiteral("已加载 0 个专辑")).size(), 1);
    if (kind != QLatin1String("handshake"))
        QCOMPARE(silent.requests().size(), 3);
}

void TestApiClientTrust::oversizedReplyFails()
{
    // Announces one byte over the limit, sends a little and then keeps the connection open.
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
        + QByteArray::number(CatalogueConfig::MaxReplyBytes + 1) + "\r\n\r\n[{\"id\": 1}";
    RawServer server(head, false);
    QVERIFY(server.listen());
    qputenv("VELORA_SERVER_URL", server.url("http").toString().toUtf8());

    ApiClientLogCapture log;
    ApiClient client;
    int calls = 0;
    QList<Song> result { Song() };
    client.getAllSongs([&calls, &result](QList<Song> songs) {
        ++calls;
        result = songs;
    });
    QTRY_COMPARE(calls, 1);
    QVERIFY(result.isEmpty());
    QCOMPARE(log.startingWith(QStringLiteral("获取歌曲失败: 回复超过大小上限，已中止")).size(), 1);
}

void TestApiClientTrust::replySizeLimit_data()
{
    QTest::addColumn<bool>("announced"); // Content-Length given or body ended by closing
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("tooLarge");

    QTest::newRow("announced, over") << true << qint64(4096) << true;
    QTest::newRow("announced, at the limit") << true << qint64(10000) << false;
    QTest::newRow("unannounced, over") << false << qint64(4096) << true;
    QTest::newRow("unannounced, at the limit") << false << qint64(10000) << false;
}

void TestApiClientTrust::replySizeLimit()
{
    QFETCH(bool, announced);
    QFETCH(qint64, limit);
    QFETCH(bool, tooLarge);

    const QByteArray body(10000, 'x');
    QByteArray answer = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
    if (announced)
        answer += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    answer += "\r\n" + body;
    RawServer server(answer, true);
    QVERIFY(server.listen());

    QNetworkAccessManager manager;
    QNetworkRequest request(server.url("http"));
    CatalogueConfig::prepareRequest(request);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    CatalogueConfig::limitReplySize(reply.get(), limit);
    QTRY_VERIFY(reply->isFinished());
    QCOMPARE(CatalogueConfig::replyTooLarge(reply.get()), tooLarge);
    QCOMPARE(reply->error(), tooLarge ? QNetworkReply::OperationCanceledError : QNetworkReply::NoError);
    if (!tooLarge)
        QCOMPARE(reply->readAll(), body);
}

QTEST_GUILESS_MAIN(TestApiClientTrust)
#include "tst_apiclient_trust.moc"
