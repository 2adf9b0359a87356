#include "localmusicmanager.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMetaObject>
#include <QPointer>
#include <QSet>
#include <QVariant>
#include <QVariantMap>

QString LocalMusicFile::formattedDuration() const
{
    return formatDurationSeconds(duration);
}

Song LocalMusicFile::toSong() const
{
    Song song;
    song.id = -1;
    song.albumId = 0;
    song.title = title.isEmpty() ? fileName : title;
    song.artist = artist.isEmpty() ? QObject::tr("未知艺术家") : artist;
    song.duration = duration;
    song.filePath = filePath;
    song.genre = genre;
    song.playCount = 0;
    return song;
}

namespace {

// How long one slice of the folder walk may hold the event loop.
constexpr qint64 WalkSliceMs = 20;

const QStringList &supportedExtensions()
{
    static const QStringList extensions = {
        QStringLiteral("mp3"), QStringLiteral("flac"), QStringLiteral("wav"),
        QStringLiteral("m4a"), QStringLiteral("aac"), QStringLiteral("ogg"),
        QStringLiteral("wma"), QStringLiteral("aiff"), QStringLiteral("alac"),
    };
    return extensions;
}

// Distinct non-empty values of one field, in order of first appearance.
template<typename Field>
QStringList distinctValues(const QList<LocalMusicFile> &files, Field field)
{
    QStringList result;
    QSet<QString> seen;
    for (const LocalMusicFile &file : files) {
        const QString &value = file.*field;
        if (value.isEmpty() || seen.contains(value))
            continue;
        seen.insert(value);
        result.append(value);
    }
    return result;
}

template<typename Field>
QList<LocalMusicFile> filesWhere(const QList<LocalMusicFile> &files, Field field, const QString &value)
{
    QList<LocalMusicFile> result;
    for (const LocalMusicFile &file : files) {
        if (file.*field == value)
            result.append(file);
    }
    return result;
}

} // namespace

LocalMusicManager::LocalMusicManager(QObject *parent)
    : QObject(parent)
    , m_watcher(new QFileSystemWatcher(this))
{
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &LocalMusicManager::onDirectoryChanged);
}

LocalMusicManager::~LocalMusicManager() = default;

bool LocalMusicManager::isScanning() const
{
    return m_isScanning;
}

QString LocalMusicManager::scanPath() const
{
    return m_scanPath;
}

void LocalMusicManager::setScanPath(const QString &path)
{
    m_scanPath = path;
    const QStringList watched = m_watcher->directories();
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    if (!path.isEmpty() && QDir(path).exists())
        m_watcher->addPath(path);
}

void LocalMusicManager::startScan(const QString &path)
{
    setScanPath(path);
    if (m_isScanning) {
        qDebug().noquote() << tr("扫描正在进行中");
        return;
    }

    m_isScanning = true;
    m_scanQueue.clear();
    m_totalFiles = 0;
    m_processedFiles = 0;
    emit scanStarted();

    // An empty path would name the working folder; it is no scan folder. A missing folder (an
    // unmounted drive) leaves the library as it is.
    if (path.isEmpty() || !QDir(path).exists()) {
        // Idle again before anyone hears of the failure, so a handler may start another scan.
        m_isScanning = false;
        emit scanError(tr("目录不存在: ") + path);
        return;
    }
    m_musicFiles.clear();
    m_unavailable.clear();

    m_pendingFolders = QStringList{QDir(path).absolutePath()};
    m_visitedFolders.clear();
    walkFolders();
}

// Breadth-first; folder links are followed, but each real folder is entered once so that a link
// back into the tree cannot make the walk endless. The walk runs in slices of the event loop: a
// link out of the scan folder (to /usr, say) can mean tens of thousands of folders.
void LocalMusicManager::walkFolders()
{
    if (!m_isScanning)
        return;
    QElapsedTimer slice;
    slice.start();
    while (!m_pendingFolders.isEmpty() && slice.elapsed() < WalkSliceMs) {
        const QString folder = m_pendingFolders.takeFirst();
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || m_visitedFolders.contains(canonical))
            continue;
        m_visitedFolders.insert(canonical);

        const QDir dir(folder);
        const QStringList subFolders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
        for (const QString &name : subFolders)
            m_pendingFolders.append(dir.absoluteFilePath(name));
        const QStringList files = dir.entryList(QDir::Files, QDir::NoSort);
        for (const QString &name : files) {
            if (isSupportedFile(name))
                m_scanQueue.append(dir.absoluteFilePath(name));
        }
    }
    if (!m_pendingFolders.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] { walkFolders(); }, Qt::QueuedConnection);
        return;
    }
    m_visitedFolders.clear();

    m_totalFiles = int(m_scanQueue.size());
    emit scanProgress(0, m_totalFiles, tr("开始扫描..."));
    qDebug().noquote() << tr("找到") << m_totalFiles << tr("个音频文件");

    if (m_totalFiles < 1) {
        m_isScanning = false;
        emit scanFinished(0);
        return;
    }
    processScanQueue();
}

void LocalMusicManager::processScanQueue()
{
    if (m_scanQueue.isEmpty()) {
        m_isScanning = false;
        emit scanFinished(int(m_musicFiles.size()));
        emit musicListChanged();
        return;
    }

    const QString filePath = m_scanQueue.takeFirst();
    QPointer<LocalMusicManager> self(this);
    processFile(filePath);
    if (!self)
        return; // destroyed while the media-player fallback waited

    ++m_processedFiles;
    emit scanProgress(m_processedFiles, m_totalFiles, QFileInfo(filePath).fileName());
    // One file per turn, so that the window stays responsive during a scan.
    QMetaObject::invokeMethod(this, [this] { processScanQueue(); }, Qt::QueuedConnection);
}

