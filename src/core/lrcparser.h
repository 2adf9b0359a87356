#pragma once

#include <QList>
#include <QMap>
#include <QString>

// One line of LRC lyrics. Untimed lines (no valid time tag) carry time -1.
struct LyricLine
{
    qint64 time = -1; // start in milliseconds, offset applied; -1 = no time tag
    QString text; // trimmed; never empty
};

// LRC text as the lyrics page shows it: sung lines sorted by time, metadata apart.
struct ParsedLyrics
{
    // Timed lines in time order (a line with several tags once per tag; equal times keep the
    // text's order); an untimed line stays after the line it follows in the text.
    QList<LyricLine> lines;
    // Times of tags without text: pauses where no line is being sung.
    QList<qint64> gaps;
    // "[key:value]" tags ("ti", "ar", "al", "by", "offset", ...), keys in lower case.
    QMap<QString, QString> metadata;
    qint64 offsetMs = 0; // from "[offset:N]": positive shows every line N ms earlier
    bool hasTimestamps = false; // a valid time tag was seen, even one without text
};

// The latest time a tag can name ("[999:99.999]"), and the largest offset taken either way (a
// day); a larger offset is nonsense and ignored. Every parsed time lies in 0..LatestLrcTagMs +
// MaxLrcOffsetMs.
constexpr qint64 LatestLrcTagMs = (999 * 60 + 99) * 1000 + 999;
constexpr qint64 MaxLrcOffsetMs = 24 * 60 * 60 * 1000;

// Parses LRC text. Time tags are "[m:ss]", "[m:ss.f]", "[m:ss.ff]" or "[m:ss.fff]" (a colon may
// stand for the point; minutes of one to three digits), several may lead one line; a line made of
// one "[key:value]" tag is metadata and never sung. Blank lines are dropped, text trimmed.
ParsedLyrics parseLrc(const QString &lrcText);

// The index in lines of the line being sung at positionMs: the last timed line whose time has
// come, or -1. lines must be sorted as parseLrc sorts them.
int currentLyricLine(const QList<LyricLine> &lines, qint64 positionMs);

// Whether positionMs falls in a pause after the line at index current (a gap after its time
// that has come).
bool inLyricGap(const ParsedLyrics &lyrics, int current, qint64 positionMs);
