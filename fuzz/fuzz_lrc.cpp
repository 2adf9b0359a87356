// LRC text into lyric lines, the current-line lookup and the row layout the paint uses.
#include "fuzzsupport.h"
#include "lyricswidget.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <limits>

namespace {

constexpr qint64 LatestTagMs = LatestLrcTagMs + MaxLrcOffsetMs;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzApplication<QApplication>();
    static LyricsWidget *widget = [] {
        auto *w = new LyricsWidget;
        w->resize(400, 300);
        return w;
    }();

    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    widget->setLyrics(text);

    bool anyTimed = false;
    for (const LyricLine &line : widget->lines()) {
        FUZZ_CHECK(!line.text.isEmpty());
        FUZZ_CHECK(line.text == line.text.trimmed());
        FUZZ_CHECK(line.time == -1 || (line.time >= 0 && line.time <= LatestTagMs));
        anyTimed = anyTimed || line.time >= 0;
    }
    FUZZ_CHECK(!anyTimed || widget->hasTimestamps());

    // Positions before, inside and after every tag, including the extremes.
    const qint64 positions[] = { -1, 0, 1500, 60000, LatestTagMs, LatestTagMs + 1, std::numeric_limits<qint64>::max(),
        std::numeric_limits<qint64>::min() };
    for (const qint64 position : positions) {
        widget->updatePosition(position);
        const int current = widget->currentLine();
        FUZZ_CHECK(current >= -1 && current < widget->lines().size());
        if (current >= 0)
            FUZZ_CHECK(widget->lines().at(current).time >= 0 && widget->lines().at(current).time <= position);
        for (const LyricRow &row : widget->rowLayout())
            FUZZ_CHECK(row.line >= 0 && row.line < widget->lines().size());
    }

    // A real paint of a short text now and then (painting every input would dominate the run).
    if (size < 512 && (size % 8) == 0) {
        QImage image(widget->size(), QImage::Format_ARGB32);
        widget->render(&image);
    }
    return 0;
}
