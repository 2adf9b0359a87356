#include "httpconnection.h"

#include <QFile>
#include <QSslSocket>
#include <QTcpSocket>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace {

constexpr qint64 ChunkBytes = 64 * 1024;
// Keep this much queued in the socket at most, so one slow listener never holds a whole file
// (or a pile of pipelined answers) in memory.
constexpr qint64 SocketHighWater = 256 * 1024;
// What is read from the socket ahead of the parser; the kernel holds the rest back.
constexpr qint64 ReadBufferBytes = 64 * 1024;
// After a refusal the client may still be sending; closing at once would reset the connection
// and could destroy the answer before it is read.
constexpr int LingerMs = 2000;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 202:
        return "Accepted";
    case 206:
        return "Partial Content";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 416:
        return "Range Not Satisfiable";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Status";
    }
}

QByteArray jsonError(const QByteArray &message)
{
    QByteArray escaped;
    for (const char c : message) {
        if (c == '"' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return "{\"success\":false,\"error\":\"" + escaped + "\"}";
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, bool tls, const HttpRequestParser::Limits &limits,
    const Timeouts &timeouts, Handler handler, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_peer(socket->peerAddress())
    , m_handler(std::move(handler))
    , m_parser(limits)
    , m_timeouts(timeouts)
    , m_tls(tls)
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(ReadBufferBytes);
    for (QTimer *timer : { &m_handshakeTimer, &m_headerTimer, &m_idleTimer, &m_stallTimer, &m_lingerTimer })
        timer->setSingleShot(true);
    m_lingerTimer.setInterval(LingerMs);
    connect(&m_lingerTimer, &QTimer::timeout, this, &HttpConnection::abort);
    m_handshakeTimer.setInterval(timeouts.handshakeMs);
    m_headerTimer.setInterval(timeouts.headerMs);
    m_idleTimer.setInterval(timeouts.idleMs);
    m_stallTimer.setInterval(timeouts.sendStallMs);

    connect(&m_handshakeTimer, &QTimer::timeout, this, &HttpConnection::abort);
    connect(&m_headerTimer, &QTimer::timeout, this, [this] {
        if (m_answering)
            return;
        m_current = m_parser.partialRequest();
        refuse(408, "the request did not arrive in time");
    });
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        if (!m_answering)
            closeIdle();
    });
    connect(&m_stallTimer, &QTimer::timeout, this, &HttpConnection::abort);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::processInput);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::onBytesWritten);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        if (!m_closedSignalled) {
            m_closedSignalled = true;
            emit closed(this);
        }
        deleteLater();
    });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        // A reset or a failed handshake: nothing more can be said on this connection.
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            m_socket->abort();
    });

    if (tls) {
        auto *ssl = qobject_cast<QSslSocket *>(socket);
        connect(ssl, &QSslSocket::encrypted, this, [this] {
            m_handshakeTimer.stop();
            startReading();
        });
        m_handshakeTimer.start();
    } else {
        startReading();
    }
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        QMetaObject::invokeMethod(this, &HttpConnection::abort, Qt::QueuedConnection);
}

HttpConnection::~HttpConnection()
{
    if (!m_closedSignalled) {
        m_closedSignalled = true;
        emit closed(this);
    }
}

void HttpConnection::startReading()
{
    m_ready = true;
    m_idleTimer.start();
    processInput();
}

void HttpConnection::abort()
{
    m_closing = true;
    m_socket->abort();
    // An aborted socket that was never connected emits no "disconnected".
    if (!m_closedSignalled) {
        m_closedSignalled = true;
        emit closed(this);
    }
    deleteLater();
}

bool HttpConnection::isIdle() const
{
    return m_ready && !m_answering && !m_closing && m_buffer.isEmpty() && m_socket->bytesAvailable() == 0
        && m_parser.state() == HttpRequestParser::State::Idle;
}

void HttpConnection::closeIdle()
{
    m_idleTimer.stop();
    m_closing = true;
    m_socket->disconnectFromHost();
}

void HttpConnection::processInput()
{
    if (m_lingerTimer.isActive()) {
        m_socket->readAll();
        return;
    }
    if (!m_ready || m_answering || m_closing)
        return;
    for (;;) {
        if (m_socket->bytesAvailable() > 0)
            m_buffer += m_socket->read(ReadBufferBytes);
        const HttpRequestParser::State state = m_parser.parse(&m_buffer);
        switch (state) {
        case HttpRequestParser::State::Idle:
            if (!m_idleTimer.isActive())
                m_idleTimer.start();
            if (m_socket->bytesAvailable() > 0)
                continue;
            return;
        case HttpRequestParser::State::RequestLine:
        case HttpRequestParser::State::Headers:
        case HttpRequestParser::State::Body:
            m_idleTimer.stop();
            if (!m_headerTimer.isActive())
                m_headerTimer.start();
            if (m_socket->bytesAvailable() > 0)
                continue;
            return;
        case HttpRequestParser::State::Failed:
            m_current = m_parser.partialRequest();
            refuse(m_parser.errorStatus(), m_parser.errorMessage());
            return;
        case HttpRequestParser::State::Complete:
            break;
        }
        m_idleTimer.stop();
        m_headerTimer.stop();
        m_current = m_parser.takeRequest();
        m_answering = true;
        m_written = false;
        m_closeAfter = !m_current.keepAlive();
        m_inHandler = true;
        m_handler(this, m_current);
        m_inHandler = false;
        if (m_answering || m_closing)
            return; // answered later, or still draining into the socket
    }
}

