#include "cataloguedatabase.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLockFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

#include <limits>

namespace {

QAtomicInt connectionCounter;

const char *const MediaRootSetting = "media_root";

// LIKE treats % and _ as wildcards; a listener searching for "100%" means the character.
QString likePattern(const QString &term)
{
    QString escaped;
    escaped.reserve(term.size() + 2);
    for (const QChar c : term) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

// A null QString binds as SQL NULL; the text columns want the empty text instead.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

int toInt32(const QVariant &value)
{
    const qlonglong v = value.toLongLong();
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(v);
}

} // namespace

CatalogueDatabase::CatalogueDatabase(QObject *parent)
    : QObject(parent)
    , m_connectionName(QStringLiteral("velora-catalogue-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

CatalogueDatabase::~CatalogueDatabase()
{
    close();
}

QString CatalogueDatabase::defaultLocation()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.local/share");
    return dir + QStringLiteral("/Velora/catalogue.sqlite");
}

bool CatalogueDatabase::open(const QString &location)
{
    close();
    m_lastError.clear();
    m_location = location;
    const QUrl url(location, QUrl::StrictMode);
    const bool postgres
        = url.isValid() && (url.scheme() == QLatin1String("postgresql") || url.scheme() == QLatin1String("postgres"));
    QSqlDatabase db;
    if (postgres) {
        m_backend = Backend::PostgreSQL;
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
            m_lastError = QStringLiteral("the PostgreSQL driver of Qt SQL is not installed");
            return false;
        }
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        // A host given as "?host=/run/postgresql" reaches the server through its socket folder.
        const QString socketHost = QUrlQuery(url).queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
        db.setHostName(socketHost.isEmpty() ? url.host() : socketHost);
        if (url.port() > 0)
            db.setPort(url.port());
        db.setUserName(url.userName(QUrl::FullyDecoded));
        db.setPassword(url.password(QUrl::FullyDecoded));
        db.setDatabaseName(url.path(QUrl::FullyDecoded).mid(1));
        db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    } else {
        m_backend = Backend::SQLite;
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
            m_lastError = QStringLiteral("the SQLite driver of Qt SQL is not installed");
            return false;
        }
        const QFileInfo file(location);
        if (location.isEmpty() || file.isDir()) {
            m_lastError = QStringLiteral("not a database file: \"%1\"").arg(location);
            return false;
        }
        if (!QDir().mkpath(file.absolutePath())) {
            m_lastError = QStringLiteral("cannot create the folder \"%1\"").arg(file.absolutePath());
            return false;
        }
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(file.absoluteFilePath());
        // An import in another process holds the write lock for a moment; wait instead of failing.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (!db.open()) {
        m_lastError = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        return false;
    }
    if (m_backend == Backend::SQLite) {
        // Readers keep answering while an import writes; foreign keys keep songs tied to albums.
        exec(QStringLiteral("PRAGMA journal_mode=WAL"), "setting the journal mode");
        exec(QStringLiteral("PRAGMA foreign_keys=ON"), "enabling foreign keys");
        // With a write-ahead log this stays consistent after a crash; only the last play counts
        // before a power cut may be lost, for one disk flush less per counted play.
        exec(QStringLiteral("PRAGMA synchronous=NORMAL"), "setting the sync level");
    }
    if (!createSchema()) {
        const QString error = m_lastError;
        close();
        m_lastError = error;
        return false;
    }
    return true;
}

