#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QUrl>
#include <QUrlQuery>

// One HTTP/1.x request as the catalogue server reads it: only what the server acts on.
struct HttpRequest
{
    QByteArray method;
    QByteArray target; // as sent: "/music/api.php?action=getAlbums"
    int minorVersion = 1; // HTTP/1.0 or HTTP/1.1
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case, in order
    QByteArray body;

    QUrl url() const { return QUrl::fromEncoded(target); }
    QUrlQuery query() const { return QUrlQuery(url()); }
    // The first header of that name (case-insensitive), or an empty array.
    QByteArray value(const QByteArray &name) const;
    // HTTP/1.1 without "Connection: close"; HTTP/1.0 always closes.
    bool keepAlive() const;
    // "GET /x HTTP/1.1", shortened for logs.
    QByteArray requestLine(int maxTarget = 200) const;
};

// What one request may hold; see HttpRequestParser.
struct HttpRequestLimits
{
    int maxRequestLine = 8 * 1024;
    int maxHeaderBytes = 32 * 1024;
    int maxHeaderCount = 100;
    qint64 maxBodyBytes = 64 * 1024;
};

// An incremental, bounded HTTP/1.x request reader. It takes bytes from the front of a buffer
// as they arrive and never holds more than the limits allow: a request line over
// maxRequestLine fails with 414, a head over maxHeaderBytes or maxHeaderCount with 431, a
// declared body over maxBodyBytes with 413, anything malformed with 400. After a failure the
// connection must be closed; after a complete request the bytes of the next one (pipelined)
// stay in the buffer.
class HttpRequestParser
{
public:
    using Limits = HttpRequestLimits;

    enum class State { Idle, RequestLine, Headers, Body, Complete, Failed };

    explicit HttpRequestParser(const Limits &limits = Limits())
        : m_limits(limits)
    {
    }

    // Consumes what it can from *buffer; returns Complete once a whole request is there, Failed
    // on an error, else the state it waits in. Idle: nothing of a request has come yet.
    State parse(QByteArray *buffer);
    State state() const { return m_state; }

    // The request after Complete; the parser is then ready for the next one.
    HttpRequest takeRequest();

    // After Failed: the status to answer with and a short reason for the listener and the log.
    int errorStatus() const { return m_errorStatus; }
    QByteArray errorMessage() const { return m_errorMessage; }
    // What was read of the failed request (its request line when it got that far).
    const HttpRequest &partialRequest() const { return m_request; }

private:
    State fail(int status, const QByteArray &message);
    bool parseRequestLine(const QByteArray &line);
    bool parseHeaderLine(const QByteArray &line);
    bool headersDone();

    Limits m_limits;
    State m_state = State::Idle;
    HttpRequest m_request;
    int m_headerBytes = 0;
    int m_headerCountSeen = 0;
    qint64 m_bodyRemaining = 0;
    int m_errorStatus = 0;
    QByteArray m_errorMessage;
};
