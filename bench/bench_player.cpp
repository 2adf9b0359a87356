// Start latency of MusicPlayer on this machine's media backend: from play() to the announced
// duration and to the first position past 0, for a fresh entry and for a restart of the loaded
// entry (which reloads the source). Prints medians; not a test.
#include "musicplayer.h"
#include "wavwriter.h"

#include <QApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int Runs = 15;
constexpr int ClipMs = 400;
constexpr int WaitLimitMs = 3000;

struct Sample
{
    qint64 durationMs = -1;
    qint64 positionMs = -1;
};

// Runs start() and waits for a positive duration and a position past 0.
template <typename Start>
Sample measure(MusicPlayer &player, Start start)
{
    Sample sample;
    QEventLoop loop;
    QElapsedTimer clock;
    QObject context;
    QObject::connect(&player, &MusicPlayer::durationChanged, &context, [&](qint64 duration) {
        if (duration > 0 && sample.durationMs < 0)
            sample.durationMs = clock.elapsed();
        if (sample.durationMs >= 0 && sample.positionMs >= 0)
            loop.quit();
    });
    QObject::connect(&player, &MusicPlayer::positionChanged, &context, [&](qint64 position) {
        if (position > 0 && sample.positionMs < 0)
            sample.positionMs = clock.elapsed();
        if (sample.durationMs >= 0 && sample.positionMs >= 0)
            loop.quit();
    });
    QTimer::singleShot(WaitLimitMs, &context, [&loop]() { loop.quit(); });
    clock.start();
    start();
    if (sample.durationMs < 0 || sample.positionMs < 0)
        loop.exec();
    return sample;
}

void report(const char *label, QList<Sample> samples)
{
    QList<qint64> durations;
    QList<qint64> positions;
    int missed = 0;
    for (const Sample &sample : samples) {
        if (sample.durationMs < 0 || sample.positionMs < 0) {
            ++missed;
            continue;
        }
        durations.append(sample.durationMs);
        positions.append(sample.positionMs);
    }
    std::sort(durations.begin(), durations.end());
    std::sort(positions.begin(), positions.end());
    if (durations.isEmpty()) {
        std::printf("%-28s no sample completed (%d missed)\n", label, missed);
        return;
    }
    std::printf("%-28s duration known after %3lld ms median (max %3lld), first position after %3lld ms median "
                "(max %3lld); %d of %d runs\n",
                label, static_cast<long long>(durations.at(durations.size() / 2)),
                static_cast<long long>(durations.last()), static_cast<long long>(positions.at(positions.size() / 2)),
                static_cast<long long>(positions.last()), int(durations.size()), int(samples.size()));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The player's per-start debug lines would drown the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.wav"));
    const QString b = dir.filePath(QStringLiteral("b.wav"));
    if (!dir.isValid() || !writeWav(a, ClipMs, 8000, false) || !writeWav(b, ClipMs, 8000, false)) {
        std::fprintf(stderr, "cannot write the clips\n");
        return 1;
    }

    MusicPlayer player;
    Song first;
    first.id = -1;
    first.title = QStringLiteral("a");
    first.filePath = a;
    Song second = first;
    second.title = QStringLiteral("b");
    second.filePath = b;
    player.setPlaylist({first, second});

    QList<Sample> fresh;
    QList<Sample> restart;
    for (int i = 0; i < Runs; ++i) {
        fresh.append(measure(player, [&player, i]() { player.play(i % 2); }));
        restart.append(measure(player, [&player]() { player.play(-1); }));
    }
    std::printf("MusicPlayer start latency, %d ms WAV clips, %d runs each\n", ClipMs, Runs);
    report("start of another entry", fresh);
    report("restart of the loaded entry", restart);

    // After a media error: how long each following next(), play() and the player's destruction
    // hold the caller (the window's event loop) in the backend.
    {
        auto broken = std::make_unique<MusicPlayer>();
        Song missing = first;
        missing.filePath = dir.filePath(QStringLiteral("missing.wav"));
        broken->setPlaylist({missing, first, second});
        bool failed = false;
        QObject::connect(broken.get(), &MusicPlayer::error, broken.get(), [&failed] { failed = true; });
        broken->play(0);
        QElapsedTimer wait;
        wait.start();
        while (!failed && wait.elapsed() < WaitLimitMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        QElapsedTimer call;
        call.start();
        broken->next();
        const qint64 nextMs = call.restart();
        broken->play(0);
        const qint64 playMs = call.restart();
        QTimer::singleShot(300, broken.get(), [] {});
        wait.restart();
        while (wait.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        call.restart();
        broken.reset();
        const qint64 quitMs = call.elapsed();
        std::printf("after a media error:  next() %lld ms, play() %lld ms, destruction %lld ms (error %s)\n",
                    static_cast<long long>(nextMs), static_cast<long long>(playMs), static_cast<long long>(quitMs),
                    failed ? "seen" : "not seen");
    }
    return 0;
}
