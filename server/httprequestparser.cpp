#include "httprequestparser.h"

#include <cstring>
#include <utility>

namespace {

bool isTokenChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
        return true;
    return u != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// Visible ASCII only: clients percent-encode everything else.
bool isTargetText(const QByteArray &text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f)
            return false;
    }
    return !text.isEmpty();
}

bool isFieldValue(const QByteArray &text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && u != '\t') || u == 0x7f)
            return false;
    }
    return true;
}

bool isDigits(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

QByteArray HttpRequest::value(const QByteArray &name) const
{
    const QByteArray lower = name.toLower();
    for (const auto &header : headers) {
        if (header.first == lower)
            return header.second;
    }
    return QByteArray();
}

bool HttpRequest::keepAlive() const
{
    if (minorVersion == 0)
        return false;
    for (const auto &header : headers) {
        if (header.first != "connection")
            continue;
        for (const QByteArray &option : header.second.split(',')) {
            if (option.trimmed().toLower() == "close")
                return false;
        }
    }
    return true;
}

QByteArray HttpRequest::requestLine(int maxTarget) const
{
    QByteArray shown = target.left(maxTarget);
    if (target.size() > maxTarget)
        shown += "...";
    return method + ' ' + shown + " HTTP/1." + QByteArray::number(minorVersion);
}

HttpRequestParser::State HttpRequestParser::fail(int status, const QByteArray &message)
{
    m_state = State::Failed;
    m_errorStatus = status;
    m_errorMessage = message;
    return m_state;
}

HttpRequestParser::State HttpRequestParser::parse(QByteArray *buffer)
{
    while (m_state != State::Complete && m_state != State::Failed && !buffer->isEmpty()) {
        if (m_state == State::Idle)
            m_state = State::RequestLine;
        if (m_state == State::Body) {
            const qint64 take = qMin(m_bodyRemaining, qint64(buffer->size()));
            m_request.body += buffer->left(take);
            buffer->remove(0, take);
            m_bodyRemaining -= take;
            if (m_bodyRemaining == 0)
                m_state = State::Complete;
            continue;
        }

        const int limit
            = m_state == State::RequestLine ? m_limits.maxRequestLine : m_limits.maxHeaderBytes - m_headerBytes;
        const qsizetype newline = buffer->indexOf('\n');
        if (newline < 0 || newline > limit) {
            // Not a whole line yet: wait, unless it is already longer than allowed.
            if (buffer->size() <= limit)
                return m_state;
            return m_state == State::RequestLine ? fail(414, "the request line is too long")
                                                 : fail(431, "the request headers are too large");
        }
        QByteArray line = buffer->left(newline);
        buffer->remove(0, newline + 1);
        if (line.endsWith('\r'))
            line.chop(1);

        if (m_state == State::RequestLine) {
            // Empty lines before a request are allowed (some clients send one after a body).
            if (line.isEmpty())
                continue;
            if (!parseRequestLine(line))
                return m_state;
            m_state = State::Headers;
            continue;
        }
        m_headerBytes += int(newline + 1);
        if (line.isEmpty()) {
            if (!headersDone())
                return m_state;
            continue;
        }
        if (!parseHeaderLine(line))
            return m_state;
    }
    return m_state;
}

bool HttpRequestParser::parseRequestLine(const QByteArray &line)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3) {
        fail(400, "malformed request line");
        return false;
    }
    const QByteArray &method = parts.at(0);
    QByteArray target = parts.at(1);
    const QByteArray &version = parts.at(2);
    if (!isToken(method) || !isTargetText(target)) {
        fail(400, "malformed request line");
        return false;
    }
    m_request.method = method;
    if (version == "HTTP/1.1" || version == "HTTP/1.0") {
        m_request.minorVersion = version.back() - '0';
    } else if (version.size() == 8 && version.startsWith("HTTP/") && version.at(5) >= '0' && version.at(5) <= '9'
        && version.at(6) == '.' && version.at(7) >= '0' && version.at(7) <= '9') {
        fail(505, "only HTTP/1.0 and HTTP/1.1 are spoken here");
        return false;
    } else {
        fail(400, "malformed request line");
        return false;
    }
    // The absolute form ("http://host/path") names the same resource as its path.
    const QByteArray lower = target.left(8).toLower();
    if (lower.startsWith("http://") || lower.startsWith("https://")) {
        const qsizetype authority = target.indexOf("://") + 3;
        const qsizetype slash = target.indexOf('/', authority);
        const qsizetype question = target.indexOf('?', authority);
        if (slash < 0 || (question >= 0 && question < slash))
            target = '/' + (question >= 0 ? target.mid(question) : QByteArray());
        else
            target = target.mid(slash);
    }
    if (!target.startsWith('/')) {
        fail(400, "the request target must be a path");
        return false;
    }
    m_request.target = target;
    return true;
}

bool HttpRequestParser::parseHeaderLine(const QByteArray &line)
{
    if (++m_headerCountSeen > m_limits.maxHeaderCount) {
        fail(431, "too many request headers");
        return false;
    }
    const qsizetype colon = line.indexOf(':');
    // No blank before the colon and no folded continuation lines: both have been used to smuggle
    // requests past proxies.
    if (colon <= 0 || !isToken(line.left(colon))) {
        fail(400, "malformed header line");
        return false;
    }
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (!isFieldValue(value)) {
        fail(400, "malformed header value");
        return false;
    }
    m_request.headers.append({ line.left(colon).toLower(), value });
    return true;
}

bool HttpRequestParser::headersDone()
{
    QByteArray length;
    for (const auto &header : std::as_const(m_request.headers)) {
        if (header.first == "transfer-encoding") {
            fail(501, "transfer codings are not supported; send Content-Length");
            return false;
        }
        if (header.first != "content-length")
            continue;
        if (!isDigits(header.second) || header.second.size() > 18 || (!length.isNull() && length != header.second)) {
            fail(400, "malformed Content-Length");
            return false;
        }
        length = header.second;
    }
    const qint64 bodyBytes = length.isNull() ? 0 : length.toLongLong();
    if (bodyBytes > m_limits.maxBodyBytes) {
        fail(413, "the request body is too large");
        return false;
    }
    m_bodyRemaining = bodyBytes;
    m_state = bodyBytes > 0 ? State::Body : State::Complete;
    return true;
}

HttpRequest HttpRequestParser::takeRequest()
{
    HttpRequest request = std::move(m_request);
    m_request = HttpRequest();
    m_state = State::Idle;
    m_headerBytes = 0;
    m_headerCountSeen = 0;
    m_bodyRemaining = 0;
    return request;
}
