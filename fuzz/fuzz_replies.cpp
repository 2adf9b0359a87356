// Reply bodies into records, through the real client: a loopback server answers every catalogue
// operation with the fuzzed body, and each callback's records are checked.
#include "fuzzsupport.h"
#include "apiclient.h"
#include "models.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstddef>
#include <cstdint>

namespace {

// Answers every request on a connection with the current body; keeps connections alive so that
// one fuzz input costs no new handshakes.
class BodyServer : public QObject
{
public:
    BodyServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    quint16 port() const { return m_server.serverPort(); }
    QByteArray body;
    QByteArray status = "200 OK";

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        qsizetype end;
        while ((end = pending.indexOf("\r\n\r\n")) >= 0) {
            pending.remove(0, end + 4);
            socket->write("HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\nContent-Length: "
                + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        }
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

void checkSong(const Song &song)
{
    const Song again = Song::fromJson(song.toJson());
    FUZZ_CHECK(again.id == song.id && again.albumId == song.albumId && again.duration == song.duration);
    FUZZ_CHECK(again.trackNumber == song.trackNumber && again.playCount == song.playCount);
    FUZZ_CHECK(again.title == song.title && again.artist == song.artist && again.filePath == song.filePath);
    FUZZ_CHECK(again.lyrics == song.lyrics && again.genre == song.genre && again.language == song.language);
    const QString duration = song.formattedDuration();
    if (song.duration < 1) {
        FUZZ_CHECK(duration == QLatin1String("--:--"));
    } else {
        const qsizetype colon = duration.lastIndexOf(QLatin1Char(':'));
        FUZZ_CHECK(colon >= 2 && duration.size() - colon == 3);
        FUZZ_CHECK(duration.mid(colon + 1).toInt() < 60);
    }
}

void checkAlbum(const Album &album)
{
    const Album again = Album::fromJson(album.toJson());
    FUZZ_CHECK(again.id == album.id && again.year == album.year && again.songCount == album.songCount);
    FUZZ_CHECK(again.name == album.name && again.artist == album.artist && again.cover == album.cover);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzApplication<QCoreApplication>();
    static BodyServer *server = [] {
        auto *s = new BodyServer;
        qputenv("VELORA_SERVER_URL", "http://127.0.0.1:" + QByteArray::number(s->port()));
        return s;
    }();
    static ApiClient *client = new ApiClient;

    if (size == 0)
        return 0;
    // The first byte picks the operation, the rest is the body every request gets.
    server->body = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    bool answered = false;
    QEventLoop loop;
    auto done = [&answered, &loop] {
        FUZZ_CHECK(!answered); // exactly once
        answered = true;
        loop.quit();
    };
    auto checkSongs = [&](const QList<Song> &songs) {
        for (const Song &song : songs)
            checkSong(song);
        done();
    };
    switch (data[0] % 6) {
    case 0:
        client->getAlbums([&](const QList<Album> &albums) {
            for (const Album &album : albums)
                checkAlbum(album);
            done();
        });
        break;
    case 1:
        client->getAllSongs(checkSongs);
        break;
    case 2:
        client->search(QStringLiteral("x"), checkSongs);
        break;
    case 3:
        client->getSong(1, [&](const Song &song) {
            checkSong(song);
            done();
        });
        break;
    case 4:
        client->getArtistRanking([&](const QJsonArray &) { done(); });
        break;
    default:
        client->getSongRanking([&](const QJsonArray &) { done(); });
        break;
    }
    // A reply that never completes shows as a failed check after a generous wait.
    QTimer::singleShot(10000, &loop, [] { FUZZ_CHECK(!"a callback never ran"); });
    loop.exec();
    FUZZ_CHECK(answered);
    return 0;
}
