// Load check of the catalogue server: many concurrent clients against api.php and against a
// media file. Prints requests per second, latency percentiles and the error count (which must
// be zero). Figures only; nothing is asserted.
//
//   bench_server_load [--clients N] [--requests N] [--url http://HOST:PORT]
// Without --url it makes a demo catalogue in a temporary folder and starts its own
// velora-catalogue process on a free port, so server and clients do not share a thread.

#include "democatalogue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

// QNetworkAccessManager opens at most six connections to one host; one manager per six
// clients keeps every client on a connection of its own.
constexpr int ClientsPerManager = 6;

struct Figures
{
    int requests = 0;
    int errors = 0;
    qint64 bytes = 0;
    qint64 elapsedMs = 0;
    QList<qint64> latencyUs;
};

using RequestMaker = std::function<QNetworkRequest(int n)>;
using Checker = std::function<bool(QNetworkReply *reply, const QByteArray &body)>;

Figures runLoad(int clients, int total, const RequestMaker &makeRequest, const Checker &check)
{
    Figures figures;
    QList<QNetworkAccessManager *> managers;
    for (int i = 0; i < (clients + ClientsPerManager - 1) / ClientsPerManager; ++i)
        managers.append(new QNetworkAccessManager);
    QEventLoop loop;
    int issued = 0;
    int finished = 0;
    QElapsedTimer wall;
    wall.start();

    std::function<void(int)> sendNext = [&](int client) {
        if (issued >= total)
            return;
        const int n = issued++;
        QNetworkAccessManager *manager = managers.at(client / ClientsPerManager);
        auto *timer = new QElapsedTimer;
        timer->start();
        QNetworkReply *reply = manager->get(makeRequest(n));
        QObject::connect(reply, &QNetworkReply::finished, manager, [&, reply, timer, client] {
            const QByteArray body = reply->readAll();
            figures.latencyUs.append(timer->nsecsElapsed() / 1000);
            delete timer;
            figures.bytes += body.size();
            if (reply->error() != QNetworkReply::NoError || !check(reply, body))
                ++figures.errors;
            reply->deleteLater();
            if (++finished == total)
                loop.quit();
            else
                sendNext(client);
        });
    };
    for (int c = 0; c < clients; ++c)
        sendNext(c);
    if (total > 0)
        loop.exec();
    figures.elapsedMs = wall.elapsed();
    figures.requests = finished;
    qDeleteAll(managers);
    return figures;
}

