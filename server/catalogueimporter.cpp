#include "catalogueimporter.h"

#include "cataloguedatabase.h"
#include "cataloguepaths.h"
#include "tagprobe.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#endif

namespace {

// Larger "lyrics" files are not lyrics; reading them whole would only waste memory.
constexpr qint64 MaxLyricsBytes = 1024 * 1024;

QString readLyricsBeside(const QFileInfo &audio)
{
    const QDir dir = audio.dir();
    const QString base = audio.completeBaseName();
    for (const QString &suffix : { QStringLiteral(".lrc"), QStringLiteral(".LRC"), QStringLiteral(".Lrc") }) {
        QFile file(dir.filePath(base + suffix));
        if (!file.exists())
            continue;
        if (file.size() > MaxLyricsBytes || !file.open(QIODevice::ReadOnly))
            return QString();
        return CatalogueImporter::decodeLyrics(file.readAll());
    }
    return QString();
}

bool isImageFile(const QString &fileName)
{
    static const QStringList imageSuffixes = { QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
        QStringLiteral("webp"), QStringLiteral("gif"), QStringLiteral("bmp") };
    return imageSuffixes.contains(QFileInfo(fileName).suffix().toLower());
}

// The folder's own cover: a conventionally named image first, else none (the embedded picture
// and then any other image of the folder are tried by the caller).
QString namedFolderImage(const QDir &dir)
{
    static const QStringList names = { QStringLiteral("cover"), QStringLiteral("folder"), QStringLiteral("front"),
        QStringLiteral("album"), QStringLiteral("albumart") };
    QStringList images;
    for (const QString &entry : dir.entryList(QDir::Files, QDir::Name)) {
        if (!entry.startsWith(QLatin1Char('.')) && isImageFile(entry))
            images.append(entry);
    }
    for (const QString &name : names) {
        for (const QString &image : images) {
            if (QFileInfo(image).completeBaseName().compare(name, Qt::CaseInsensitive) == 0)
                return dir.filePath(image);
        }
    }
    return QString();
}

QString anyFolderImage(const QDir &dir)
{
    for (const QString &entry : dir.entryList(QDir::Files, QDir::Name)) {
        if (!entry.startsWith(QLatin1Char('.')) && isImageFile(entry))
            return dir.filePath(entry);
    }
    return QString();
}

// Names in a folder that are not UTF-8 (an old Latin-1 copy, say). Qt's listing leaves them out
// without a word, so the folder is read once more natively to name them.
QStringList namesNotInUtf8(const QString &folder)
{
    QStringList names;
#ifdef Q_OS_UNIX
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8.decode(name);
        if (utf8.hasError())
            names.append(decoded);
    }
    ::closedir(dir);
    names.sort();
#else
    Q_UNUSED(folder);
#endif
    return names;
}

// The tag reader accepts any bytes behind a known suffix as a file without tags; only a file
// with a real audio stream belongs in a catalogue that promises it plays.
bool hasAudioStream(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    TagLib::FileRef ref(encoded.constData(), true, TagLib::AudioProperties::Fast);
    return !ref.isNull() && ref.audioProperties() && ref.audioProperties()->sampleRate() > 0;
}

QString coverSuffixForMime(const QString &mimeType, const QByteArray &data)
{
    if (mimeType.contains(QLatin1String("png"), Qt::CaseInsensitive) || data.startsWith("\x89PNG"))
        return QStringLiteral("png");
    return QStringLiteral("jpg");
}

} // namespace

CatalogueImporter::CatalogueImporter(CatalogueDatabase *database, QObject *parent)
    : QObject(parent)
    , m_database(database)
{
}

const QStringList &CatalogueImporter::audioExtensions()
{
    static const QStringList extensions = { QStringLiteral("mp3"), QStringLiteral("flac"), QStringLiteral("wav"),
        QStringLiteral("m4a"), QStringLiteral("aac"), QStringLiteral("ogg"), QStringLiteral("wma"),
        QStringLiteral("aiff"), QStringLiteral("alac") };
    return extensions;
}

QString CatalogueImporter::decodeLyrics(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    // Many lyrics files in the wild are in the Chinese national encoding.
    QStringDecoder gb("GB18030");
    if (gb.isValid()) {
        text = gb.decode(bytes);
        if (!gb.hasError())
            return text;
    }
    return QString::fromLatin1(bytes);
}