void HttpConnection::refuse(int status, const QByteArray &message)
{
    m_idleTimer.stop();
    m_headerTimer.stop();
    m_answering = true;
    m_written = false;
    // After a broken request the stream cannot be trusted to hold a next one.
    m_closeAfter = true;
    m_linger = true;
    m_buffer.clear();
    respond(status, { { "Content-Type", "application/json" }, { "Cache-Control", "no-store" } }, jsonError(message),
        message);
}

void HttpConnection::writeHead(int status, const Headers &headers)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    head += "Server: velora-catalogue\r\n";
    for (const auto &header : headers)
        head += header.first + ": " + header.second + "\r\n";
    if (m_closeAfter)
        head += "Connection: close\r\n";
    head += "\r\n";
    m_socket->write(head);
}

void HttpConnection::logRefusal(int status, const QByteArray &note) const
{
    // Refused and broken requests are worth a line; "not found" and range misses are routine.
    if (status < 400 || status == 404 || status == 416)
        return;
    qWarning().noquote() << QStringLiteral("%1 %2 \"%3\": %4")
                                .arg(status)
                                .arg(m_peer.toString(),
                                    QString::fromLatin1(
                                        m_current.method.isEmpty() ? QByteArray("-") : m_current.requestLine()),
                                    QString::fromUtf8(note));
}

void HttpConnection::respond(int status, const Headers &headers, const QByteArray &body, const QByteArray &logNote)
{
    if (!m_answering || m_written || m_closing)
        return;
    m_written = true;
    logRefusal(status, logNote);
    Headers all = headers;
    bool hasLength = false;
    for (const auto &header : headers)
        hasLength = hasLength || header.first.compare("Content-Length", Qt::CaseInsensitive) == 0;
    if (!hasLength)
        all.append({ "Content-Length", QByteArray::number(body.size()) });
    writeHead(status, all);
    if (m_current.method != "HEAD")
        m_socket->write(body);
    m_stallTimer.start();
    checkAnswerDone();
}

void HttpConnection::respondFile(int status, const Headers &headers, std::unique_ptr<QFile> file, qint64 length)
{
    if (!m_answering || m_written || m_closing)
        return;
    m_written = true;
    writeHead(status, headers);
    m_stallTimer.start();
    if (m_current.method != "HEAD" && length > 0) {
        m_file = std::move(file);
        m_fileRemaining = length;
        pumpFile();
        return;
    }
    checkAnswerDone();
}

void HttpConnection::pumpFile()
{
    while (m_fileRemaining > 0 && m_socket->bytesToWrite() < SocketHighWater) {
        const QByteArray chunk = m_file->read(qMin(ChunkBytes, m_fileRemaining));
        if (chunk.isEmpty()) {
            // The file shrank under us: the promised length cannot be kept, so end the
            // connection rather than leave the listener waiting for bytes that never come.
            abort();
            return;
        }
        m_socket->write(chunk);
        m_fileRemaining -= chunk.size();
    }
    if (m_fileRemaining == 0) {
        m_file.reset();
        checkAnswerDone();
    }
}

void HttpConnection::onBytesWritten()
{
    if (m_socket->bytesToWrite() > 0)
        m_stallTimer.start();
    else
        m_stallTimer.stop();
    if (m_file)
        pumpFile();
    else if (m_answering && m_written)
        checkAnswerDone();
    else if (m_closing && m_linger && !m_lingerTimer.isActive() && m_socket->bytesToWrite() == 0)
        closeConnection();
}

void HttpConnection::closeConnection()
{
    m_closing = true;
#ifdef Q_OS_UNIX
    if (m_linger && !m_tls) {
        // Wait until the answer is with the kernel, end our side, and drop whatever still comes
        // until the client closes too (or the linger time is up).
        if (m_socket->bytesToWrite() > 0)
            return; // again from onBytesWritten
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
        m_lingerTimer.start();
        m_socket->readAll();
        return;
    }
#endif
    m_socket->disconnectFromHost();
}

void HttpConnection::checkAnswerDone()
{
    if (m_file || m_socket->bytesToWrite() >= SocketHighWater)
        return; // the rest goes out as the client reads
    finishAnswer();
}

void HttpConnection::finishAnswer()
{
    m_answering = false;
    m_written = false;
    if (m_closeAfter) {
        closeConnection();
        return;
    }
    if (!m_inHandler)
        QMetaObject::invokeMethod(this, &HttpConnection::processInput, Qt::QueuedConnection);
}
