// Main window catalogue load: how long a large catalogue takes from the first request until the
// album grid and the song list are filled, and until every album tile has its round cover.
// Serves the catalogue itself from 127.0.0.1 (plain HTTP, one request per connection).
// Also prints the longest time the event loop was held during the load (the longest freeze).
// Usage: bench_window [albums] [songs]   (default 300 albums, 5000 songs; try 300 50000)
#include "mainwindow.h"
#include "testhttpserver.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

#include <cstdio>

namespace {

QByteArray albumsJson(int albums)
{
    QByteArray json = "[";
    for (int i = 1; i <= albums; ++i) {
        json += QStringLiteral(
            R"({"id":%1,"name":"Album %1","artist":"Artist %2","cover":"covers/%1.png","song_count":10})")
                    .arg(i)
                    .arg(i % 50)
                    .toUtf8();
        if (i < albums)
            json += ',';
    }
    return json + ']';
}

QByteArray songsJson(int songs, int albums)
{
    QByteArray json = "[";
    for (int i = 1; i <= songs; ++i) {
        json += QStringLiteral(
            R"({"id":%1,"album_id":%2,"title":"Song %1","artist":"Artist %3","duration":%4,"file_path":"audio/%1.mp3"})")
                    .arg(i)
                    .arg(1 + i % albums)
                    .arg(i % 50)
                    .arg(120 + i % 200)
                    .toUtf8();
        if (i < songs)
            json += ',';
    }
    return json + ']';
}

QByteArray coverPng()
{
    QImage image(300, 300, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// Just enough of the catalogue for the window's GET requests.
TestHttpServer::Response catalogueReply(
    const TestHttpServer::Request &request, const QByteArray &albums, const QByteArray &songs, const QByteArray &cover)
{
    if (request.url.path().startsWith(QLatin1String("/music/covers/"))) {
        TestHttpServer::Response reply;
        reply.contentType = "image/png";
        reply.body = cover;
        return reply;
    }
    const QString action = QUrlQuery(request.url).queryItemValue(QStringLiteral("action"));
    if (action == QLatin1String("getAlbums"))
        return TestHttpServer::json(albums);
    if (action == QLatin1String("getSongs"))
        return TestHttpServer::json(songs);
    return TestHttpServer::json("[]");
}

// Measures the longest gap between turns of the event loop: a timer due every few
// milliseconds runs late by however long anything else held the loop.
class StallMeter : public QObject
{
public:
    explicit StallMeter(QObject *parent = nullptr)
        : QObject(parent)
    {
        m_timer.setInterval(TickMs);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] { m_longest = qMax(m_longest, m_sinceTick.restart()); });
    }
    void start()
    {
        m_longest = 0;
        m_sinceTick.start();
        m_timer.start();
    }
    qint64 longestMs() const { return m_longest; }

private:
    static constexpr int TickMs = 5;
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int albums = argc > 1 ? QByteArray(argv[1]).toInt() : 300;
    const int songs = argc > 2 ? QByteArray(argv[2]).toInt() : 5000;

    TestHttpServer server;
    server.setHandler(
        [albumsBody = albumsJson(albums), songsBody = songsJson(songs, albums), cover = coverPng()](
            const TestHttpServer::Request &request) { return catalogueReply(request, albumsBody, songsBody, cover); });
    if (!server.start())
        return 1;
    qputenv("VELORA_SERVER_URL", server.baseUrl().toEncoded());
    qSetMessagePattern(QStringLiteral("%{if-critical}%{message}%{endif}"));

    QElapsedTimer clock;
    clock.start();
    MainWindow window;
    const qint64 constructed = clock.elapsed();
    window.show();
    StallMeter stalls;
    stalls.start();
    auto *albumList = window.findChild<QListWidget *>(QStringLiteral("albumList"));
    auto *songList = window.findChild<QListWidget *>(QStringLiteral("allSongsList"));
    if (!QTest::qWaitFor([&] { return songList->count() == songs; }, 120000))
        return 2;
    const qint64 loaded = clock.elapsed();
    // The filled list lays itself out on the next turns: let those run under the meter too.
    QTest::qWait(200);
    const qint64 loadStall = stalls.longestMs();
    // A tile has its cover once its icon shows the cover's colour in the middle; tiles already
    // seen with their cover are not looked at again, so the check itself stays cheap.
    int firstWithoutCover = 0;
    const auto coversDone = [&] {
        for (; firstWithoutCover < albumList->count(); ++firstWithoutCover) {
            const QImage icon = albumList->item(firstWithoutCover)->icon().pixmap(QSize(100, 100)).toImage();
            if (icon.pixelColor(50, 50) != QColor(Qt::darkCyan))
                return false;
        }
        return true;
    };
    const bool allCovers = QTest::qWaitFor(coversDone, 120000);
    const qint64 covered = clock.elapsed();

    std::printf("albums %d, songs %d\n", albums, songs);
    std::printf("constructor          %6lld ms\n", static_cast<long long>(constructed));
    std::printf("catalogue shown      %6lld ms after construction began (includes the 100 ms start delay)\n",
        static_cast<long long>(loaded));
    std::printf("all covers in place  %6lld ms%s\n", static_cast<long long>(covered), allCovers ? "" : " (timed out)");
    std::printf("longest stall        %6lld ms while the catalogue loaded (event loop held)\n",
        static_cast<long long>(loadStall));
    return 0;
}
