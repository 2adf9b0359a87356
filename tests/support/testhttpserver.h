#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QUrl>

#include <functional>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests: records every request and answers through a
// handler. With a certificate and key it speaks TLS (QSslServer). One request per connection.
class TestHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray target;      // the raw request target, e.g. "/music/api.php?action=getAlbums"
        QUrl url;               // target resolved against the server's base URL
        QByteArray requestLine; // "GET /x HTTP/1.1"
        QHash<QByteArray, QByteArray> headers; // names in lower case
    };

    struct Response
    {
        int status = 200;
        QByteArray contentType = "application/json";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        bool noAnswer = false; // accept the request, never answer (for timeout tests)
        bool closeEarly = false; // send headers and half the body, then drop the connection
        bool honourRange = true; // answer "Range: bytes=a-b" with 206
        int trickleMs = 0; // > 0: send the body one byte every trickleMs (a server that never times out)
    };

    using Handler = std::function<Response(const Request &)>;

    explicit TestHttpServer(QObject *parent = nullptr);
    ~TestHttpServer() override;

    // Listens on 127.0.0.1 on a free port. With a certificate, speaks HTTPS.
    bool start();
    bool start(const QSslCertificate &cert, const QSslKey &key);
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Convenience: serve fixed responses by path (without query); unknown paths give 404.
    void setRoute(const QString &path, const Response &response);

    quint16 port() const;
    QUrl baseUrl() const; // "http://127.0.0.1:PORT" (https for TLS)
    QList<Request> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

    static Response json(const QByteArray &body, int status = 200);
    static Response file(const QString &path, const QByteArray &contentType);

signals:
    void requestReceived(const TestHttpServer::Request &request);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Request &request);

    QTcpServer *m_server = nullptr;
    bool m_tls = false;
    Handler m_handler;
    QHash<QString, Response> m_routes;
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

// A self-signed certificate and key for 127.0.0.1 made with openssl at run time.
struct TestCertificate
{
    QSslCertificate certificate;
    QSslKey key;
    QString certificatePath; // PEM on disk, for trust-file settings
    bool isValid() const { return !certificate.isNull() && !key.isNull(); }
    static TestCertificate make(const QString &dir, const QString &commonName = QStringLiteral("127.0.0.1"));
};