void CatalogueDatabase::close()
{
    unlockImport();
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool CatalogueDatabase::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

bool CatalogueDatabase::exec(QSqlQuery &query, const char *what)
{
    m_lastErrorBusy = false;
    if (query.exec())
        return true;
    noteError(query.lastError(), what);
    return false;
}

bool CatalogueDatabase::exec(const QString &sql, const char *what)
{
    m_lastErrorBusy = false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (query.exec(sql))
        return true;
    noteError(query.lastError(), what);
    return false;
}

void CatalogueDatabase::noteError(const QSqlError &error, const char *what)
{
    m_lastError = QStringLiteral("%1 failed: %2").arg(QLatin1String(what), error.text());
    m_lastErrorBusy = isBusy(error);
}

bool CatalogueDatabase::isBusy(const QSqlError &error) const
{
    const QString code = error.nativeErrorCode();
    if (m_backend == Backend::PostgreSQL)
        return code == QLatin1String("55P03"); // lock_not_available, from lock_timeout
    // SQLITE_BUSY and SQLITE_LOCKED, also in their extended forms.
    bool ok = false;
    const int value = code.toInt(&ok);
    return ok && ((value & 0xff) == 5 || (value & 0xff) == 6);
}

void CatalogueDatabase::setBusyTimeout(int milliseconds)
{
    if (!isOpen())
        return;
    if (m_backend == Backend::SQLite)
        exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(milliseconds), "setting the busy timeout");
    else
        exec(QStringLiteral("SET lock_timeout = %1").arg(milliseconds), "setting the lock timeout");
}

bool CatalogueDatabase::createSchema()
{
    const bool pg = m_backend == Backend::PostgreSQL;
    const QString key = pg ? QStringLiteral("SERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString blob = pg ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    const QStringList statements = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS albums ("
                       "id %1, album_key TEXT NOT NULL UNIQUE, name TEXT NOT NULL DEFAULT '', "
                       "artist TEXT NOT NULL DEFAULT '', cover TEXT NOT NULL DEFAULT '', "
                       "year INTEGER NOT NULL DEFAULT 0)")
            .arg(key),
        QStringLiteral("CREATE TABLE IF NOT EXISTS songs ("
                       "id %1, album_id INTEGER NOT NULL REFERENCES albums(id), "
                       "title TEXT NOT NULL DEFAULT '', artist TEXT NOT NULL DEFAULT '', "
                       "duration INTEGER NOT NULL DEFAULT 0, file_path TEXT NOT NULL UNIQUE, "
                       "track_number INTEGER NOT NULL DEFAULT 0, lyrics TEXT NOT NULL DEFAULT '', "
                       "lyricist TEXT NOT NULL DEFAULT '', composer TEXT NOT NULL DEFAULT '', "
                       "arranger TEXT NOT NULL DEFAULT '', producer TEXT NOT NULL DEFAULT '', "
                       "genre TEXT NOT NULL DEFAULT '', language TEXT NOT NULL DEFAULT '', "
                       "play_count INTEGER NOT NULL DEFAULT 0, "
                       "file_size BIGINT NOT NULL DEFAULT -1, file_modified BIGINT NOT NULL DEFAULT -1)")
            .arg(key),
        QStringLiteral("CREATE INDEX IF NOT EXISTS songs_album_id ON songs(album_id)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS album_covers ("
                       "album_id INTEGER PRIMARY KEY REFERENCES albums(id) ON DELETE CASCADE, "
                       "mime_type TEXT NOT NULL DEFAULT '', data %1 NOT NULL)")
            .arg(blob),
        QStringLiteral("CREATE TABLE IF NOT EXISTS catalogue_settings (name TEXT PRIMARY KEY, value TEXT NOT NULL)"),
    };
    for (const QString &sql : statements) {
        if (!exec(sql, "creating the schema"))
            return false;
    }
    return true;
}

QString CatalogueDatabase::songColumns() const
{
    return QStringLiteral("s.id, s.album_id, s.title, s.artist, s.duration, s.file_path, s.track_number, "
                          "s.lyrics, s.lyricist, s.composer, s.arranger, s.producer, s.genre, s.language, "
                          "s.play_count");
}

