#include "catalogueimporter.h"

#include "cataloguedatabase.h"
#include "cataloguepaths.h"
#include "tagprobe.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>

#include <algorithm>

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

    if (!m_database->beginTransaction())
        return fail(m_database->lastError());
    if (!importFiles(root, report) || !refreshCovers(root) || !m_database->setMediaRoot(root)) {
        if (m_lastError.isEmpty())
            m_lastError = m_database->lastError();
        m_database->rollback();
        *report = Report();
        return false;
    }
    QList<int> albums;
    if (!m_database->albumIds(&albums) || !m_database->commit()) {
        m_lastError = m_database->lastError();
        m_database->rollback();
        *report = Report();
        return false;
    }
    report->albums = int(albums.size());
    return true;
}

bool CatalogueImporter::importFiles(const QString &root, Report *report)
{
    QHash<QString, CatalogueDatabase::StoredFile> stored;
    if (!m_database->storedFiles(&stored))
        return false;

    QStringList files;
    const QDir rootDir(root);
    QDirIterator it(root, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo fi(path);
        if (!audioExtensions().contains(fi.suffix().toLower()))
            continue;
        const QString relative = rootDir.relativeFilePath(fi.absoluteFilePath());
        // The server refuses hidden paths and anything that leads out of the folder; importing
        // such files would only list songs that can never play.
        if (!CataloguePaths::isSafeRelativePath(relative) || !CataloguePaths::isInside(root, fi.canonicalFilePath())) {
            report->warnings.append(QStringLiteral("%1: skipped, hidden or outside the folder").arg(relative));
            continue;
        }
        files.append(relative);
    }
    std::sort(files.begin(), files.end());

    QSet<QString> seen;
    for (const QString &relative : std::as_const(files)) {
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
            if (!m_database->setLyrics(known->id, lyrics))
                return false;
            ++report->updated;
            continue;
        }

        const ProbeResult tags = probeAudioFile(fi.absoluteFilePath());
        if (tags.source == ProbeSource::None
            || (tags.source == ProbeSource::TagLib && !hasAudioStream(fi.absoluteFilePath()))) {
            report->warnings.append(QStringLiteral("%1: skipped, not a readable audio file").arg(relative));
            seen.remove(relative); // a stored song for it goes too: it can no longer play
            continue;
        }
        CatalogueDatabase::AlbumInfo album;
        if (!tags.album.trimmed().isEmpty()) {
            album.key = QStringLiteral("tag:") + tags.album.trimmed().toCaseFolded() + QLatin1Char('\n')
                + tags.artist.trimmed().toCaseFolded();
            album.name = tags.album.trimmed();
        } else {
            const QString folder = QFileInfo(relative).path();
            album.key = QStringLiteral("dir:") + folder;
            album.name = folder == QLatin1String(".") ? rootDir.dirName() : QFileInfo(folder).fileName();
        }
        album.artist = tags.artist.trimmed();
        album.year = tags.year;
        int albumId = 0;
        if (!m_database->ensureAlbum(album, &albumId))
            return false;

        Song song;
        song.id = known != stored.constEnd() ? known->id : 0;
        song.albumId = albumId;
        song.title = tags.title;
        song.artist = tags.artist.trimmed();
        song.duration = tags.duration;
        song.filePath = relative;
        song.trackNumber = tags.trackNumber;
        song.lyrics = lyrics;
        song.genre = tags.genre;
        if (!m_database->saveSong(&song, size, modified))
            return false;
        if (known != stored.constEnd())
            ++report->updated;
        else
            ++report->added;
    }

    for (auto it2 = stored.constBegin(); it2 != stored.constEnd(); ++it2) {
        if (seen.contains(it2.key()))
            continue;
        if (!m_database->removeSong(it2->id))
            return false;
        ++report->removed;
    }
    return m_database->removeEmptyAlbums(&report->albumsRemoved);
}

bool CatalogueImporter::refreshCovers(const QString &root)
{
    QList<int> albums;
    if (!m_database->albumIds(&albums))
        return false;
    const QDir rootDir(root);
    for (const int albumId : std::as_const(albums)) {
        QList<Song> songs;
        if (!m_database->songs(albumId, &songs))
            return false;
        if (songs.isEmpty())
            continue;
        const QDir folder = QFileInfo(rootDir.filePath(songs.first().filePath)).dir();
        // A conventionally named folder image wins, then the picture inside the files, then
        // any image of the folder.
        QString image = namedFolderImage(folder);
        if (image.isEmpty()) {
            bool embedded = false;
            for (const Song &song : std::as_const(songs)) {
                const CoverImage cover = readEmbeddedCover(rootDir.filePath(song.filePath));
                if (cover.data.isEmpty())
                    continue;
                const QString suffix = coverSuffixForMime(cover.mimeType, cover.data);
                const QString mime = cover.mimeType.isEmpty()
                    ? (suffix == QLatin1String("png") ? QStringLiteral("image/png") : QStringLiteral("image/jpeg"))
                    : cover.mimeType;
                if (!m_database->setEmbeddedCover(albumId, cover.data, mime)
                    || !m_database->setAlbumCover(albumId, CataloguePaths::embeddedCoverPath(albumId, suffix)))
                    return false;
                embedded = true;
                break;
            }
            if (embedded)
                continue;
            image = anyFolderImage(folder);
        }
        if (!m_database->clearEmbeddedCover(albumId))
            return false;
        const QString cover = image.isEmpty() ? QString() : rootDir.relativeFilePath(image);
        if (!m_database->setAlbumCover(albumId, CataloguePaths::isSafeRelativePath(cover) ? cover : QString()))
            return false;
    }
    return true;
}
