#pragma once

#include "models.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QLockFile;
class QSqlError;
class QSqlQuery;

// The catalogue's storage: albums, songs with their play counts, embedded covers and the
// imported media folder, in one Qt SQL connection of its own. The same schema runs on SQLite
// (a file) and on PostgreSQL (a "postgresql://" address), so many listeners can share one
// catalogue. Every call reports failure through its result; lastError() says why.
class CatalogueDatabase : public QObject
{
    Q_OBJECT

public:
    enum class Backend { SQLite, PostgreSQL };

    // What the import needs to know about a song already in the catalogue.
    struct StoredFile
    {
        int id = 0;
        int albumId = 0;
        qint64 size = -1;
        qint64 modified = -1; // milliseconds since the epoch
        QString lyrics;
    };

    struct AlbumInfo
    {
        QString key; // what makes an album one album (its tag, or its folder)
        QString name;
        QString artist;
        int year = 0;
    };

    explicit CatalogueDatabase(QObject *parent = nullptr);
    ~CatalogueDatabase() override;

    // A file path (SQLite, created when missing) or
    // "postgresql://[user[:password]@]host[:port]/database". Creates the schema when needed.
    bool open(const QString &location);
    void close();
    bool isOpen() const;
    Backend backend() const { return m_backend; }
    QString lastError() const { return m_lastError; }
    // Whether the last failure was only a lock held by another connection (an import writing):
    // the same call may succeed a moment later.
    bool lastErrorWasBusy() const { return m_lastErrorBusy; }
    // How long one statement waits for another connection's lock before it fails as busy.
    void setBusyTimeout(int milliseconds);

    // The default database file: "catalogue.sqlite" in the user's data folder for the server.
    static QString defaultLocation();

    // Reading, for the API. Album song counts are counted, not stored.
    bool albums(QList<Album> *out);
    bool album(int id, Album *out, bool *found);
    bool songs(int albumId, QList<Song> *out); // albumId 0 = every song
    // Terms longer than MaxSearchTermLength fail: the pattern matcher refuses very long ones.
    bool search(const QString &term, QList<Song> *out);
    static constexpr int MaxSearchTermLength = 1000;
    bool song(int id, Song *out, bool *found);
    bool artistRanking(QJsonArray *out);
    bool songRanking(int limit, QList<Song> *out);
    // Atomic, so concurrent listeners never lose a count. *newCount is -1 for an unknown id.
    bool incrementPlayCount(int id, int *newCount);
    bool embeddedCover(int albumId, QByteArray *data, QString *mimeType, bool *found);

    QString mediaRoot();
    bool setMediaRoot(const QString &path);

    // Writing, for the import. One import at a time: lockForImport() fails with a message
    // naming the other import while one holds the catalogue (a lock file beside a SQLite file, an
    // advisory lock on PostgreSQL; both go when their process dies, however it dies).
    bool lockForImport();
    void unlockImport();
    bool beginTransaction();
    bool commit();
    void rollback();
    bool storedFiles(QHash<QString, StoredFile> *out);
    // Finds the album by key or creates it; refreshes its name, artist and (when known) year.
    bool ensureAlbum(const AlbumInfo &info, int *albumId);
    // Inserts (song.id <= 0) or updates a song; an update never touches play_count.
    bool saveSong(Song *song, qint64 size, qint64 modified);
    bool setLyrics(int songId, const QString &lyrics);
    bool removeSong(int songId);
    bool removeEmptyAlbums(int *removed);
    bool albumIds(QList<int> *out);
    bool setAlbumArtist(int albumId, const QString &artist);
    bool setAlbumCover(int albumId, const QString &cover);
    bool setEmbeddedCover(int albumId, const QByteArray &data, const QString &mimeType);
    bool clearEmbeddedCover(int albumId);

private:
    bool createSchema();
    bool exec(QSqlQuery &query, const char *what);
    bool exec(const QString &sql, const char *what);
    void noteError(const QSqlError &error, const char *what);
    bool isBusy(const QSqlError &error) const;
    bool readSongs(QSqlQuery &query, QList<Song> *out);
    QString songColumns() const;

    QString m_connectionName;
    QString m_location;
    std::unique_ptr<QLockFile> m_importLock;
    bool m_advisoryLocked = false;
    Backend m_backend = Backend::SQLite;
    QString m_lastError;
    bool m_lastErrorBusy = false;
};
