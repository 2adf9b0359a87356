#include "fontcheck.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace FontCheck {

QString undrawable(const QString &text, const QFont &font)
{
    // Qt falls back from the requested font to any family with the glyph; the families that
    // declare Simplified Chinese are where fallback finds the interface's texts.
    QList<QFontMetrics> candidates { QFontMetrics(font) };
    const QStringList families = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString &family : families)
        candidates.append(QFontMetrics(QFont(family)));

    QString missing;
    const QList<uint> codePoints = text.toUcs4();
    for (uint c : codePoints) {
        if (QChar::isSpace(char32_t(c)))
            continue;
        bool drawn = false;
        for (const QFontMetrics &metrics : std::as_const(candidates)) {
            if (metrics.inFontUcs4(c)) {
                drawn = true;
                break;
            }
        }
        const QString character = QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
        if (!drawn && !missing.contains(character))
            missing += character;
    }
    return missing;
}

QString missingFontMessage(const QString &text, const QFont &font)
{
    const QString missing = undrawable(text, font);
    if (missing.isEmpty())
        return QString();
    return QStringLiteral("this machine has no font that draws \"%1\" (from \"%2\"): install a font with "
                          "Simplified Chinese glyphs, e.g. the Debian package fonts-noto-cjk "
                          "(scripts/install-deps.sh does)")
        .arg(missing, text);
}

} // namespace FontCheck