bool CatalogueDatabase::readSongs(QSqlQuery &query, QList<Song> *out)
{
    out->clear();
    while (query.next()) {
        Song s;
        s.id = toInt32(query.value(0));
        s.albumId = toInt32(query.value(1));
        s.title = query.value(2).toString();
        s.artist = query.value(3).toString();
        s.duration = toInt32(query.value(4));
        s.filePath = query.value(5).toString();
        s.trackNumber = toInt32(query.value(6));
        s.lyrics = query.value(7).toString();
        s.lyricist = query.value(8).toString();
        s.composer = query.value(9).toString();
        s.arranger = query.value(10).toString();
        s.producer = query.value(11).toString();
        s.genre = query.value(12).toString();
        s.language = query.value(13).toString();
        s.playCount = toInt32(query.value(14));
        out->append(s);
    }
    return true;
}

bool CatalogueDatabase::albums(QList<Album> *out)
{
    out->clear();
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT a.id, a.name, a.artist, a.cover, a.year, "
                                 "(SELECT COUNT(*) FROM songs s WHERE s.album_id = a.id) "
                                 "FROM albums a ORDER BY a.artist, a.year, a.name, a.id"));
    if (!exec(query, "listing albums"))
        return false;
    while (query.next()) {
        Album a;
        a.id = toInt32(query.value(0));
        a.name = query.value(1).toString();
        a.artist = query.value(2).toString();
        a.cover = query.value(3).toString();
        a.year = toInt32(query.value(4));
        a.songCount = toInt32(query.value(5));
        out->append(a);
    }
    return true;
}

bool CatalogueDatabase::album(int id, Album *out, bool *found)
{
    *found = false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT a.id, a.name, a.artist, a.cover, a.year, "
                                 "(SELECT COUNT(*) FROM songs s WHERE s.album_id = a.id) "
                                 "FROM albums a WHERE a.id = ?"));
    query.addBindValue(id);
    if (!exec(query, "reading an album"))
        return false;
    if (query.next()) {
        *found = true;
        out->id = toInt32(query.value(0));
        out->name = query.value(1).toString();
        out->artist = query.value(2).toString();
        out->cover = query.value(3).toString();
        out->year = toInt32(query.value(4));
        out->songCount = toInt32(query.value(5));
    }
    return true;
}

bool CatalogueDatabase::songs(int albumId, QList<Song> *out)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (albumId > 0) {
        query.prepare(QStringLiteral("SELECT %1 FROM songs s WHERE s.album_id = ? "
                                     "ORDER BY s.track_number, s.title, s.id")
                          .arg(songColumns()));
        query.addBindValue(albumId);
    } else {
        query.prepare(QStringLiteral("SELECT %1 FROM songs s ORDER BY s.album_id, s.track_number, s.title, s.id")
                          .arg(songColumns()));
    }
    if (!exec(query, "listing songs"))
        return false;
    return readSongs(query, out);
}

bool CatalogueDatabase::search(const QString &term, QList<Song> *out)
{
    out->clear();
    if (term.trimmed().isEmpty())
        return true;
    if (term.size() > MaxSearchTermLength) {
        m_lastErrorBusy = false;
        m_lastError = QStringLiteral("a search term of %1 characters is longer than the %2 allowed")
                          .arg(term.size())
                          .arg(MaxSearchTermLength);
        return false;
    }
    const QString pattern = likePattern(term.toLower());
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT %1 FROM songs s JOIN albums a ON a.id = s.album_id "
                                 "WHERE LOWER(s.title) LIKE ? ESCAPE '\\' OR LOWER(s.artist) LIKE ? ESCAPE '\\' "
                                 "OR LOWER(a.name) LIKE ? ESCAPE '\\' "
                                 "ORDER BY s.title, s.id")
                      .arg(songColumns()));
    query.addBindValue(pattern);
    query.addBindValue(pattern);
    query.addBindValue(pattern);
    if (!exec(query, "searching songs"))
        return false;
    return readSongs(query, out);
}

bool CatalogueDatabase::song(int id, Song *out, bool *found)
{
    *found = false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT %1 FROM songs s WHERE s.id = ?").arg(songColumns()));
    query.addBindValue(id);
    if (!exec(query, "reading a song"))
        return false;
    QList<Song> rows;
    readSongs(query, &rows);
    if (!rows.isEmpty()) {
        *found = true;
        *out = rows.first();
    }
    return true;
}

