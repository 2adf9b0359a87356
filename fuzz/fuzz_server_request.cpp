// The catalogue server's request handling: fuzzed request targets, methods and Range headers
// sent over a loopback socket to a server with a small imported catalogue, plus the range and
// path rules and the request reader on their own. A secret file beside the media folder must
// never be served.
#include "fuzzsupport.h"
#include "cataloguedatabase.h"
#include "catalogueimporter.h"
#include "cataloguepaths.h"
#include "catalogueserver.h"
#include "democatalogue.h"
#include "httprequestparser.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <cstddef>
#include <cstdint>

namespace {

const QByteArray SecretText = "FUZZ-SECRET-NEVER-SERVED";

struct Fixture
{
    QTemporaryDir dir;
    CatalogueDatabase database;
    CatalogueServer *server = nullptr;

    Fixture()
    {
        const QString music = dir.filePath(QStringLiteral("music"));
        DemoCatalogue demo;
        FUZZ_CHECK(demo.generate(music, 300));
        QFile secret(dir.filePath(QStringLiteral("secret.txt")));
        FUZZ_CHECK(secret.open(QIODevice::WriteOnly));
        secret.write(SecretText);
        secret.close();
        // Links out of the folder exist in real libraries; the server must not follow them out.
        QFile::link(dir.filePath(QStringLiteral("secret.txt")), music + QStringLiteral("/link-out.wav"));
        QFile::link(dir.path(), music + QStringLiteral("/dir-out"));
        FUZZ_CHECK(database.open(dir.filePath(QStringLiteral("catalogue.sqlite"))));
        CatalogueImporter importer(&database);
        CatalogueImporter::Report report;
        FUZZ_CHECK(importer.importFolder(music, &report));
        server = new CatalogueServer(&database);
        FUZZ_CHECK(server->start(QHostAddress::LocalHost, 0));
    }
};

// Anything that would end the request line or the header is percent-encoded, so the request
// always reaches the handler; the handler sees every other byte as sent.
QByteArray requestSafe(const QByteArray &bytes, bool keepSpaces)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || (u == ' ' && !keepSpaces) || u >= 0x80)
            out += '%' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        else
            out += c;
    }
    return out;
}

void checkRangeRules(const QByteArray &header, qint64 size)
{
    const CatalogueServer::ByteRange range = CatalogueServer::parseRange(header, size);
    switch (range.kind) {
    case CatalogueServer::RangeKind::Whole:
        FUZZ_CHECK(range.start == 0 && range.length == size);
        break;
    case CatalogueServer::RangeKind::Partial:
        FUZZ_CHECK(range.start >= 0 && range.length > 0 && range.start < size);
        FUZZ_CHECK(range.length <= size - range.start);
        break;
    case CatalogueServer::RangeKind::Unsatisfiable:
        break;
    }
}

// The request reader on raw bytes, whole and split in two: it never reads past its limits, and a
// failure always comes with an HTTP error status.
void checkParser(const QByteArray &bytes)
{
    for (const qsizetype cut : { bytes.size(), bytes.size() / 2 }) {
        HttpRequestParser parser;
        QByteArray buffer = bytes.left(cut);
        HttpRequestParser::State state = parser.parse(&buffer);
        if (state != HttpRequestParser::State::Failed && state != HttpRequestParser::State::Complete) {
            buffer += bytes.mid(cut);
            state = parser.parse(&buffer);
        }
        if (state == HttpRequestParser::State::Failed) {
            FUZZ_CHECK(parser.errorStatus() >= 400 && parser.errorStatus() < 600);
        } else if (state == HttpRequestParser::State::Complete) {
            const HttpRequest request = parser.takeRequest();
            FUZZ_CHECK(request.target.startsWith('/'));
            FUZZ_CHECK(request.body.size() <= HttpRequestLimits().maxBodyBytes);
        } else {
            // Still waiting: what it holds stays within a line's limit.
            FUZZ_CHECK(buffer.size() <= HttpRequestLimits().maxHeaderBytes);
        }
    }
}

void checkPathRules(const QString &relative)
{
    if (CataloguePaths::isSafeRelativePath(relative)) {
        FUZZ_CHECK(!relative.startsWith(QLatin1Char('/')) && !relative.contains(QLatin1Char('\\')));
        for (const QString &part : relative.split(QLatin1Char('/')))
            FUZZ_CHECK(!part.isEmpty() && !part.startsWith(QLatin1Char('.')));
    }
    FUZZ_CHECK(CataloguePaths::albumIdOfEmbeddedCover(relative) >= 0);
    CataloguePaths::contentTypeFor(relative);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzApplication<QGuiApplication>();
    static Fixture *fixture = new Fixture;

    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    // Layout: method byte, then the target, then after a line feed the Range header value.
    const qsizetype split = input.indexOf('\n');
    const QByteArray target = split < 0 ? input : input.left(split);
    const QByteArray range = split < 0 ? QByteArray() : input.mid(split + 1);

    checkRangeRules(range, qint64(size) * 37);
    checkRangeRules(range, 0);
    checkPathRules(QString::fromUtf8(target));
    checkParser(input);

    static const char *const methods[] = { "GET", "HEAD", "POST", "PUT", "DELETE", "OPTIONS" };
    const QByteArray method = methods[data[0] % (sizeof(methods) / sizeof(methods[0]))];
    QByteArray path = requestSafe(target, false);
    if (!path.startsWith('/'))
        path.prepend('/');
    QByteArray request = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (split >= 0)
        request += "Range: " + requestSafe(range, true) + "\r\n";
    request += "\r\n";

    QTcpSocket socket;
    QByteArray response;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
        response += socket.readAll();
        // The whole answer has come once the head is complete and the announced body is there.
        const qsizetype headEnd = response.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QByteArray head = response.left(headEnd).toLower();
        const qsizetype at = head.indexOf("content-length:");
        const qint64 length = at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        const bool bodyless = method == "HEAD" || head.startsWith("http/1.1 416");
        if (bodyless || response.size() - headEnd - 4 >= length)
            loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    socket.connectToHost(QHostAddress::LocalHost, fixture->server->port());
    socket.write(request);
    // A request that gets no answer at all is a finding.
    bool hung = false;
    QTimer::singleShot(10000, &loop, [&] {
        hung = true;
        loop.quit();
    });
    loop.exec();
    response += socket.readAll();
    if (hung) {
        std::fprintf(stderr, "no answer to: %s\n", request.constData());
        FUZZ_CHECK(!hung);
    }
    FUZZ_CHECK(response.startsWith("HTTP/1.1 ") || response.isEmpty());
    FUZZ_CHECK(!response.contains(SecretText));
    socket.abort();
    return 0;
}
