#include "cataloguepaths.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace CataloguePaths {

namespace {
    const QString EmbeddedCoverPrefix = QStringLiteral(".covers/");
}

bool isSafeRelativePath(const QString &relative)
{
    return whyNotServed(relative).isEmpty();
}

QString whyNotServed(const QString &relative)
{
    if (relative.isEmpty())
        return QStringLiteral("the path is empty");
    if (relative.startsWith(QLatin1Char('/')))
        return QStringLiteral("the path is absolute");
    for (const QChar c : relative) {
        if (c == QLatin1Char('\\'))
            return QStringLiteral("its name holds a backslash");
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return QStringLiteral("its name holds a line break");
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("its name holds a control character (U+%1)")
                .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')));
    }
    const QStringList parts = relative.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty())
            return QStringLiteral("the path has an empty part");
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return QStringLiteral("the path has a \".\" or \"..\" part");
        if (part.startsWith(QLatin1Char('.')))
            return QStringLiteral("it is hidden (\"%1\" starts with a dot)").arg(part);
    }
    return QString();
}

bool isInside(const QString &canonicalRoot, const QString &canonicalPath)
{
    if (canonicalRoot.isEmpty() || canonicalPath.isEmpty())
        return false;
    const QString prefix = canonicalRoot.endsWith(QLatin1Char('/')) ? canonicalRoot : canonicalRoot + QLatin1Char('/');
    return canonicalPath.startsWith(prefix) && canonicalPath.size() > prefix.size();
}

QString embeddedCoverPath(int albumId, const QString &suffix)
{
    return EmbeddedCoverPrefix + QString::number(albumId) + QLatin1Char('.') + suffix;
}

int albumIdOfEmbeddedCover(const QString &relative)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.covers/([1-9][0-9]{0,8})\\.(jpg|png)$"));
    const QRegularExpressionMatch match = pattern.match(relative);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QByteArray contentTypeFor(const QString &fileName)
{
    static const QHash<QString, QByteArray> types = {
        { QStringLiteral("mp3"), "audio/mpeg" },
        { QStringLiteral("flac"), "audio/flac" },
        { QStringLiteral("wav"), "audio/wav" },
        { QStringLiteral("m4a"), "audio/mp4" },
        { QStringLiteral("alac"), "audio/mp4" },
        { QStringLiteral("aac"), "audio/aac" },
        { QStringLiteral("ogg"), "audio/ogg" },
        { QStringLiteral("oga"), "audio/ogg" },
        { QStringLiteral("opus"), "audio/ogg" },
        { QStringLiteral("wma"), "audio/x-ms-wma" },
        { QStringLiteral("aiff"), "audio/aiff" },
        { QStringLiteral("aif"), "audio/aiff" },
        { QStringLiteral("jpg"), "image/jpeg" },
        { QStringLiteral("jpeg"), "image/jpeg" },
        { QStringLiteral("png"), "image/png" },
        { QStringLiteral("gif"), "image/gif" },
        { QStringLiteral("webp"), "image/webp" },
        { QStringLiteral("bmp"), "image/bmp" },
        { QStringLiteral("lrc"), "text/plain; charset=utf-8" },
        { QStringLiteral("txt"), "text/plain; charset=utf-8" },
    };
    return types.value(QFileInfo(fileName).suffix().toLower(), QByteArrayLiteral("application/octet-stream"));
}

} // namespace CataloguePaths