bool CatalogueDatabase::artistRanking(QJsonArray *out)
{
    *out = QJsonArray();
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT artist, COUNT(*) AS song_count, SUM(play_count) AS total_plays "
                                 "FROM songs WHERE artist <> '' GROUP BY artist "
                                 "ORDER BY total_plays DESC, song_count DESC, artist"));
    if (!exec(query, "ranking artists"))
        return false;
    while (query.next()) {
        QJsonObject row;
        row.insert(QStringLiteral("artist"), query.value(0).toString());
        row.insert(QStringLiteral("song_count"), toInt32(query.value(1)));
        row.insert(QStringLiteral("total_plays"), toInt32(query.value(2)));
        out->append(row);
    }
    return true;
}

bool CatalogueDatabase::songRanking(int limit, QList<Song> *out)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(
        QStringLiteral("SELECT %1 FROM songs s ORDER BY s.play_count DESC, s.title, s.id LIMIT ?").arg(songColumns()));
    query.addBindValue(limit);
    if (!exec(query, "ranking songs"))
        return false;
    return readSongs(query, out);
}

bool CatalogueDatabase::incrementPlayCount(int id, int *newCount)
{
    *newCount = -1;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    // One statement, so two listeners counting at once both count; the cap keeps it a 32-bit number.
    query.prepare(QStringLiteral("UPDATE songs SET play_count = CASE WHEN play_count < 2147483647 "
                                 "THEN play_count + 1 ELSE play_count END WHERE id = ? RETURNING play_count"));
    query.addBindValue(id);
    if (!exec(query, "counting a play"))
        return false;
    if (query.next())
        *newCount = toInt32(query.value(0));
    return true;
}

bool CatalogueDatabase::embeddedCover(int albumId, QByteArray *data, QString *mimeType, bool *found)
{
    *found = false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT data, mime_type FROM album_covers WHERE album_id = ?"));
    query.addBindValue(albumId);
    if (!exec(query, "reading a cover"))
        return false;
    if (query.next()) {
        *found = true;
        *data = query.value(0).toByteArray();
        *mimeType = query.value(1).toString();
    }
    return true;
}

QString CatalogueDatabase::mediaRoot()
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT value FROM catalogue_settings WHERE name = ?"));
    query.addBindValue(QString::fromLatin1(MediaRootSetting));
    if (!exec(query, "reading the media folder") || !query.next())
        return QString();
    return query.value(0).toString();
}

bool CatalogueDatabase::setMediaRoot(const QString &path)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("INSERT INTO catalogue_settings (name, value) VALUES (?, ?) "
                                 "ON CONFLICT (name) DO UPDATE SET value = excluded.value"));
    query.addBindValue(QString::fromLatin1(MediaRootSetting));
    query.addBindValue(text(path));
    return exec(query, "storing the media folder");
}

bool CatalogueDatabase::beginTransaction()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (m_backend == Backend::SQLite) {
        // Take the write lock now: a transaction that reads first and writes later could fail
        // half way when another writer came in between.
        return exec(QStringLiteral("BEGIN IMMEDIATE"), "starting a transaction");
    }
    m_lastErrorBusy = false;
    if (db.transaction())
        return true;
    noteError(db.lastError(), "starting a transaction");
    return false;
}

bool CatalogueDatabase::commit()
{
    if (m_backend == Backend::SQLite)
        return exec(QStringLiteral("COMMIT"), "committing");
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    m_lastErrorBusy = false;
    if (db.commit())
        return true;
    noteError(db.lastError(), "committing");
    return false;
}

void CatalogueDatabase::rollback()
{
    if (m_backend == Backend::SQLite) {
        QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
        query.exec(QStringLiteral("ROLLBACK"));
        return;
    }
    QSqlDatabase::database(m_connectionName, false).rollback();
}

