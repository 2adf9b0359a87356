#pragma once

#include "models.h"

#include <QList>
#include <QSettings>
#include <QString>
#include <QStringList>

// The program's settings store (QSettings "Velora"/"VeloraPlayer") behind one typed accessor per
// setting: the only place where the keys are spelt. Every instance reads and writes the same store.
class Settings
{
public:
    Settings();

    bool autoStart() const;
    void setAutoStart(bool enabled);
    bool autoPlay() const;
    void setAutoPlay(bool enabled);
    // True selects the light sheet: the key's name predates the two themes' names.
    bool darkMode() const;
    void setDarkMode(bool enabled);
    // "zh" (the default) or "en".
    QString language() const;
    void setLanguage(const QString &code);

    // The local library: the folder last scanned and the files found there.
    QString localScanPath() const;
    void setLocalScanPath(const QString &path);
    // The count written with the stored list, as stored (the library judges what it says), and
    // the stored entries, one map per file.
    QVariant storedLocalFileCount() const;
    QVariantList storedLocalFiles() const;
    void setStoredLocalLibrary(const QList<LocalMusicFile> &files);
    void removeStoredLocalLibrary();

    // The catalogue connection; the environment variables named by CatalogueConfig win over these.
    enum class CatalogueKey {
        ServerUrl,
        TrustedCertificates,
        SkipCertificateCheck,
        TransferTimeoutMs,
        RequestDeadlineMs,
        AnswerTimeoutMs
    };
    static QString catalogueKeyName(CatalogueKey key);
    QString catalogueValue(CatalogueKey key) const;

    // Writes pending changes now; status() and fileName() tell whether that worked and where.
    void sync();
    QSettings::Status status() const;
    QString fileName() const;

private:
    QSettings m_store;
};
