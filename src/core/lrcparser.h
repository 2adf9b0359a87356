#pragma once

#include <QList>
#include <QString>

// One line of LRC lyrics. Untimed lines (no valid time tag) carry time -1.
struct LyricLine
{
    qint64 time = -1; // start in milliseconds; -1 = no time tag
    QString text; // trimmed; never empty for a timed line
};

// LRC text split into lines, in text order (not sorted by time).
struct ParsedLyrics
{
    QList<LyricLine> lines;
    bool hasTimestamps = false; // a valid time tag was seen, even one without text
};

// Parses LRC text: one "[mm:ss]" or "[mm:ss.xx]" tag per line, blank lines dropped, text trimmed;
// a line without a valid tag is kept untimed.
ParsedLyrics parseLrc(const QString &lrcText);