bool CatalogueDatabase::storedFiles(QHash<QString, StoredFile> *out)
{
    out->clear();
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT id, album_id, file_path, file_size, file_modified, lyrics FROM songs"));
    if (!exec(query, "listing stored files"))
        return false;
    while (query.next()) {
        StoredFile f;
        f.id = toInt32(query.value(0));
        f.albumId = toInt32(query.value(1));
        f.size = query.value(3).toLongLong();
        f.modified = query.value(4).toLongLong();
        f.lyrics = query.value(5).toString();
        out->insert(query.value(2).toString(), f);
    }
    return true;
}

bool CatalogueDatabase::ensureAlbum(const AlbumInfo &info, int *albumId)
{
    *albumId = 0;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT id FROM albums WHERE album_key = ?"));
    find.addBindValue(text(info.key));
    if (!exec(find, "finding an album"))
        return false;
    if (find.next()) {
        *albumId = toInt32(find.value(0));
        QSqlQuery update(db);
        update.prepare(QStringLiteral("UPDATE albums SET name = ?, artist = ?, "
                                      "year = CASE WHEN ? > 0 THEN ? ELSE year END WHERE id = ?"));
        update.addBindValue(text(info.name));
        update.addBindValue(text(info.artist));
        update.addBindValue(info.year);
        update.addBindValue(info.year);
        update.addBindValue(*albumId);
        return exec(update, "updating an album");
    }
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral("INSERT INTO albums (album_key, name, artist, year) VALUES (?, ?, ?, ?) RETURNING id"));
    insert.addBindValue(text(info.key));
    insert.addBindValue(text(info.name));
    insert.addBindValue(text(info.artist));
    insert.addBindValue(info.year);
    if (!exec(insert, "adding an album"))
        return false;
    if (!insert.next()) {
        m_lastError = QStringLiteral("adding an album returned no id");
        return false;
    }
    *albumId = toInt32(insert.value(0));
    return true;
}

bool CatalogueDatabase::saveSong(Song *song, qint64 size, qint64 modified)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (song->id > 0) {
        query.prepare(QStringLiteral("UPDATE songs SET album_id = ?, title = ?, artist = ?, duration = ?, "
                                     "file_path = ?, track_number = ?, lyrics = ?, lyricist = ?, composer = ?, "
                                     "arranger = ?, producer = ?, genre = ?, language = ?, file_size = ?, "
                                     "file_modified = ? WHERE id = ?"));
    } else {
        query.prepare(QStringLiteral("INSERT INTO songs (album_id, title, artist, duration, file_path, "
                                     "track_number, lyrics, lyricist, composer, arranger, producer, genre, "
                                     "language, file_size, file_modified) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    }
    query.addBindValue(song->albumId);
    query.addBindValue(text(song->title));
    query.addBindValue(text(song->artist));
    query.addBindValue(song->duration);
    query.addBindValue(text(song->filePath));
    query.addBindValue(song->trackNumber);
    query.addBindValue(text(song->lyrics));
    query.addBindValue(text(song->lyricist));
    query.addBindValue(text(song->composer));
    query.addBindValue(text(song->arranger));
    query.addBindValue(text(song->producer));
    query.addBindValue(text(song->genre));
    query.addBindValue(text(song->language));
    query.addBindValue(size);
    query.addBindValue(modified);
    if (song->id > 0)
        query.addBindValue(song->id);
    if (!exec(query, "storing a song"))
        return false;
    if (song->id <= 0) {
        if (!query.next()) {
            m_lastError = QStringLiteral("adding a song returned no id");
            return false;
        }
        song->id = toInt32(query.value(0));
    }
    return true;
}

bool CatalogueDatabase::setLyrics(int songId, const QString &lyrics)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("UPDATE songs SET lyrics = ? WHERE id = ?"));
    query.addBindValue(text(lyrics));
    query.addBindValue(songId);
    return exec(query, "storing lyrics");
}

bool CatalogueDatabase::removeSong(int songId)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("DELETE FROM songs WHERE id = ?"));
    query.addBindValue(songId);
    return exec(query, "removing a song");
}

