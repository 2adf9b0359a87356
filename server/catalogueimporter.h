#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class CatalogueDatabase;

// Indexes one music folder into the catalogue: songs from the audio files' tags (one album per
// album tag and artist, or per folder when untagged), covers from the folder's image or the
// embedded picture, lyrics from an .lrc file beside the audio file. Re-importing refreshes what
// changed, keeps play counts and drops songs whose files are gone. All or nothing: a failure
// leaves the catalogue as it was.
class CatalogueImporter : public QObject
{
    Q_OBJECT

public:
    struct Report
    {
        int added = 0;
        int updated = 0;
        int unchanged = 0;
        int removed = 0;
        int albums = 0;
        int albumsRemoved = 0;
        QStringList warnings; // files skipped, with the reason
    };

    explicit CatalogueImporter(CatalogueDatabase *database, QObject *parent = nullptr);

    bool importFolder(const QString &folder, Report *report);
    QString lastError() const { return m_lastError; }

    static const QStringList &audioExtensions();
    // The lyrics text of an .lrc file: UTF-8 (with or without BOM), else GB18030, else Latin-1.
    static QString decodeLyrics(const QByteArray &bytes);

private:
    bool importFiles(const QString &root, Report *report);
    bool refreshCovers(const QString &root);
    bool fail(const QString &message);

    CatalogueDatabase *m_database;
    QString m_lastError;
};
