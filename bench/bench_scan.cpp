// Times a full local-library scan, from startScan to scanFinished, with the TagLib probe and
// with the media-player probe, on one generated library of tagged files in nested folders.
// Prints files per second for each and their ratio; asserts nothing.
//
//   bench_scan [--files N] [--player-files M] [--keep DIR]
//
// N defaults to 2000 (try 10000); M, the files scanned with the media player, defaults to N.

#include "localmusicmanager.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

// Tiny tagged files of the tests, one per container that the scan accepts and TagLib reads.
// Raw AAC is left out: TagLib cannot open it, so it always takes the media-player fallback.
struct Template
{
    const char *source;
    const char *suffix;
};
constexpr Template templates[] = {
    {"tagged.mp3", "mp3"}, {"tagged.flac", "flac"}, {"tagged.ogg", "ogg"}, {"tagged.m4a", "m4a"},
    {"tagged.wav", "wav"}, {"tagged.aiff", "aiff"}, {"tagged.wma", "wma"}, {"tagged.m4a", "alac"},
};

QString defaultDataDir()
{
    return QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath(QStringLiteral("../tests/data/local"));
}

// root/artist-A/album-B/NNNNN.ext, ten files to an album and ten albums to an artist.
bool makeLibrary(const QString &dataDir, const QString &root, int count)
{
    QList<QByteArray> contents;
    for (const Template &t : templates) {
        QFile file(QDir(dataDir).filePath(QString::fromLatin1(t.source)));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
            return false;
        }
        contents.append(file.readAll());
    }
    constexpr int templateCount = int(sizeof(templates) / sizeof(templates[0]));
    for (int i = 0; i < count; ++i) {
        const QString folder = QStringLiteral("%1/artist-%2/album-%3").arg(root).arg(i / 100).arg(i / 10);
        if (i % 10 == 0 && !QDir().mkpath(folder))
            return false;
        const int kind = i % templateCount;
        QFile file(QStringLiteral("%1/%2.%3").arg(folder).arg(i, 5, 10, QLatin1Char('0'))
                       .arg(QString::fromLatin1(templates[kind].suffix)));
        if (!file.open(QIODevice::WriteOnly) || file.write(contents.at(kind)) != contents.at(kind).size())
            return false;
    }
    return true;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QStringLiteral("unknown\n");
}

struct ScanFigures
{
    int files = 0;
    int tagged = 0; // records whose title came from the tags
    double seconds = 0;
    double cpuSeconds = 0; // of this process; on a shared machine the fairer figure
    double filesPerSecond() const { return seconds > 0 ? files / seconds : 0; }
    double filesPerCpuSecond() const { return cpuSeconds > 0 ? files / cpuSeconds : 0; }
};

ScanFigures timeScan(const QString &root, ProbeMethod method)
{
    LocalMusicManager manager;
    manager.setProbeMethod(method);
    QEventLoop loop;
    QObject::connect(&manager, &LocalMusicManager::scanFinished, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    QElapsedTimer timer;
    const std::clock_t cpuStart = std::clock();
    timer.start();
    manager.startScan(root);
    if (manager.isScanning())
        loop.exec();
    ScanFigures figures;
    figures.seconds = double(timer.nsecsElapsed()) / 1e9;
    figures.cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    figures.files = int(manager.musicFiles().size());
    for (const LocalMusicFile &file : manager.musicFiles())
        figures.tagged += file.title == QLatin1String("Morning Song") ? 1 : 0;
    return figures;
}

void print(const char *label, const ScanFigures &figures)
{
    std::printf("%-14s %6d files (%6d with tags) in %8.3f s: %10.1f files/s (%.1f files per CPU second)\n",
        label, figures.files, figures.tagged, figures.seconds, figures.filesPerSecond(), figures.filesPerCpuSecond());
}

} // namespace

// A scan folder holding one link out of it, to /usr (thousands of folders): how long startScan
// holds its caller, and the longest turn of the event loop until the scan ends.
void timeLinkOut()
{
    QTemporaryDir dir;
    if (!QDir(QStringLiteral("/usr")).exists()
        || !QFile::link(QStringLiteral("/usr"), dir.filePath(QStringLiteral("usr"))))
        return;
    LocalMusicManager manager;
    manager.setProbeMethod(ProbeMethod::TagLibOnly);
    bool finished = false;
    QObject::connect(&manager, &LocalMusicManager::scanFinished, &manager, [&finished] { finished = true; });
    qint64 longestTurn = 0;
    QElapsedTimer sinceTick;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout, &manager, [&] { longestTurn = qMax(longestTurn, sinceTick.restart()); });
    QElapsedTimer total;
    total.start();
    manager.startScan(dir.path());
    const qint64 held = total.elapsed();
    sinceTick.start();
    ticks.start();
    while (!finished && total.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ticks.stop();
    std::printf("link to /usr: startScan held its caller %lld ms, longest later turn %lld ms, %lld files, done "
                "after %lld ms\n",
                static_cast<long long>(held), static_cast<long long>(longestTurn),
                static_cast<long long>(manager.musicFiles().size()), static_cast<long long>(total.elapsed()));
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times a local-library scan with both probes."));
    parser.addHelpOption();
    const QCommandLineOption filesOption(QStringLiteral("files"), QStringLiteral("Files in the library."),
        QStringLiteral("N"), QStringLiteral("2000"));
    const QCommandLineOption playerOption(QStringLiteral("player-files"),
        QStringLiteral("Files scanned with the media player (default: all)."), QStringLiteral("M"));
    const QCommandLineOption dataOption(QStringLiteral("data"), QStringLiteral("Folder of the template files."),
        QStringLiteral("DIR"), defaultDataDir());
    parser.addOptions({filesOption, playerOption, dataOption});
    parser.process(app);

    bool ok = false;
    const int files = parser.value(filesOption).toInt(&ok);
    if (!ok || files < 1) {
        std::fprintf(stderr, "--files needs a positive number\n");
        return 2;
    }
    const int playerFiles = parser.isSet(playerOption) ? parser.value(playerOption).toInt(&ok) : files;
    if (!ok || playerFiles < 0 || playerFiles > files) {
        std::fprintf(stderr, "--player-files needs a number from 0 to --files\n");
        return 2;
    }

    QTemporaryDir dir;
    const QString tagLibRoot = dir.filePath(QStringLiteral("library"));
    const QString playerRoot = dir.filePath(QStringLiteral("player-library"));
    if (!dir.isValid() || !makeLibrary(parser.value(dataOption), tagLibRoot, files)
        || !makeLibrary(parser.value(dataOption), playerRoot, playerFiles)) {
        std::fprintf(stderr, "cannot build the library\n");
        return 1;
    }

    // Debug lines of the manager would dominate the figures.
    qSetMessagePattern(QString());
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg && type != QtInfoMsg && type != QtWarningMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });

    timeScan(tagLibRoot, ProbeMethod::TagLibOnly); // warms the page cache
    const ScanFigures tagLib = timeScan(tagLibRoot, ProbeMethod::TagLibOnly);
    print("TagLib", tagLib);
    timeLinkOut();
    if (playerFiles == 0)
        return 0;
    timeScan(playerRoot, ProbeMethod::TagLibOnly); // same warm cache for the player's files
    const ScanFigures player = timeScan(playerRoot, ProbeMethod::MediaPlayerOnly);
    print("media player", player);
    if (player.filesPerSecond() > 0)
        std::printf("TagLib is %.0f times faster\n", tagLib.filesPerSecond() / player.filesPerSecond());
    std::printf("load average at the end: %s", qPrintable(loadAverage()));
    return 0;
}