void LocalMusicManager::processFile(const QString &filePath)
{
    const QFileInfo info(filePath);
    LocalMusicFile record;
    record.filePath = filePath;
    record.fileName = info.fileName();
    record.fileType = info.suffix().toLower();

    QPointer<LocalMusicManager> self(this);
    readMetadata(filePath, record);
    if (!self)
        return;

    if (record.title.isEmpty())
        record.title = info.completeBaseName();
    m_musicFiles.append(record);
}

void LocalMusicManager::readMetadata(const QString &filePath, LocalMusicFile &file)
{
    const ProbeResult probe = probeAudioFile(filePath, m_probeMethod);
    file.title = probe.title;
    file.artist = probe.artist;
    file.album = probe.album;
    file.duration = probe.duration;
    file.genre = probe.genre;
    file.trackNumber = probe.trackNumber;
    file.year = probe.year;
}

const QList<LocalMusicFile> &LocalMusicManager::musicFiles() const
{
    return m_musicFiles;
}

QStringList LocalMusicManager::prepareRestore(const QVariant &storedCount, const QVariantList &stored)
{
    m_unavailable.clear();
    m_restoreNotice.clear();
    bool countRead = false;
    const qint64 count = storedCount.toLongLong(&countRead);
    if (countRead && count == 0)
        return {};

    QStringList paths;
    QList<LocalMusicFile> missing;
    for (const QVariant &element : stored) {
        const QVariantMap map = element.toMap();
        const QString path = map.value(QStringLiteral("filePath")).toString();
        if (path.isEmpty())
            continue;
        paths.append(path);
        if (QFileInfo::exists(path))
            continue;
        LocalMusicFile file;
        file.filePath = path;
        file.fileName = map.value(QStringLiteral("fileName")).toString();
        if (file.fileName.isEmpty())
            file.fileName = QFileInfo(path).fileName();
        file.title = map.value(QStringLiteral("title")).toString();
        if (file.title.isEmpty())
            file.title = QFileInfo(path).completeBaseName();
        file.artist = map.value(QStringLiteral("artist")).toString();
        file.album = map.value(QStringLiteral("album")).toString();
        file.duration = map.value(QStringLiteral("duration")).toInt();
        file.fileType = map.value(QStringLiteral("fileType")).toString();
        file.available = false;
        missing.append(file);
    }
    if (missing.isEmpty())
        return paths;

    const bool folderMissing = !m_scanPath.isEmpty() && !QDir(m_scanPath).exists();
    const bool mostMissing = missing.size() * 2 > paths.size();
    for (const LocalMusicFile &file : std::as_const(missing)) {
        // A file gone from a folder that is there was deleted; anything else may come back.
        if (folderMissing || mostMissing || !QFileInfo(file.filePath).absoluteDir().exists())
            m_unavailable.insert(file.filePath, file);
    }
    if (!m_unavailable.isEmpty()) {
        m_restoreNotice = folderMissing
            ? tr("音乐文件夹 %1 不可用，%2 首本地歌曲暂时无法播放").arg(m_scanPath).arg(m_unavailable.size())
            : tr("%1 首本地歌曲的文件暂时无法访问，已保留在列表中").arg(m_unavailable.size());
        qWarning().noquote() << m_restoreNotice;
    }
    return paths;
}

void LocalMusicManager::restoreStoredFile(const QString &filePath)
{
    if (QFileInfo::exists(filePath)) {
        addMusicFile(filePath);
        return;
    }
    const auto kept = m_unavailable.constFind(filePath);
    if (kept == m_unavailable.cend()) {
        qDebug().noquote() << tr("文件已不存在:") << filePath;
        return;
    }
    m_musicFiles.append(kept.value());
    emit musicListChanged();
}

void LocalMusicManager::clearMusicList()
{
    m_musicFiles.clear();
    emit musicListChanged();
}

void LocalMusicManager::addMusicFile(const QString &filePath)
{
    if (!isSupportedFile(filePath))
        return;
    // An entry kept while its drive is away stays as it was stored (a removal re-adds the rest).
    const auto kept = m_unavailable.constFind(filePath);
    if (kept != m_unavailable.cend() && !QFileInfo::exists(filePath)) {
        m_musicFiles.append(kept.value());
        emit musicListChanged();
        return;
    }
    QPointer<LocalMusicManager> self(this);
    processFile(filePath);
    if (!self)
        return;
    emit musicListChanged();
}

bool LocalMusicManager::isSupportedFile(const QString &filePath) const
{
    return supportedExtensions().contains(QFileInfo(filePath).suffix().toLower());
}

QStringList LocalMusicManager::supportedFormats()
{
    return supportedExtensions();
}

QStringList LocalMusicManager::artists() const
{
    return distinctValues(m_musicFiles, &LocalMusicFile::artist);
}

QStringList LocalMusicManager::albums() const
{
    return distinctValues(m_musicFiles, &LocalMusicFile::album);
}

QList<LocalMusicFile> LocalMusicManager::musicByArtist(const QString &artist) const
{
    return filesWhere(m_musicFiles, &LocalMusicFile::artist, artist);
}

QList<LocalMusicFile> LocalMusicManager::musicByAlbum(const QString &album) const
{
    return filesWhere(m_musicFiles, &LocalMusicFile::album, album);
}

void LocalMusicManager::setProbeMethod(ProbeMethod method)
{
    m_probeMethod = method;
}

ProbeMethod LocalMusicManager::probeMethod() const
{
    return m_probeMethod;
}

void LocalMusicManager::onDirectoryChanged(QString path)
{
    qDebug().noquote() << tr("目录已变更:") << path;
}
