// Catalogue client figures: the time from request to callback for song lists of growing size,
// served from 127.0.0.1, and the share of it spent turning JSON into records.
#include "apiclient.h"
#include "testhttpserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

QByteArray songList(int count)
{
    QJsonArray rows;
    for (int i = 1; i <= count; ++i) {
        Song s;
        s.id = i;
        s.albumId = i % 97 + 1;
        s.title = QStringLiteral("歌曲 %1").arg(i);
        s.artist = QStringLiteral("Artist %1").arg(i % 211);
        s.duration = 180 + i % 120;
        s.filePath = QStringLiteral("songs/%1.mp3").arg(i);
        s.lyrics = QStringLiteral("[00:01.00]line one\n[00:05.00]line two");
        rows.append(s.toJson());
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Compact);
}

void quietLog(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quietLog);
    // Every request gets the current list.
    QByteArray body;
    TestHttpServer server;
    server.setHandler([&body](const TestHttpServer::Request &) { return TestHttpServer::json(body); });
    if (!server.start())
        return 1;
    qputenv("VELORA_SERVER_URL", server.baseUrl().toEncoded());
    ApiClient client;
    QTextStream out(stdout);
    out << "songs\tbytes\trequest-to-callback ms (median of 5)\tparse-only ms\n";
    for (int count : { 100, 1000, 10000, 50000 }) {
        body = songList(count);
        QList<qint64> runs;
        for (int run = 0; run < 5; ++run) {
            QEventLoop loop;
            QElapsedTimer timer;
            timer.start();
            qsizetype received = 0;
            client.getAllSongs([&](QList<Song> songs) {
                received = songs.size();
                loop.quit();
            });
            loop.exec();
            runs << timer.elapsed();
            if (received != count) {
                out << "wrong count " << received << "\n";
                return 1;
            }
        }
        std::sort(runs.begin(), runs.end());
        QElapsedTimer parse;
        parse.start();
        const QJsonArray rows = QJsonDocument::fromJson(body).array();
        QList<Song> songs;
        for (const QJsonValue &row : rows)
            songs.append(Song::fromJson(row.toObject()));
        out << count << '\t' << body.size() << '\t' << runs.at(2) << '\t' << parse.elapsed() << Qt::endl;
    }
    return 0;
}
