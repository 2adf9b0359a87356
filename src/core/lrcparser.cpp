#include "lrcparser.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

// ASCII digits only: full-width digits are text, not a time.
const QRegularExpression &timeTag()
{
    static const QRegularExpression tag(QStringLiteral("\\[([0-9]{1,3}):([0-9]{1,2})(?:[.:]([0-9]{1,3}))?\\]"));
    return tag;
}

const QRegularExpression &metadataTag()
{
    static const QRegularExpression tag(QStringLiteral("^\\[([A-Za-z#][A-Za-z0-9_#-]*):([^\\]]*)\\]$"));
    return tag;
}

qint64 tagTime(const QRegularExpressionMatch &match)
{
    const qint64 minutes = match.capturedView(1).toInt();
    const qint64 seconds = match.capturedView(2).toInt();
    qint64 fraction = 0;
    if (match.hasCaptured(3)) {
        // One digit is tenths, two hundredths, three thousandths.
        const QStringView digits = match.capturedView(3);
        fraction = digits.toInt();
        for (qsizetype i = digits.size(); i < 3; ++i)
            fraction *= 10;
    }
    return (minutes * 60 + seconds) * 1000 + fraction;
}

struct PendingLine
{
    LyricLine line;
    qint64 sortKey; // its own time, or for an untimed line the time of the timed line before it
};

} // namespace

ParsedLyrics parseLrc(const QString &lrcText)
{
    ParsedLyrics parsed;
    QList<PendingLine> pending;
    QList<qint64> rawGaps;
    qint64 lastTime = -1;

    const QStringList parts = lrcText.split(QLatin1Char('\n'));
    for (const QString &part : parts) {
        const QString trimmed = part.trimmed(); // also drops the CR of CR LF text
        if (trimmed.isEmpty())
            continue;

        QRegularExpressionMatch match = timeTag().match(trimmed);
        if (!match.hasMatch()) {
            const QRegularExpressionMatch meta = metadataTag().match(trimmed);
            if (meta.hasMatch()) {
                parsed.metadata.insert(meta.captured(1).toLower(), meta.captured(2).trimmed());
                continue;
            }
            pending.append({ LyricLine { -1, trimmed }, lastTime });
            continue;
        }

        // Text before the first tag is not sung; the tags that follow one another all count.
        QList<qint64> times;
        qsizetype end = match.capturedStart();
        while (match.hasMatch() && match.capturedStart() == end) {
            times.append(tagTime(match));
            end = match.capturedEnd();
            match = timeTag().match(trimmed, end);
        }
        parsed.hasTimestamps = true;
        const QString text = trimmed.mid(end).trimmed();
        for (qint64 time : std::as_const(times)) {
            if (text.isEmpty())
                rawGaps.append(time);
            else
                pending.append({ LyricLine { time, text }, time });
        }
        lastTime = *std::max_element(times.cbegin(), times.cend());
    }

    bool ok = false;
    const qint64 offset = parsed.metadata.value(QStringLiteral("offset")).toLongLong(&ok);
    parsed.offsetMs = ok && offset >= -MaxLrcOffsetMs && offset <= MaxLrcOffsetMs ? offset : 0;
    auto shifted = [&parsed](qint64 time) { return time < 0 ? time : std::max<qint64>(0, time - parsed.offsetMs); };

    std::stable_sort(pending.begin(), pending.end(),
        [](const PendingLine &a, const PendingLine &b) { return a.sortKey < b.sortKey; });
    parsed.lines.reserve(pending.size());
    for (const PendingLine &p : std::as_const(pending))
        parsed.lines.append(LyricLine { shifted(p.line.time), p.line.text });
    for (qint64 gap : std::as_const(rawGaps))
        parsed.gaps.append(shifted(gap));
    std::sort(parsed.gaps.begin(), parsed.gaps.end());
    return parsed;
}

int currentLyricLine(const QList<LyricLine> &lines, qint64 positionMs)
{
    int current = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const qint64 time = lines.at(i).time;
        if (time < 0)
            continue;
        if (time > positionMs)
            break;
        current = i;
    }
    return current;
}

bool inLyricGap(const ParsedLyrics &lyrics, int current, qint64 positionMs)
{
    const qint64 since = current >= 0 && current < lyrics.lines.size() ? lyrics.lines.at(current).time : -1;
    return std::any_of(
        lyrics.gaps.begin(), lyrics.gaps.end(), [&](qint64 gap) { return gap > since && gap <= positionMs; });
}
