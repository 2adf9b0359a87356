// Soak run of the whole window: a queue of a few hundred short songs with lyrics plays in list
// loop for a set time, while position reports move the lyrics and the page shown alternates
// between the lyrics and the scanned local library. Prints the resident memory at the start,
// along the way and at the end, and the count of errors; exits non-zero when there were any.
//   bench_soak [seconds=120] [songs=300]
// Run through scripts/soak.sh, which gives it a private, headless environment.
#include "localmusicmanager.h"
#include "mainwindow.h"
#include "modalboxcloser.h"
#include "musicplayer.h"
#include "testhttpserver.h"
#include "wavwriter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>

#include <cstdio>

namespace {

constexpr int SongMs = 250;
constexpr int SampleIntervalMs = 10000;
constexpr int PageSwitchMs = 1500;
constexpr int SetupLimitMs = 120000;

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

QString lyricsFor(int song)
{
    QString text = QStringLiteral("[ti:Soak %1]\n").arg(song);
    for (int line = 0; line < 5; ++line)
        text += QStringLiteral("[00:00.%1]line %2 of song %3\n")
                    .arg(line * 5, 2, 10, QLatin1Char('0'))
                    .arg(line)
                    .arg(song);
    return text;
}

// Just enough of the catalogue for the window: the albums, every song, and play counts.
TestHttpServer::Response catalogueReply(const TestHttpServer::Request &request, const QJsonArray &songs)
{
    const QString action = QUrlQuery(request.url).queryItemValue(QStringLiteral("action"));
    QJsonDocument reply;
    if (action == QLatin1String("getAlbums")) {
        reply = QJsonDocument(QJsonObject { { QStringLiteral("albums"),
            QJsonArray { QJsonObject { { QStringLiteral("id"), 1 }, { QStringLiteral("name"), QStringLiteral("Soak") },
                { QStringLiteral("artist"), QStringLiteral("Band") },
                { QStringLiteral("song_count"), songs.size() } } } } });
    } else if (action == QLatin1String("getSongs") || action == QLatin1String("getSongRanking")) {
        reply = QJsonDocument(QJsonObject { { QStringLiteral("songs"), songs } });
    } else if (action == QLatin1String("incrementPlayCount")) {
        reply = QJsonDocument(QJsonObject { { QStringLiteral("success"), true } });
    } else {
        reply = QJsonDocument(QJsonArray());
    }
    return TestHttpServer::json(reply.toJson(QJsonDocument::Compact));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velora"));
    QCoreApplication::setApplicationName(QStringLiteral("VeloraPlayer"));
    const QStringList args = app.arguments();
    const int seconds = qMax(5, args.value(1, QStringLiteral("120")).toInt());
    const int songCount = qMax(2, args.value(2, QStringLiteral("300")).toInt());

    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    QJsonArray songs;
    for (int i = 0; i < songCount; ++i) {
        const QString name = QStringLiteral("song%1.wav").arg(i, 4, 10, QLatin1Char('0'));
        const QString path = dir.filePath(name);
        if (!writeWav(path, SongMs))
            return 2;
        songs.append(QJsonObject { { QStringLiteral("id"), i + 1 }, { QStringLiteral("album_id"), 1 },
            { QStringLiteral("title"), QStringLiteral("Soak %1").arg(i) },
            { QStringLiteral("artist"), QStringLiteral("Band") }, { QStringLiteral("duration"), 1 },
            { QStringLiteral("file_path"), name }, { QStringLiteral("lyrics"), lyricsFor(i) } });
    }
    TestHttpServer catalogue;
    // Catalogue songs name files in the server's media folder, beside its API, so the same files
    // are served from there.
    catalogue.setHandler([&songs, &dir](const TestHttpServer::Request &request) {
        const QString path = request.url.path();
        if (path.startsWith(QLatin1String("/music/")) && path != QLatin1String("/music/api.php"))
            return TestHttpServer::file(dir.filePath(path.mid(7)), "audio/wav");
        return catalogueReply(request, songs);
    });
    // The server's log of requests is not needed here, and would grow with the run.
    QObject::connect(&catalogue, &TestHttpServer::requestReceived, &catalogue, &TestHttpServer::clearRequests);
    if (!catalogue.start())
        return 2;
    qputenv("VELORA_SERVER_URL", catalogue.baseUrl().toEncoded());

    int errors = 0;
    int positionReports = 0;
    int songChanges = 0;
    auto *window = new MainWindow;
    window->show();
    auto *player = window->findChild<MusicPlayer *>();
    auto *library = window->findChild<LocalMusicManager *>();
    auto *stack = window->findChild<QStackedWidget *>(QStringLiteral("centralStack"));
    QObject::connect(player, &MusicPlayer::error, &app, [&errors](const QString &message) {
        ++errors;
        std::fprintf(stderr, "player error: %s\n", qPrintable(message));
    });
    QObject::connect(library, &LocalMusicManager::scanError, &app, [&errors](const QString &message) {
        ++errors;
        std::fprintf(stderr, "scan error: %s\n", qPrintable(message));
    });
    QObject::connect(player, &MusicPlayer::positionChanged, &app, [&positionReports] { ++positionReports; });
    QObject::connect(player, &MusicPlayer::songChanged, &app, [&songChanges] { ++songChanges; });

    // Any message box in a soak is an error the user would have seen; note it and close it.
    ModalBoxCloser boxes;
    boxes.setAnswer(QMessageBox::Ok);
    boxes.start();
    const auto errorCount = [&errors, &boxes] { return errors + boxes.count(); };

    // The library page gets the same songs by a scan.
    window->setFolderChooser([&dir](QWidget *) { return dir.path(); });
    QMetaObject::invokeMethod(window, "selectMusicFolder", Qt::QueuedConnection);

    QElapsedTimer clock;
    long startKb = -1;
    QTimer pages;
    pages.setInterval(PageSwitchMs);
    int pageTurn = 0;
    QObject::connect(&pages, &QTimer::timeout, &app, [&] {
        // Lyrics page and local page in turn, both following the playing song.
        if (pageTurn++ % 2 == 0)
            QMetaObject::invokeMethod(window, "toggleLyricsView");
        else
            stack->setCurrentIndex(4);
    });
    QTimer sampler;
    sampler.setInterval(SampleIntervalMs);
    QObject::connect(&sampler, &QTimer::timeout, &app, [&] {
        std::printf("%6.1f s  rss %ld kB  songs %d  position reports %d  errors %d\n", clock.elapsed() / 1000.0,
            residentKb(), songChanges, positionReports, errorCount());
        std::fflush(stdout);
    });

    // Playback starts once the catalogue has loaded and the scan has ended, so both are part of
    // the baseline.
    QTimer starter;
    starter.setInterval(100);
    QElapsedTimer setup;
    setup.start();
    QObject::connect(&starter, &QTimer::timeout, &app, [&] {
        if (library->isScanning() || library->musicFiles().size() < songCount) {
            if (setup.elapsed() > SetupLimitMs) {
                ++errors;
                std::fprintf(stderr, "the library scan did not end within %d s\n", SetupLimitMs / 1000);
                QCoreApplication::exit(1);
            }
            return;
        }
        starter.stop();
        QList<Song> queue;
        for (const QJsonValue &row : std::as_const(songs))
            queue.append(Song::fromJson(row.toObject()));
        player->setPlaylist(queue);
        player->setPlayMode(MusicPlayer::ListLoop);
        player->play(0);
        startKb = residentKb();
        clock.start();
        std::printf(
            "start: %d songs of %d ms in list loop for %d s; rss %ld kB\n", songCount, SongMs, seconds, startKb);
        std::fflush(stdout);
        pages.start();
        sampler.start();
        // exit() rather than quit(): quit() would ask the window to close, and its exit question
        // is not part of the run.
        QTimer::singleShot(seconds * 1000, &app, [] { QCoreApplication::exit(0); });
    });
    starter.start();

    app.exec();
    const long endKb = residentKb();
    boxes.stop();
    for (const QString &text : boxes.texts())
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    errors = errorCount();
    const double loops = double(songChanges) / songCount;
    delete window;

    std::printf("end: rss %ld kB (start %ld kB, growth %ld kB); %d songs played (%.2f loops), "
                "%d position reports; errors %d\n",
        endKb, startKb, endKb - startKb, songChanges, loops, positionReports, errors);
    if (startKb < 0)
        std::printf("playback never started\n");
    return errors == 0 && startKb >= 0 ? 0 : 1;
}
