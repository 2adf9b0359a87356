#pragma once

#include "httprequestparser.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTimer>

#include <functional>
#include <memory>

class QFile;
class QTcpSocket;

// One client connection of the catalogue server: reads requests with a bounded parser and
// answers them strictly one at a time, in order, so pipelined requests never mix their
// answers. It owns the socket and deletes itself when the socket closes.
//
// Timers keep a connection from holding its place for free: a TLS handshake must finish within
// handshakeMs, a started request must be read whole within headerMs (else 408), a connection
// waiting for its next request closes after idleMs, and an answer the client stops reading is
// dropped after sendStallMs without progress.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    using Handler = std::function<void(HttpConnection *connection, const HttpRequest &request)>;

    struct Timeouts
    {
        int handshakeMs = 10000;
        int headerMs = 10000;
        int idleMs = 15000;
        // Long: a paused player stops reading its song and goes on minutes later.
        int sendStallMs = 300000;
    };

    // socket: connected, and for TLS already told to start the server handshake (tls = true).
    // The handler is called for every complete request and must answer it exactly once, now
    // or later, with respond() or respondFile().
    HttpConnection(QTcpSocket *socket, bool tls, const HttpRequestParser::Limits &limits, const Timeouts &timeouts,
        Handler handler, QObject *parent = nullptr);
    ~HttpConnection() override;

    QHostAddress peerAddress() const { return m_peer; }

    // Answers the current request. Adds the status line, "Server" and, when the connection ends
    // after this answer, "Connection: close". logNote: the reason logged with a refused request.
    void respond(int status, const Headers &headers, const QByteArray &body, const QByteArray &logNote = {});
    // Answers with length bytes of an open file from its current position, streamed as the
    // client reads them.
    void respondFile(int status, const Headers &headers, std::unique_ptr<QFile> file, qint64 length);

    // Closes at once, without an answer.
    void abort();

    // Between requests with nothing of a next one read yet (a keep-alive connection at rest).
    bool isIdle() const;
    // Ends an idle connection the way its idle timeout would.
    void closeIdle();

signals:
    // The socket is gone; the connection deletes itself right after.
    void closed(HttpConnection *connection);

private:
    void startReading();
    void processInput();
    void writeHead(int status, const Headers &headers);
    void refuse(int status, const QByteArray &message);
    void pumpFile();
    void onBytesWritten();
    void checkAnswerDone();
    void finishAnswer();
    void logRefusal(int status, const QByteArray &note) const;
    void closeConnection();

    QTcpSocket *m_socket;
    QHostAddress m_peer;
    Handler m_handler;
    HttpRequestParser m_parser;
    Timeouts m_timeouts;
    QByteArray m_buffer;
    HttpRequest m_current;
    QTimer m_handshakeTimer;
    QTimer m_headerTimer;
    QTimer m_idleTimer;
    QTimer m_stallTimer;
    QTimer m_lingerTimer;
    std::unique_ptr<QFile> m_file;
    qint64 m_fileRemaining = 0;
    bool m_ready = false; // plain TCP, or the TLS handshake is done
    bool m_answering = false; // a request is being answered
    bool m_written = false; // its answer is (partly) written
    bool m_inHandler = false;
    bool m_closeAfter = false;
    bool m_closing = false;
    bool m_tls = false;
    bool m_linger = false; // refused: read and drop what the client still sends, so it sees the answer
    bool m_closedSignalled = false;
};
