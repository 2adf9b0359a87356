#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QUrlQuery>

class CatalogueDatabase;
class QHttpServerRequest;
class QTcpSocket;

// The catalogue over HTTP(S): GET "/music/api.php?action=..." answers with JSON from the
// database; GET "/music/<path>" serves files of the imported media folder (and covers taken
// from tags) with byte ranges. Bad requests get a JSON error object with a 4xx status; no path
// ever leads out of the media folder. Single-threaded: it runs on the event loop it lives in.
class CatalogueServer : public QAbstractHttpServer
{
    Q_OBJECT

public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

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

    static constexpr int SongRankingLimit = 50;

    explicit CatalogueServer(CatalogueDatabase *database, QObject *parent = nullptr);

    // Listens on the address; with a certificate and key it speaks TLS only.
    bool start(const QHostAddress &address, quint16 port, const QSslCertificate &certificate = QSslCertificate(),
        const QSslKey &key = QSslKey(), const QList<QSslCertificate> &chain = {});
    quint16 port() const { return m_port; }
    QString errorString() const { return m_errorString; }

signals:
    // After every answer to the API or the media folder (for logs and tests).
    void requestHandled(const QString &path, const QString &query, int status);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    void writeHead(QTcpSocket *socket, int status, const Headers &headers);
    void handleApi(const QHttpServerRequest &request, QTcpSocket *socket, bool headOnly);
    void handleMedia(const QString &relative, const QHttpServerRequest &request, QTcpSocket *socket, bool headOnly);
    void sendJson(QTcpSocket *socket, int status, const QByteArray &json, bool headOnly);
    void sendError(QTcpSocket *socket, int status, const QString &message, bool headOnly);
    void sendDatabaseError(QTcpSocket *socket, bool headOnly);

    CatalogueDatabase *m_database;
    quint16 m_port = 0;
    int m_lastStatus = 0;
    QString m_errorString;
};