bool CatalogueDatabase::removeEmptyAlbums(int *removed)
{
    *removed = 0;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery covers(db);
    covers.prepare(QStringLiteral("DELETE FROM album_covers WHERE album_id NOT IN (SELECT album_id FROM songs)"));
    if (!exec(covers, "removing covers of empty albums"))
        return false;
    QSqlQuery albums(db);
    albums.prepare(QStringLiteral("DELETE FROM albums WHERE id NOT IN (SELECT album_id FROM songs)"));
    if (!exec(albums, "removing empty albums"))
        return false;
    *removed = qMax(0, albums.numRowsAffected());
    return true;
}

bool CatalogueDatabase::albumIds(QList<int> *out)
{
    out->clear();
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT id FROM albums ORDER BY id"));
    if (!exec(query, "listing album ids"))
        return false;
    while (query.next())
        out->append(toInt32(query.value(0)));
    return true;
}

bool CatalogueDatabase::setAlbumArtist(int albumId, const QString &artist)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("UPDATE albums SET artist = ? WHERE id = ?"));
    query.addBindValue(text(artist));
    query.addBindValue(albumId);
    return exec(query, "naming an album's artist");
}

bool CatalogueDatabase::setAlbumCover(int albumId, const QString &cover)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("UPDATE albums SET cover = ? WHERE id = ?"));
    query.addBindValue(text(cover));
    query.addBindValue(albumId);
    return exec(query, "storing a cover path");
}

bool CatalogueDatabase::setEmbeddedCover(int albumId, const QByteArray &data, const QString &mimeType)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("INSERT INTO album_covers (album_id, mime_type, data) VALUES (?, ?, ?) "
                                 "ON CONFLICT (album_id) DO UPDATE SET mime_type = excluded.mime_type, "
                                 "data = excluded.data"));
    query.addBindValue(albumId);
    query.addBindValue(text(mimeType));
    query.addBindValue(data);
    return exec(query, "storing an embedded cover");
}

bool CatalogueDatabase::clearEmbeddedCover(int albumId)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("DELETE FROM album_covers WHERE album_id = ?"));
    query.addBindValue(albumId);
    return exec(query, "removing an embedded cover");
}

namespace {
// Any fixed number: every velora-catalogue import asks for the same advisory lock.
constexpr int ImportAdvisoryLock = 0x56454c4f;
} // namespace

bool CatalogueDatabase::lockForImport()
{
    if (m_importLock || m_advisoryLocked)
        return true;
    if (m_backend == Backend::PostgreSQL) {
        QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
        query.prepare(QStringLiteral("SELECT pg_try_advisory_lock(?)"));
        query.addBindValue(ImportAdvisoryLock);
        if (!exec(query, "taking the import lock"))
            return false;
        if (!query.next() || !query.value(0).toBool()) {
            m_lastError = QStringLiteral("another import is writing this catalogue; run this one when it has finished");
            return false;
        }
        m_advisoryLocked = true;
        return true;
    }
    auto lock = std::make_unique<QLockFile>(QFileInfo(m_location).absoluteFilePath() + QStringLiteral(".import-lock"));
    // A lock whose process is gone is taken over; a live one is never stale.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString application;
        if (lock->error() == QLockFile::LockFailedError && lock->getLockInfo(&pid, &host, &application)) {
            m_lastError = QStringLiteral("another import (process %1 on %2) is writing this catalogue; run this one "
                                         "when it has finished")
                              .arg(pid)
                              .arg(host);
        } else {
            m_lastError = QStringLiteral("cannot create the import lock file \"%1\"").arg(lock->fileName());
        }
        return false;
    }
    m_importLock = std::move(lock);
    return true;
}

void CatalogueDatabase::unlockImport()
{
    m_importLock.reset();
    if (m_advisoryLocked && QSqlDatabase::contains(m_connectionName)) {
        QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
        query.prepare(QStringLiteral("SELECT pg_advisory_unlock(?)"));
        query.addBindValue(ImportAdvisoryLock);
        query.exec();
    }
    m_advisoryLocked = false;
}
