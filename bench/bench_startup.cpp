// Start-up with a large stored local library: the time from start to a visible window whose
// local page lists every file, and the time to re-add the library after one removal.
//
// Usage: bench_startup [files]   (default 10000)
// Runs headless with a private settings folder; the real user's settings are never touched.
// The library is prepared first; the start itself is measured in a fresh process, so nothing
// of the preparation (settings already parsed, files already probed) is in the figures.

#include "localmusicmanager.h"
#include "mainwindow.h"
#include "modalboxcloser.h"
#include "wavwriter.h"
#include "tagprobe.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

// One short tagged FLAC (or, without ffmpeg, a bare WAV) copied under many names: the cost
// measured is the program's, not the variety of the files.
QString makeSample(const QString &dir)
{
    const QString flac = dir + QStringLiteral("/sample.flac");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("anullsrc=r=8000:cl=mono"),
                  QStringLiteral("-t"), QStringLiteral("1"), QStringLiteral("-metadata"), QStringLiteral("title=Sample"),
                  QStringLiteral("-metadata"), QStringLiteral("artist=Bench"), QStringLiteral("-metadata"),
                  QStringLiteral("album=Numbers"), flac});
    if (ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0 && QFile::exists(flac))
        return flac;

    const QString wav = dir + QStringLiteral("/sample.wav");
    // 0.1 s of 8 kHz 16-bit mono silence.
    if (!writeWav(wav, 100, 8000, false))
        return QString();
    return wav;
}

bool waitFor(const std::function<bool()> &done)
{
    return QTest::qWaitFor(done, 600000);
}

} // namespace

// The measured start: a new process whose settings hold the prepared library.
int measure(int argc, char *argv[], int files)
{
    QApplication app(argc, argv);
    // Answers every modal box (the catalogue load fails: no server runs here).
    ModalBoxCloser closer;
    closer.start();

    QElapsedTimer clock;
    clock.start();
    MainWindow window;
    const qint64 constructed = clock.elapsed();
    auto *list = window.findChild<QListWidget *>(QStringLiteral("localMusicList"));
    auto *manager = window.findChild<LocalMusicManager *>();
    qint64 rowsCreated = 0;
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, &app,
                     [&rowsCreated](const QModelIndex &, int first, int last) { rowsCreated += last - first + 1; });
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "the window was not exposed\n");
    const qint64 visible = clock.elapsed();
    waitFor([&] { return list->count() == files; });
    const qint64 listed = clock.elapsed();

    std::printf("constructor (the files are read afterwards):  %lld ms\n", static_cast<long long>(constructed));
    std::printf("start to visible window:                       %lld ms\n", static_cast<long long>(visible));
    std::printf("start to all %d rows listed:                %lld ms\n", files, static_cast<long long>(listed));
    std::printf("rows created while listing:                    %lld (library %lld)\n",
                static_cast<long long>(rowsCreated), static_cast<long long>(manager->musicFiles().size()));

    // Remove the first row through the page's context menu: the rest is re-added one by one.
    rowsCreated = 0;
    QTimer menuDriver;
    QObject::connect(&menuDriver, &QTimer::timeout, &app, [&menuDriver] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        menuDriver.stop();
        QAction *remove = menu->actions().value(3);
        menu->close();
        if (remove)
            remove->trigger();
    });
    menuDriver.start(1);
    clock.restart();
    emit list->customContextMenuRequested(list->visualItemRect(list->item(0)).center());
    const qint64 readded = clock.elapsed();
    waitFor([&] { return list->count() == files - 1; });
    const qint64 relisted = clock.elapsed();
    std::printf("remove one and re-add the rest:                %lld ms (listed after %lld ms)\n",
                static_cast<long long>(readded), static_cast<long long>(relisted));
    std::printf("rows created after the removal:                %lld (library %lld)\n",
                static_cast<long long>(rowsCreated), static_cast<long long>(manager->musicFiles().size()));
    return 0;
}

int main(int argc, char *argv[])
{
    if (argc > 2 && QByteArray(argv[1]) == "--measure")
        return measure(argc, argv, QByteArray(argv[2]).toInt());

    const int files = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    if (files < 2) {
        std::fprintf(stderr, "usage: bench_startup [files]   (at least 2)\n");
        return 2;
    }

    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    if (qEnvironmentVariableIsEmpty("VELORA_SERVER_URL"))
        qputenv("VELORA_SERVER_URL", "http://127.0.0.1:9");
    // The program's own debug lines would dominate the figures on a terminal.
    qputenv("QT_LOGGING_RULES", "default.debug=false");

    QCoreApplication app(argc, argv);
    const QString music = home.filePath(QStringLiteral("music"));
    QDir().mkpath(music);
    const QString sample = makeSample(home.path());
    if (sample.isEmpty()) {
        std::fprintf(stderr, "cannot write the sample file\n");
        return 1;
    }
    const QString suffix = QFileInfo(sample).suffix();
    QVariantList stored;
    stored.reserve(files);
    for (int i = 0; i < files; ++i) {
        const QString path = music + QStringLiteral("/%1.%2").arg(i, 5, 10, QLatin1Char('0')).arg(suffix);
        if (!QFile::copy(sample, path)) {
            std::fprintf(stderr, "cannot copy the sample file\n");
            return 1;
        }
        stored.append(QVariantMap{{QStringLiteral("filePath"), path}});
    }
    {
        QSettings settings(QStringLiteral("Velora"), QStringLiteral("VeloraPlayer"));
        settings.setValue(QStringLiteral("localMusic/scanPath"), music);
        settings.setValue(QStringLiteral("localMusic/musicFiles"), stored);
        settings.setValue(QStringLiteral("localMusic/fileCount"), files);
    }
    std::printf("stored library: %d %s files\n", files, qPrintable(suffix));

    // The tag reading alone, for comparison (the files are in the page cache from here on,
    // as they are for the measured start).
    QElapsedTimer clock;
    clock.start();
    for (const QVariant &element : std::as_const(stored))
        probeAudioFile(element.toMap().value(QStringLiteral("filePath")).toString());
    std::printf("reading the tags of %d files alone:         %lld ms\n", files,
                static_cast<long long>(clock.elapsed()));
    std::fflush(stdout);

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure"), QString::number(files)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::fprintf(stderr, "the measured start failed\n");
        return 1;
    }
    return 0;
}