bool CatalogueImporter::fail(const QString &message)
{
    m_lastError = message;
    return false;
}

bool CatalogueImporter::runBatch(const std::function<bool()> &writes, const QString &where)
{
    if (!m_database->beginTransaction()) {
        if (m_database->lastErrorWasBusy()) {
            return fail(QStringLiteral("the catalogue is locked by another program writing to it (%1); nothing more "
                                       "was stored, run the import again")
                            .arg(where));
        }
        return fail(m_database->lastError());
    }
    if (!writes() || !m_database->commit()) {
        const QString error = m_lastError.isEmpty() ? m_database->lastError() : m_lastError;
        m_database->rollback();
        return fail(QStringLiteral("%1 (%2); what was stored before stays, run the import again").arg(error, where));
    }
    return true;
}

bool CatalogueImporter::importFolder(const QString &folder, Report *report)
{
    *report = Report();
    m_lastError.clear();
    const QFileInfo info(folder);
    if (!info.exists() || !info.isDir())
        return fail(QStringLiteral("\"%1\" is not a folder").arg(folder));
    if (!info.isReadable())
        return fail(QStringLiteral("the folder \"%1\" cannot be read").arg(folder));
    const QString root = info.canonicalFilePath();
    if (!m_database->lockForImport())
        return fail(m_database->lastError());

    bool ok = importFiles(root, report) && refreshCovers(root);
    QList<int> albums;
    ok = ok && m_database->albumIds(&albums);
    if (ok)
        report->albums = int(albums.size());
    else if (m_lastError.isEmpty())
        m_lastError = m_database->lastError();
    m_database->unlockImport();
    return ok;
}

