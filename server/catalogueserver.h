#pragma once

#include "httpconnection.h"
#include "httprequestparser.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QString>
#include <QTimer>

class CatalogueDatabase;
class QTcpServer;

// The catalogue over HTTP(S): GET "/music/api.php?action=..." answers with JSON from the
// database; GET "/music/<path>" serves files of the imported media folder (and covers taken
// from tags) with byte ranges. Bad requests get a JSON error object with a 4xx status; no path
// ever leads out of the media folder. Single-threaded: it runs on the event loop it lives in,
// and never waits on the database for more than a moment there: a play that finds the
// database locked (an import is writing) is queued and stored as soon as the lock is gone.
//
// It owns its HTTP/1.1 connections (see HttpConnection): bounded requests, timeouts, one
// answer at a time per connection, and at most maxConnections connections in all and
// maxConnectionsPerAddress from one client address. Over a limit, a keep-alive connection at
// rest (of that address, or of any for the total) makes room; with none, the newcomer is
// turned away at once.
class CatalogueServer : public QObject
{
    Q_OBJECT

public:
    using Headers = HttpConnection::Headers;

    // A "Range" header's outcome for a body of a given size.
    enum class RangeKind { Whole, Partial, Unsatisfiable };
    struct ByteRange
    {
        RangeKind kind = RangeKind::Whole;
        qint64 start = 0;
        qint64 length = 0;
    };
    // One range "bytes=a-b", "bytes=a-" or "bytes=-n". Malformed or multi-range headers are
    // ignored (the whole body is sent), as HTTP allows.
    static ByteRange parseRange(const QByteArray &header, qint64 size);

    struct Limits
    {
        HttpRequestParser::Limits request;
        HttpConnection::Timeouts timeouts;
        int maxConnections = 1000;
        int maxConnectionsPerAddress = 64;
        // How long a play waits for a locked database before it is answered as queued (202).
        int playAnswerWaitMs = 2000;
        int playRetryMs = 50;
        int maxQueuedPlays = 100000;
    };

    static constexpr int SongRankingLimit = 50;
    // Longer search terms are refused: nobody types them, and the database's pattern matcher
    // gives up on very long ones.
    static constexpr int MaxSearchTermLength = 200;
    // How long one database call may wait for a lock inside the event loop.
    static constexpr int DatabaseBusyTimeoutMs = 20;

    explicit CatalogueServer(CatalogueDatabase *database, QObject *parent = nullptr);
    ~CatalogueServer() override;

    // Set before start().
    void setLimits(const Limits &limits) { m_limits = limits; }
    Limits limits() const { return m_limits; }

    // Listens on the address; with a certificate and key it speaks TLS only.
    bool start(const QHostAddress &address, quint16 port, const QSslCertificate &certificate = QSslCertificate(),
        const QSslKey &key = QSslKey(), const QList<QSslCertificate> &chain = {});
    quint16 port() const { return m_port; }
    QString errorString() const { return m_errorString; }

    // Connections held now (including those still in their TLS handshake).
    int connectionCount() const { return int(m_connections.size()); }
    // Plays waiting for the database.
    int queuedPlays() const { return int(m_pendingPlays.size()); }

signals:
    // After every answer to the API or the media folder (for logs and tests).
    void requestHandled(const QString &path, const QString &query, int status);

private:
    struct Exchange
    {
        QPointer<HttpConnection> connection;
        QString path;
        QString query;
    };
    struct PendingPlay
    {
        int songId = 0;
        Exchange exchange; // empty once answered
        QDeadlineTimer answerBy;
    };

    void acceptSocket(qintptr descriptor);
    // Closes one idle connection (of that address when given); false when none is idle.
    bool reclaimIdle(const QHostAddress &peer);
    void handleRequest(HttpConnection *connection, const HttpRequest &request);
    void handleApi(const Exchange &ex, const HttpRequest &request);
    void handleMedia(const Exchange &ex, const QString &relative, const HttpRequest &request);
    void handlePlay(const Exchange &ex, int songId);
    void retryPlays();
    void answerPlay(const Exchange &ex, int songId, int count);

    void send(
        const Exchange &ex, int status, const Headers &headers, const QByteArray &body, const QByteArray &logNote = {});
    void sendJson(const Exchange &ex, int status, const QByteArray &json, const QByteArray &logNote = {});
    void sendError(const Exchange &ex, int status, const QString &message);
    void sendDatabaseError(const Exchange &ex);

    CatalogueDatabase *m_database;
    Limits m_limits;
    QTcpServer *m_listener = nullptr;
    bool m_tls = false;
    QSslConfiguration m_sslConfig;
    quint16 m_port = 0;
    QString m_errorString;
    QSet<HttpConnection *> m_connections;
    QHash<QHostAddress, int> m_perAddress;
    QList<PendingPlay> m_pendingPlays;
    QTimer m_playRetryTimer;
    QTimer m_resumeAcceptTimer;
};
