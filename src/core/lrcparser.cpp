#include "lrcparser.h"

#include <QRegularExpression>
#include <QStringList>

ParsedLyrics parseLrc(const QString &lrcText)
{
    ParsedLyrics parsed;
    const QStringList parts = lrcText.split(QLatin1Char('\n'));

    // One tag per line: two-digit minutes and seconds, an optional two-digit fraction (hundredths).
    static const QRegularExpression tag(QStringLiteral("\\[(\\d{2}):(\\d{2})(?:[.:](\\d{2}))?\\](.*)"));

    for (const QString &part : parts) {
        const QString trimmed = part.trimmed(); // also drops the CR of CR LF text
        if (trimmed.isEmpty())
            continue;

        const QRegularExpressionMatch match = tag.match(trimmed);
        if (!match.hasMatch()) {
            parsed.lines.append(LyricLine { -1, trimmed });
            continue;
        }

        // A tag without text still says the lyrics are timed.
        parsed.hasTimestamps = true;
        const int minutes = match.capturedView(1).toInt();
        const int seconds = match.capturedView(2).toInt();
        const int hundredths = match.hasCaptured(3) ? match.capturedView(3).toInt() : 0;
        const QString text = match.captured(4).trimmed();
        if (text.isEmpty())
            continue;
        const int timeMs = (minutes * 60 + seconds) * 1000 + hundredths * 10;
        parsed.lines.append(LyricLine { timeMs, text });
    }
    return parsed;
}