QStringList CatalogueImporter::collectFiles(const QString &root, Report *report)
{
    QStringList files;
    const QDir rootDir(root);
    QStringList folders { root };
    while (!folders.isEmpty()) {
        const QString folderPath = folders.takeLast();
        const QFileInfo folderInfo(folderPath);
        const QString folderName = rootDir.relativeFilePath(folderPath);
        if (!folderInfo.isReadable() || !folderInfo.isExecutable()) {
            report->warnings.append(
                QStringLiteral("%1/: the folder cannot be read, nothing in it was imported").arg(folderName));
            continue;
        }
        // Hidden entries are not listed: they are never served, and ".git" or ".Trash" are
        // no music.
        for (const QString &name : namesNotInUtf8(folderPath)) {
            report->warnings.append(
                QStringLiteral("%1: skipped, its name is not valid UTF-8; rename it to import it")
                    .arg(folderName == QLatin1String(".") ? name : folderName + QLatin1Char('/') + name));
        }
        const QFileInfoList entries
            = QDir(folderPath).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &entry : entries) {
            const QString relative = rootDir.relativeFilePath(entry.absoluteFilePath());
            if (entry.isDir()) {
                if (entry.isSymLink())
                    report->warnings.append(QStringLiteral("%1/: a link to a folder, not followed").arg(relative));
                else
                    folders.append(entry.absoluteFilePath());
                continue;
            }
            if (!audioExtensions().contains(entry.suffix().toLower()))
                continue;
            // The server refuses unsafe names and anything that leads out of the folder;
            // importing such files would only list songs that can never play.
            const QString unsafe = CataloguePaths::whyNotServed(relative);
            if (!unsafe.isEmpty()) {
                report->warnings.append(QStringLiteral("%1: skipped, %2").arg(relative, unsafe));
                continue;
            }
            const QString target = entry.canonicalFilePath();
            if (target.isEmpty()) {
                report->warnings.append(QStringLiteral("%1: skipped, a link to nothing").arg(relative));
                continue;
            }
            if (!CataloguePaths::isInside(root, target)) {
                report->warnings.append(
                    QStringLiteral("%1: skipped, a link that leads outside the folder").arg(relative));
                continue;
            }
            if (!entry.isFile())
                continue;
            if (!entry.isReadable()) {
                report->warnings.append(QStringLiteral("%1: skipped, the file cannot be read").arg(relative));
                continue;
            }
            files.append(relative);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool CatalogueImporter::importFiles(const QString &root, Report *report)
{
    QHash<QString, CatalogueDatabase::StoredFile> stored;
    if (!m_database->storedFiles(&stored))
        return false;
    const QStringList files = collectFiles(root, report);
    const QDir rootDir(root);

    // What one file needs written, worked out before the batch's transaction begins.
    struct Change
    {
        enum Kind { Lyrics, Save } kind = Save;
        int songId = 0;
        QString lyrics;
        CatalogueDatabase::AlbumInfo album;
        Song song;
        qint64 size = 0;
        qint64 modified = 0;
        bool isNew = false;
    };

    QSet<QString> seen;
    // Albums without an album artist tag that this import wrote to, by key.
    QSet<QString> touchedAlbums;
    QSet<int> touchedAlbumIds;
    for (qsizetype first = 0; first < files.size(); first += BatchFiles) {
        const qsizetype last = qMin(files.size(), first + BatchFiles);
        QList<Change> changes;
        for (qsizetype i = first; i < last; ++i) {
            const QString &relative = files.at(i);
            const QFileInfo fi(rootDir.filePath(relative));
            seen.insert(relative);
            const qint64 size = fi.size();
            const qint64 modified = fi.lastModified().toMSecsSinceEpoch();
            const QString lyrics = readLyricsBeside(fi);
            const auto known = stored.constFind(relative);
            if (known != stored.constEnd() && known->size == size && known->modified == modified) {
                if (known->lyrics == lyrics) {
                    ++report->unchanged;
                    continue;
                }
                Change change;
                change.kind = Change::Lyrics;
                change.songId = known->id;
                change.lyrics = lyrics;
                changes.append(change);
                continue;
            }

            const ProbeResult tags = probeAudioFile(fi.absoluteFilePath());
            if (tags.source == ProbeSource::None
                || (tags.source == ProbeSource::TagLib && !hasAudioStream(fi.absoluteFilePath()))) {
                report->warnings.append(QStringLiteral("%1: skipped, not a readable audio file").arg(relative));
                seen.remove(relative); // a stored song for it goes too: it can no longer play
                continue;
            }
            Change change;
            const QString folder = QFileInfo(relative).path();
            if (!tags.album.trimmed().isEmpty() && !tags.albumArtist.trimmed().isEmpty()) {
                change.album.key = QStringLiteral("tag:") + tags.album.trimmed().toCaseFolded() + QLatin1Char('\n')
                    + tags.albumArtist.trimmed().toCaseFolded();
                change.album.name = tags.album.trimmed();
            } else if (!tags.album.trimmed().isEmpty()) {
                // No album artist to hold a compilation together: the album is its name within
                // its folder, whoever sings each track. Its artist is settled once all are in.
                change.album.key
                    = QStringLiteral("tagdir:") + folder + QLatin1Char('\n') + tags.album.trimmed().toCaseFolded();
                change.album.name = tags.album.trimmed();
                touchedAlbums.insert(change.album.key);
            } else {
                change.album.key = QStringLiteral("dir:") + folder;
                touchedAlbums.insert(change.album.key);
                change.album.name = folder == QLatin1String(".") ? rootDir.dirName() : QFileInfo(folder).fileName();
            }
            change.album.artist = tags.artist.trimmed();
            change.album.year = tags.year;
            change.isNew = known == stored.constEnd();
            change.song.id = change.isNew ? 0 : known->id;
            change.song.title = tags.title;
            change.song.artist = tags.artist.trimmed();
            change.song.duration = tags.duration;
            change.song.filePath = relative;
            change.song.trackNumber = tags.trackNumber;
            change.song.lyrics = lyrics;
            change.song.genre = tags.genre;
            change.size = size;
            change.modified = modified;
            changes.append(change);
        }
        if (!changes.isEmpty()) {
            const bool written = runBatch(
                [&] {
                    for (Change &change : changes) {
                        if (change.kind == Change::Lyrics) {
                            if (!m_database->setLyrics(change.songId, change.lyrics))
                                return false;
                            continue;
                        }
                        if (!m_database->ensureAlbum(change.album, &change.song.albumId)
                            || !m_database->saveSong(&change.song, change.size, change.modified))
                            return false;
                        if (touchedAlbums.contains(change.album.key))
                            touchedAlbumIds.insert(change.song.albumId);
                    }
                    return true;
                },
                QStringLiteral("stopped after %1 of %2 files").arg(first).arg(files.size()));
            if (!written)
                return false;
            for (const Change &change : std::as_const(changes)) {
                if (change.kind == Change::Save && change.isNew)
                    ++report->added;
                else
                    ++report->updated;
            }
        }
        emit progress(int(last), int(files.size()));
    }

    // Only now that the whole folder has been read may songs go, and the folder become the one
    // that is served.
    QList<int> gone;
    for (auto it = stored.constBegin(); it != stored.constEnd(); ++it) {
        if (!seen.contains(it.key()))
            gone.append(it->id);
    }
    return runBatch(
               [&] {
                   for (const int id : std::as_const(gone)) {
                       if (!m_database->removeSong(id))
                           return false;
                   }
                   report->removed = int(gone.size());
                   return m_database->removeEmptyAlbums(&report->albumsRemoved) && m_database->setMediaRoot(root);
               },
               QStringLiteral("removing the songs whose files are gone"))
        && settleAlbumArtists(touchedAlbumIds);
}

QString CatalogueImporter::albumArtistOf(const QList<Song> &songs)
{
    QString artist;
    QString folded;
    for (const Song &song : songs) {
        const QString name = song.artist.trimmed();
        if (name.isEmpty())
            continue;
        if (artist.isEmpty()) {
            artist = name;
            folded = name.toCaseFolded();
        } else if (name.toCaseFolded() != folded) {
            return QString::fromLatin1(VariousArtists);
        }
    }
    return artist;
}

bool CatalogueImporter::settleAlbumArtists(const QSet<int> &albumIds)
{
    if (albumIds.isEmpty())
        return true;
    return runBatch(
        [&] {
            for (const int albumId : albumIds) {
                QList<Song> songs;
                if (!m_database->songs(albumId, &songs))
                    return false;
                if (!songs.isEmpty() && !m_database->setAlbumArtist(albumId, albumArtistOf(songs)))
                    return false;
            }
            return true;
        },
        QStringLiteral("naming the albums' artists"));
}

bool CatalogueImporter::refreshCovers(const QString &root)
{
    QList<int> albums;
    if (!m_database->albumIds(&albums))
        return false;
    const QDir rootDir(root);
    // One album's cover as found on disk, written later in a short transaction.
    struct Cover
    {
        int albumId = 0;
        QString path;
        QByteArray embedded;
        QString mimeType;
    };
    constexpr qsizetype BatchAlbums = 50;
    for (qsizetype first = 0; first < albums.size(); first += BatchAlbums) {
        QList<Cover> covers;
        for (qsizetype i = first; i < qMin(albums.size(), first + BatchAlbums); ++i) {
            const int albumId = albums.at(i);
            QList<Song> songs;
            if (!m_database->songs(albumId, &songs))
                return false;
            if (songs.isEmpty())
                continue;
            Cover cover;
            cover.albumId = albumId;
            const QDir folder = QFileInfo(rootDir.filePath(songs.first().filePath)).dir();
            // A conventionally named folder image wins, then the picture inside the files, then
            // any image of the folder.
            QString image = namedFolderImage(folder);
            if (image.isEmpty()) {
                for (const Song &song : std::as_const(songs)) {
                    const CoverImage found = readEmbeddedCover(rootDir.filePath(song.filePath));
                    if (found.data.isEmpty())
                        continue;
                    const QString suffix = coverSuffixForMime(found.mimeType, found.data);
                    cover.embedded = found.data;
                    cover.mimeType = found.mimeType.isEmpty()
                        ? (suffix == QLatin1String("png") ? QStringLiteral("image/png") : QStringLiteral("image/jpeg"))
                        : found.mimeType;
                    cover.path = CataloguePaths::embeddedCoverPath(albumId, suffix);
                    break;
                }
                if (cover.embedded.isEmpty())
                    image = anyFolderImage(folder);
            }
            if (cover.embedded.isEmpty()) {
                const QString relative = image.isEmpty() ? QString() : rootDir.relativeFilePath(image);
                cover.path = CataloguePaths::isSafeRelativePath(relative) ? relative : QString();
            }
            covers.append(cover);
        }
        const bool written = runBatch(
            [&] {
                for (const Cover &cover : std::as_const(covers)) {
                    const bool ok = cover.embedded.isEmpty()
                        ? m_database->clearEmbeddedCover(cover.albumId)
                        : m_database->setEmbeddedCover(cover.albumId, cover.embedded, cover.mimeType);
                    if (!ok || !m_database->setAlbumCover(cover.albumId, cover.path))
                        return false;
                }
                return true;
            },
            QStringLiteral("storing album covers"));
        if (!written)
            return false;
    }
    return true;
}
