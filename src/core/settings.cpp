#include "settings.h"

#include <QVariant>
#include <QVariantMap>

namespace {

const QString AutoStartKey = QStringLiteral("autoStart");
const QString AutoPlayKey = QStringLiteral("autoPlay");
const QString DarkModeKey = QStringLiteral("darkMode");
const QString LanguageKey = QStringLiteral("language");
const QString DefaultLanguage = QStringLiteral("zh");

const QString ScanPathKey = QStringLiteral("localMusic/scanPath");
const QString MusicFilesKey = QStringLiteral("localMusic/musicFiles");
const QString FileCountKey = QStringLiteral("localMusic/fileCount");

QVariantMap toStoredMap(const LocalMusicFile &file)
{
    QVariantMap map;
    map.insert(QStringLiteral("filePath"), file.filePath);
    map.insert(QStringLiteral("fileName"), file.fileName);
    map.insert(QStringLiteral("title"), file.title);
    map.insert(QStringLiteral("artist"), file.artist);
    map.insert(QStringLiteral("album"), file.album);
    map.insert(QStringLiteral("duration"), file.duration);
    map.insert(QStringLiteral("fileType"), file.fileType);
    return map;
}

} // namespace

Settings::Settings()
    : m_store(QStringLiteral("Velora"), QStringLiteral("VeloraPlayer"))
{
}

bool Settings::autoStart() const
{
    return m_store.value(AutoStartKey, false).toBool();
}

void Settings::setAutoStart(bool enabled)
{
    m_store.setValue(AutoStartKey, enabled);
}

bool Settings::autoPlay() const
{
    return m_store.value(AutoPlayKey, false).toBool();
}

void Settings::setAutoPlay(bool enabled)
{
    m_store.setValue(AutoPlayKey, enabled);
}

bool Settings::darkMode() const
{
    return m_store.value(DarkModeKey, false).toBool();
}

void Settings::setDarkMode(bool enabled)
{
    m_store.setValue(DarkModeKey, enabled);
}

QString Settings::language() const
{
    return m_store.value(LanguageKey, DefaultLanguage).toString();
}

void Settings::setLanguage(const QString &code)
{
    m_store.setValue(LanguageKey, code);
}

QString Settings::localScanPath() const
{
    return m_store.value(ScanPathKey, QString()).toString();
}

void Settings::setLocalScanPath(const QString &path)
{
    m_store.setValue(ScanPathKey, path);
}

QVariant Settings::storedLocalFileCount() const
{
    return m_store.value(FileCountKey);
}

QVariantList Settings::storedLocalFiles() const
{
    return m_store.value(MusicFilesKey).toList();
}

void Settings::setStoredLocalLibrary(const QList<LocalMusicFile> &files)
{
    QVariantList list;
    list.reserve(files.size());
    for (const LocalMusicFile &file : files)
        list.append(toStoredMap(file));
    m_store.setValue(MusicFilesKey, list);
    m_store.setValue(FileCountKey, qlonglong(files.size()));
}

void Settings::removeStoredLocalLibrary()
{
    m_store.remove(MusicFilesKey);
    m_store.remove(FileCountKey);
}

QString Settings::catalogueKeyName(CatalogueKey key)
{
    switch (key) {
    case CatalogueKey::ServerUrl:
        return QStringLiteral("server/baseUrl");
    case CatalogueKey::TrustedCertificates:
        return QStringLiteral("server/trustedCertificates");
    case CatalogueKey::SkipCertificateCheck:
        return QStringLiteral("server/skipCertificateCheck");
    case CatalogueKey::TransferTimeoutMs:
        return QStringLiteral("server/transferTimeoutMs");
    case CatalogueKey::RequestDeadlineMs:
        return QStringLiteral("server/requestDeadlineMs");
    case CatalogueKey::AnswerTimeoutMs:
        return QStringLiteral("server/answerTimeoutMs");
    }
    return QString();
}

QString Settings::catalogueValue(CatalogueKey key) const
{
    return m_store.value(catalogueKeyName(key)).toString();
}

void Settings::sync()
{
    m_store.sync();
}

QSettings::Status Settings::status() const
{
    return m_store.status();
}

QString Settings::fileName() const
{
    return m_store.fileName();
}
