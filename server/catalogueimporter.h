#pragma once

#include "models.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class CatalogueDatabase;

// Indexes one music folder into the catalogue: songs from the audio files' tags (one album per
// album tag and album artist tag; without an album artist tag, one per album tag within a folder,
// named after its one artist or "Various Artists" (a compilation); one per folder when untagged), covers from the
// folder's image or the embedded picture, lyrics from an .lrc file beside the audio file. Re-importing refreshes what
// changed, keeps play counts and drops songs whose files are gone.
//
// It writes in short transactions of BatchFiles files, reading tags outside them, so a server
// on the same catalogue keeps counting plays during an import. An import that stops half way
// (an error, a kill) leaves every song it had not reached as it was, play counts included, and
// removes nothing: songs whose files are gone go only after the whole folder has been read. The
// next import finishes the job. Only one import runs at a time on a catalogue.
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

    static constexpr int BatchFiles = 100;

    bool importFolder(const QString &folder, Report *report);

signals:
    // After each stored batch.
    void progress(int filesDone, int filesTotal);

public:
    QString lastError() const { return m_lastError; }

    static const QStringList &audioExtensions();
    // The lyrics text of an .lrc file: UTF-8 (with or without BOM), else GB18030, else Latin-1.
    static QString decodeLyrics(const QByteArray &bytes);
    // The artist an album without an album artist tag is listed under: its songs' one artist
    // (letter case aside), else VariousArtists; empty when no song names one.
    static QString albumArtistOf(const QList<Song> &songs);
    static constexpr const char *VariousArtists = "Various Artists";

private:
    QStringList collectFiles(const QString &root, Report *report);
    bool importFiles(const QString &root, Report *report);
    bool refreshCovers(const QString &root);
    bool settleAlbumArtists(const QSet<int> &albumIds);
    bool runBatch(const std::function<bool()> &writes, const QString &where);
    bool fail(const QString &message);

    CatalogueDatabase *m_database;
    QString m_lastError;
};
