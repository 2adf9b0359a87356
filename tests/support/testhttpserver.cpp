#include "testhttpserver.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

TestHttpServer::TestHttpServer(QObject *parent)
    : QObject(parent)
{
}

TestHttpServer::~TestHttpServer() = default;

bool TestHttpServer::start()
{
    return start(QSslCertificate(), QSslKey());
}

bool TestHttpServer::start(const QSslCertificate &cert, const QSslKey &key)
{
    if (!cert.isNull()) {
        auto *ssl = new QSslServer(this);
        QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
        conf.setLocalCertificate(cert);
        conf.setPrivateKey(key);
        conf.setPeerVerifyMode(QSslSocket::VerifyNone);
        ssl->setSslConfiguration(conf);
        m_server = ssl;
        m_tls = true;
    } else {
        m_server = new QTcpServer(this);
    }
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &TestHttpServer::onNewConnection);
    return m_server->listen(QHostAddress::LocalHost, 0);
}

void TestHttpServer::setRoute(const QString &path, const Response &response)
{
    m_routes.insert(path, response);
}

quint16 TestHttpServer::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

QUrl TestHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2").arg(m_tls ? QStringLiteral("https") : QStringLiteral("http")).arg(port()));
}

TestHttpServer::Response TestHttpServer::json(const QByteArray &body, int status)
{
    Response r;
    r.status = status;
    r.body = body;
    return r;
}

TestHttpServer::Response TestHttpServer::file(const QString &path, const QByteArray &contentType)
{
    Response r;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        r.status = 404;
        r.body = "not found";
        r.contentType = "text/plain";
        return r;
    }
    r.body = f.readAll();
    r.contentType = contentType;
    return r;
}

void TestHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void TestHttpServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buf = m_buffers[socket];
    buf += socket->readAll();
    const int end = buf.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> lines = buf.left(end).split('\n');
    buf.clear();
    Request req;
    req.requestLine = lines.value(0).trimmed();
    const QList<QByteArray> parts = req.requestLine.split(' ');
    req.method = parts.value(0);
    req.target = parts.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon > 0)
            req.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    req.url = baseUrl().resolved(QUrl::fromEncoded(req.target));
    m_requests.append(req);
    emit requestReceived(req);
    answer(socket, req);
}

void TestHttpServer::answer(QTcpSocket *socket, const Request &request)
{
    Response r;
    if (m_handler) {
        r = m_handler(request);
    } else if (m_routes.contains(request.url.path(QUrl::FullyDecoded))) {
        r = m_routes.value(request.url.path(QUrl::FullyDecoded));
    } else {
        r.status = 404;
        r.contentType = "text/plain";
        r.body = "not found";
    }
    if (r.noAnswer)
        return;

    QByteArray body = r.body;
    int status = r.status;
    QByteArray extra;
    const QByteArray range = request.headers.value("range");
    static const QRegularExpression rangeRe(QStringLiteral("^bytes=(\\d+)-(\\d*)$"));
    const auto m = rangeRe.match(QString::fromLatin1(range));
    if (r.honourRange && status == 200 && m.hasMatch()) {
        const qint64 total = body.size();
        const qint64 from = m.captured(1).toLongLong();
        const qint64 to = m.captured(2).isEmpty() ? total - 1 : qMin(total - 1, m.captured(2).toLongLong());
        if (from < total) {
            body = r.body.mid(from, to - from + 1);
            status = 206;
            extra += "Content-Range: bytes " + QByteArray::number(from) + '-' + QByteArray::number(to) + '/'
                     + QByteArray::number(total) + "\r\n";
        }
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " X\r\n";
    head += "Content-Type: " + r.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "Accept-Ranges: bytes\r\n";
    head += extra;
    for (const auto &h : r.headers)
        head += h.first + ": " + h.second + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (r.closeEarly) {
        socket->write(head + body.left(body.size() / 2));
        socket->flush();
        socket->disconnectFromHost();
        return;
    }
    if (r.trickleMs > 0) {
        socket->write(head);
        auto *timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        connect(timer, &QTimer::timeout, socket, [socket, timer, body, sent] {
            if (*sent >= body.size()) {
                timer->stop();
                socket->disconnectFromHost();
                return;
            }
            socket->write(body.mid((*sent)++, 1));
        });
        timer->start(r.trickleMs);
        return;
    }
    socket->write(head + body);
    socket->disconnectFromHost();
}

TestCertificate TestCertificate::make(const QString &dir, const QString &commonName)
{
    TestCertificate tc;
    const QString certPath = dir + QStringLiteral("/cert.pem");
    const QString keyPath = dir + QStringLiteral("/key.pem");
    QProcess p;
    p.start(QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
             QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("3650"), QStringLiteral("-subj"),
             QStringLiteral("/CN=") + commonName, QStringLiteral("-addext"),
             QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost"), QStringLiteral("-keyout"), keyPath,
             QStringLiteral("-out"), certPath});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return tc;
    QFile c(certPath);
    QFile k(keyPath);
    if (!c.open(QIODevice::ReadOnly) || !k.open(QIODevice::ReadOnly))
        return tc;
    tc.certificate = QSslCertificate(c.readAll(), QSsl::Pem);
    tc.key = QSslKey(k.readAll(), QSsl::Rsa, QSsl::Pem);
    tc.certificatePath = certPath;
    return tc;
}