void print(QTextStream &out, const char *name, int clients, const Figures &f)
{
    QList<qint64> sorted = f.latencyUs;
    std::sort(sorted.begin(), sorted.end());
    auto percentile = [&](double p) {
        return sorted.isEmpty() ? 0.0
                                : double(sorted.at(qMin(sorted.size() - 1, qsizetype(p * sorted.size())))) / 1000.0;
    };
    const double seconds = qMax<qint64>(1, f.elapsedMs) / 1000.0;
    out << QStringLiteral("%1: %2 clients, %3 requests in %4 s: %5 requests/s, %6 MB/s, "
                          "latency p50 %7 ms, p99 %8 ms, errors %9\n")
               .arg(QLatin1String(name))
               .arg(clients)
               .arg(f.requests)
               .arg(seconds, 0, 'f', 2)
               .arg(f.requests / seconds, 0, 'f', 0)
               .arg(f.bytes / seconds / 1e6, 0, 'f', 1)
               .arg(percentile(0.5), 0, 'f', 2)
               .arg(percentile(0.99), 0, 'f', 2)
               .arg(f.errors);
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption clientsOption(
        QStringLiteral("clients"), QStringLiteral("concurrent clients"), QStringLiteral("N"), QStringLiteral("64"));
    const QCommandLineOption requestsOption(
        QStringLiteral("requests"), QStringLiteral("requests per phase"), QStringLiteral("N"), QStringLiteral("5000"));
    const QCommandLineOption urlOption(
        QStringLiteral("url"), QStringLiteral("a running server"), QStringLiteral("URL"));
    parser.addOptions({ clientsOption, requestsOption, urlOption });
    parser.process(app);
    const int clients = qMax(1, parser.value(clientsOption).toInt());
    const int requests = qMax(1, parser.value(requestsOption).toInt());

    QTemporaryDir dir;
    QProcess server;
    QString base = parser.value(urlOption);
    if (base.isEmpty()) {
        const QString music = dir.filePath(QStringLiteral("music"));
        const QString db = dir.filePath(QStringLiteral("catalogue.sqlite"));
        DemoCatalogue demo;
        if (!demo.generate(music, 3000)) {
            out << "cannot make the demo: " << demo.lastError() << "\n";
            return 1;
        }
        QProcess import;
        import.start(
            QStringLiteral(VELORA_CATALOGUE_EXE), { QStringLiteral("import"), music, QStringLiteral("--db"), db });
        if (!import.waitForFinished(60000) || import.exitCode() != 0) {
            out << "import failed: " << import.readAllStandardError() << "\n";
            return 1;
        }
        server.start(QStringLiteral(VELORA_CATALOGUE_EXE),
            { QStringLiteral("serve"), QStringLiteral("--db"), db, QStringLiteral("--listen"),
                QStringLiteral("127.0.0.1:0") });
        if (!server.waitForStarted() || !server.waitForReadyRead(15000)) {
            out << "the server did not start\n";
            return 1;
        }
        const QByteArray banner = server.readLine().trimmed();
        base = QString::fromUtf8(banner.mid(banner.lastIndexOf(' ') + 1));
        out << "server: " << banner << "\n";
    }
    const QString api = base + QStringLiteral("/music/api.php");

    // One song to stream, and the ids to ask for. The probe's connection goes before the load
    // starts, so it takes none of the server's places for one address.
    QJsonArray songs;
    {
        QNetworkAccessManager probe;
        QNetworkReply *songsReply = probe.get(QNetworkRequest(QUrl(api + QStringLiteral("?action=getSongs"))));
        QEventLoop wait;
        QObject::connect(songsReply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
        wait.exec();
        songs = QJsonDocument::fromJson(songsReply->readAll()).object().value(QStringLiteral("songs")).toArray();
        delete songsReply;
    }
    if (songs.isEmpty()) {
        out << "the catalogue at " << base << " has no songs\n";
        return 1;
    }
    const QJsonObject song = songs.first().toObject();
    const QUrl media(base + QStringLiteral("/music/")
        + QString::fromLatin1(QUrl::toPercentEncoding(song.value(QStringLiteral("file_path")).toString(), "/")));
    const int songId = song.value(QStringLiteral("id")).toInt();

    const QStringList queries = { QStringLiteral("?action=getAlbums"), QStringLiteral("?action=getSongs"),
        QStringLiteral("?action=search&q=night"), QStringLiteral("?action=getSong&id=%1").arg(songId),
        QStringLiteral("?action=getArtistRanking"), QStringLiteral("?action=getSongRanking"),
        QStringLiteral("?action=incrementPlayCount&id=%1").arg(songId) };
    const Figures apiFigures = runLoad(
        clients, requests, [&](int n) { return QNetworkRequest(QUrl(api + queries.at(n % queries.size()))); },
        [](QNetworkReply *reply, const QByteArray &body) {
            return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200
                && QJsonDocument::fromJson(body).isObject();
        });
    print(out, "api.php", clients, apiFigures);

    // Players seek: half the requests are 64 kB ranges at varying offsets, half whole files.
    const Figures mediaFigures = runLoad(
        clients, requests,
        [&](int n) {
            QNetworkRequest request(media);
            if (n % 2 == 0)
                request.setRawHeader("Range",
                    "bytes=" + QByteArray::number((n * 4096) % 65536) + '-'
                        + QByteArray::number((n * 4096) % 65536 + 65535));
            return request;
        },
        [](QNetworkReply *reply, const QByteArray &body) {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (status == 206)
                return body.size() == 65536;
            return status == 200 && body.size() == reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        });
    print(out, "media", clients, mediaFigures);

    if (server.state() != QProcess::NotRunning) {
        server.terminate();
        server.waitForFinished(10000);
    }
    return apiFigures.errors + mediaFigures.errors == 0 ? 0 : 1;
}
