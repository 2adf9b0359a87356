#include "qttranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace QtTranslation {

QString catalogueName(const QString &language)
{
    // Qt names its Simplified Chinese catalogue by region; the interface's code has none.
    return language == QLatin1String("zh") ? QStringLiteral("qtbase_zh_CN") : QStringLiteral("qtbase_") + language;
}

QStringList searchFolders()
{
    return { QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QCoreApplication::applicationDirPath() + QStringLiteral("/translations") };
}

QString load(QTranslator *translator, const QString &language)
{
    const QString name = catalogueName(language);
    for (const QString &folder : searchFolders()) {
        if (translator->load(name, folder))
            return QDir(folder).filePath(name + QStringLiteral(".qm"));
    }
    return QString();
}

} // namespace QtTranslation
