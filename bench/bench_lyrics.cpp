// Times the lyrics widget's three hot paths: parsing LRC text, the current-line lookup made on
// every position report, and one paint of the lyrics page's widget. Prints figures; asserts nothing.
//
//   bench_lyrics [--lines N]
//
// N, the lines of the large text, defaults to 5000; a typical song has about 80.

#include "lyricswidget.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

QString lyricsText(int lines)
{
    QString lrc = QStringLiteral("[ti:Bench]\n[ar:Nobody]\n");
    for (int i = 0; i < lines; ++i) {
        const int centis = i * 250; // a line every 2.5 s
        lrc += QStringLiteral("[%1:%2.%3]A line of lyrics number %4\r\n")
                   .arg(centis / 6000 % 100, 2, 10, QLatin1Char('0'))
                   .arg(centis / 100 % 60, 2, 10, QLatin1Char('0'))
                   .arg(centis % 100, 2, 10, QLatin1Char('0'))
                   .arg(i);
    }
    return lrc;
}

// Runs the body repeatedly for at least 200 ms; returns microseconds per run.
template <typename Body> double timePerRun(Body body)
{
    QElapsedTimer timer;
    timer.start();
    qint64 runs = 0;
    do {
        body(runs);
        ++runs;
    } while (timer.elapsed() < 200);
    return double(timer.nsecsElapsed()) / 1000.0 / double(runs);
}

void measure(LyricsWidget &w, int lines)
{
    const QString text = lyricsText(lines);
    const double parseUs = timePerRun([&](qint64) { w.setLyrics(text); });
    const qint64 span = qint64(lines) * 2500;
    const double lookupUs = timePerRun([&](qint64 run) { w.updatePosition(run * 100 % (span + 1)); });

    w.updatePosition(span / 2);
    QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
    const double paintUs = timePerRun([&](qint64) {
        image.fill(Qt::transparent);
        w.render(&image);
    });
    // Before the first tag every line is drawn, visible or not.
    w.updatePosition(-1);
    const double paintAllUs = timePerRun([&](qint64) {
        image.fill(Qt::transparent);
        w.render(&image);
    });
    std::printf("%6d lines: parse %9.1f us, lookup %8.2f us per report, paint %8.1f us with a current line, "
                "%9.1f us before the first (%dx%d)\n",
        lines, parseUs, lookupUs, paintUs, paintAllUs, w.width(), w.height());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    QCommandLineOption linesOption(QStringLiteral("lines"), QStringLiteral("Lines of the large text."),
        QStringLiteral("N"), QStringLiteral("5000"));
    parser.addOption(linesOption);
    parser.addHelpOption();
    parser.process(app);

    // The size the widget has on the lyrics page of the fixed-size window.
    LyricsWidget w;
    w.resize(710, 330);
    w.show();
    QCoreApplication::processEvents();

    measure(w, 80);
    measure(w, parser.value(linesOption).toInt());
    return 0;
}
