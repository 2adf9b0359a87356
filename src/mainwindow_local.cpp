// Local music page and the local library's persistence.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "localmusicmanager.h"

#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMetaObject>
#include <QPushButton>
#include <QStackedWidget>

namespace {

const QString ScanPathKey = QStringLiteral("localMusic/scanPath");
const QString MusicFilesKey = QStringLiteral("localMusic/musicFiles");
const QString FileCountKey = QStringLiteral("localMusic/fileCount");

// How long one slice of the start-up restore may hold the event loop.
constexpr qint64 RestoreSliceMs = 25;

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

bool matchesFilter(const LocalMusicFile &file, const QString &text)
{
    return file.title.indexOf(text, 0, Qt::CaseInsensitive) >= 0
        || file.artist.indexOf(text, 0, Qt::CaseInsensitive) >= 0
        || file.album.indexOf(text, 0, Qt::CaseInsensitive) >= 0;
}

} // namespace

void MainWindow::setFolderChooser(FolderChooser chooser)
{
    m_folderChooser = std::move(chooser);
}

void MainWindow::setupLocalMusicConnections()
{
    connect(ui->selectFolderBtn, &QPushButton::clicked, this, &MainWindow::selectMusicFolder);
    connect(ui->scanLocalBtn, &QPushButton::clicked, this, &MainWindow::scanLocalMusic);
    connect(ui->clearLocalBtn, &QPushButton::clicked, this, [this] { clearLocalMusic(); });
    connect(ui->localMusicList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { playLocalMusic(item->data(Qt::UserRole).toInt()); });
    ui->localMusicList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->localMusicList, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showLocalMusicContextMenu(pos); });
}

// ---- The list ----

void MainWindow::updateLocalMusicList()
{
    if (!ui || !ui->localMusicList)
        return;
    const QList<LocalMusicFile> &shown = m_isLocalFiltered ? m_filteredLocalMusic : m_localMusicManager->musicFiles();
    QListWidget *list = ui->localMusicList;
    m_localRefreshPending = false;
    // A large library would otherwise relayout the view once per row.
    list->setUpdatesEnabled(false);
    list->clear();
    const QIcon icon(QStringLiteral(":/icons/music.svg"));
    const QString unknownArtist = tr("未知艺术家");
    for (int i = 0; i < shown.size(); ++i) {
        const LocalMusicFile &file = shown.at(i);
        const QString text = QStringLiteral("%1 - %2  [%3]")
                                 .arg(file.title.isEmpty() ? file.fileName : file.title,
                                      file.artist.isEmpty() ? unknownArtist : file.artist,
                                      file.formattedDuration());
        auto *item = new QListWidgetItem(icon, text);
        item->setData(Qt::UserRole, i);
        if (!file.available)
            item->setForeground(Qt::gray);
        list->addItem(item);
    }
    list->setUpdatesEnabled(true);
}

void MainWindow::onLocalMusicListChanged()
{
    scheduleLocalRefresh();
}

// A restore or a removal re-adds the library one file at a time, each addition announcing a
// changed list; rebuilding the rows every time would make N additions cost N² rows.
void MainWindow::scheduleLocalRefresh()
{
    if (m_localRefreshPending)
        return;
    m_localRefreshPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Cleared by a rebuild made in the meantime, which leaves nothing to redo.
            const bool rowsStale = m_localRefreshPending;
            m_localRefreshPending = false;
            // While the stored library is re-read only the count follows; the rows come once.
            if (rowsStale && !m_restoringLocal)
                updateLocalMusicList();
            updateTabCounts();
        },
        Qt::QueuedConnection);
}

// ---- Folder and scan ----

void MainWindow::selectMusicFolder()
{
    QString folder;
    if (m_folderChooser) {
        folder = m_folderChooser(this);
    } else {
        folder = QFileDialog::getExistingDirectory(this, tr("选择音乐文件夹"), QDir::homePath(),
                                                   QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    }
    if (folder.isEmpty())
        return;
    m_localMusicManager->setScanPath(folder);
    m_settings.setValue(ScanPathKey, folder);
    showToast(tr("已选择目录: ") + folder);
    scanLocalMusic();
}

void MainWindow::scanLocalMusic()
{
    const QString path = m_localMusicManager->scanPath();
    if (path.isEmpty()) {
        selectMusicFolder();
        return;
    }
    if (m_localMusicManager->isScanning()) {
        showToast(tr("正在扫描中..."), true);
        return;
    }
    // The scan replaces the library; what the restore has not read yet would only mix in.
    cancelLocalRestore();
    showToast(tr("正在扫描..."));
    m_localMusicManager->startScan(path);
}

void MainWindow::onLocalScanProgress(int current, int total, const QString &fileName)
{
    Q_UNUSED(fileName)
    showToast(tr("扫描中: %1/%2").arg(current).arg(total));
}

void MainWindow::onLocalScanFinished(int totalFiles)
{
    updateLocalMusicList();
    updateTabCounts();
    saveLocalMusicToSettings();
    showToast(tr("扫描完成，找到 %1 首本地歌曲").arg(totalFiles));
    // Written now rather than at exit, so that a settings store that cannot be written is
    // reported while the user can still act on it.
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError)
        showToast(tr("无法保存本地音乐库，请检查设置文件的写入权限: %1").arg(m_settings.fileName()), true);
}

// ---- Row operations ----

void MainWindow::playLocalMusic(int index)
{
    const QList<LocalMusicFile> &shown = m_isLocalFiltered ? m_filteredLocalMusic : m_localMusicManager->musicFiles();
    if (index < 0 || index >= shown.size()) {
        showToast(tr("无效的歌曲索引"), true);
        return;
    }
    // Copied before anything runs: handing the queue to the player emits signals.
    const QString title = shown.at(index).title;
    QList<Song> songs;
    songs.reserve(shown.size());
    for (const LocalMusicFile &file : shown)
        songs.append(file.toSong());
    m_currentPlaylist = songs;
    m_player->setPlaylist(songs);
    m_player->play(index);
    updatePlaylistView();
    showToast(tr("正在播放: ") + title);
}

void MainWindow::addLocalToPlaylist(int index)
{
    const QList<LocalMusicFile> &shown = m_isLocalFiltered ? m_filteredLocalMusic : m_localMusicManager->musicFiles();
    if (index < 0 || index >= shown.size())
        return;
    const Song song = shown.at(index).toSong();
    m_player->addToPlaylist(song);
    updatePlaylistView();
    showToast(tr("已添加: ") + song.title);
}

// Rows carry indexes into the shown list; while a filter is active that is the filter
// result, so the entry to drop is found in the library by its path.
void MainWindow::removeLocalMusic(int index)
{
    // The removal rebuilds the library from its current entries: read the rest first.
    if (m_restoringLocal) {
        while (!m_pendingRestore.isEmpty())
            m_localMusicManager->restoreStoredFile(m_pendingRestore.takeFirst());
        finishLocalRestore();
    }
    QList<LocalMusicFile> library = m_localMusicManager->musicFiles();
    int libraryIndex = index;
    if (m_isLocalFiltered) {
        if (index < 0 || index >= m_filteredLocalMusic.size())
            return;
        const QString path = m_filteredLocalMusic.at(index).filePath;
        libraryIndex = -1;
        for (int i = 0; i < library.size(); ++i) {
            if (library.at(i).filePath == path) {
                libraryIndex = i;
                break;
            }
        }
        m_filteredLocalMusic.removeAt(index);
    }
    if (libraryIndex < 0 || libraryIndex >= library.size())
        return;
    library.removeAt(libraryIndex);

    m_localMusicManager->clearMusicList();
    for (const LocalMusicFile &file : std::as_const(library))
        m_localMusicManager->addMusicFile(file.filePath);
    updateLocalMusicList();
    updateTabCounts();
    // An emptied library writes nothing when saved, so the last removed file would come back
    // at the next start.
    if (m_localMusicManager->musicFiles().isEmpty())
        removeStoredLocalLibrary();
}

void MainWindow::clearLocalMusic()
{
    cancelLocalRestore();
    m_localMusicManager->clearMusicList();
    // The filter result holds copies; left alone, the cleared library would still be listed.
    m_isLocalFiltered = false;
    m_filteredLocalMusic.clear();
    updateLocalMusicList();
    updateTabCounts();
    removeStoredLocalLibrary();
    showToast(tr("本地音乐列表已清除"));
}

void MainWindow::showLocalMusicContextMenu(const QPoint &pos)
{
    QListWidgetItem *item = ui->localMusicList->itemAt(pos);
    if (!item)
        return;
    const int index = item->data(Qt::UserRole).toInt();
    QMenu menu(this);
    menu.addAction(tr("播放"), this, [this, index] { playLocalMusic(index); });
    menu.addAction(tr("添加到播放列表"), this, [this, index] { addLocalToPlaylist(index); });
    menu.addSeparator();
    menu.addAction(tr("从列表中移除"), this, [this, index] { removeLocalMusic(index); });
    // The position is in the viewport's coordinates, as for every scroll area.
    menu.exec(ui->localMusicList->viewport()->mapToGlobal(pos));
}

// ---- Local search ----

void MainWindow::filterLocalMusic(const QString &text)
{
    m_filteredLocalMusic.clear();
    if (text.isEmpty()) {
        m_isLocalFiltered = false;
        updateLocalMusicList();
        return;
    }
    m_isLocalFiltered = true;
    for (const LocalMusicFile &file : m_localMusicManager->musicFiles()) {
        if (matchesFilter(file, text))
            m_filteredLocalMusic.append(file);
    }
    updateLocalMusicList();
}

void MainWindow::onSearchModeChanged(int index)
{
    if (index != 0)
        showToast(tr("切换到本地搜索"));
    else
        showToast(tr("切换到网络搜索"));
    if (!ui->searchInput->text().trimmed().isEmpty())
        searchSongs();
}

// ---- Persistence ----

void MainWindow::saveLocalMusicToSettings()
{
    // A scan still running (the window closes mid-scan) holds only part of the new folder; the
    // stored library stays whole until a scan ends.
    if (m_localMusicManager->isScanning())
        return;
    const QString scanPath = m_localMusicManager->scanPath();
    if (!scanPath.isEmpty())
        m_settings.setValue(ScanPathKey, scanPath);
    // A restore cut short would store part of the library; the stored list is still whole.
    if (m_restoringLocal)
        return;
    const QList<LocalMusicFile> &files = m_localMusicManager->musicFiles();
    // An empty library (a scan that found nothing) keeps the list stored before it.
    if (files.isEmpty())
        return;
    QVariantList list;
    list.reserve(files.size());
    for (const LocalMusicFile &file : files)
        list.append(toStoredMap(file));
    m_settings.setValue(MusicFilesKey, list);
    m_settings.setValue(FileCountKey, qlonglong(files.size()));
}

void MainWindow::removeStoredLocalLibrary()
{
    m_settings.remove(MusicFilesKey);
    m_settings.remove(FileCountKey);
}

// Keeps the stored files that still exist and re-reads them, in slices once the window runs: the
// window shows at once however large the library is, and a file whose tags take long to read
// holds back only its own slice.
void MainWindow::loadLocalMusicFromSettings()
{
    const QString scanPath = m_settings.value(ScanPathKey, QString()).toString();
    if (!scanPath.isEmpty())
        m_localMusicManager->setScanPath(scanPath);

    const QVariantList stored = m_settings.value(MusicFilesKey).toList();
    const QStringList paths = m_localMusicManager->prepareRestore(m_settings.value(FileCountKey), stored);
    if (paths.isEmpty())
        return;

    m_localMusicManager->clearMusicList();
    m_pendingRestore = paths;
    m_storedLocalEntries = stored.size();
    m_restoringLocal = true;
    QMetaObject::invokeMethod(this, [this] { continueLocalRestore(); }, Qt::QueuedConnection);
}

void MainWindow::continueLocalRestore()
{
    QElapsedTimer slice;
    slice.start();
    // A reading may wait in a nested event loop, where a scan or Clear can end the restore.
    while (m_restoringLocal && !m_pendingRestore.isEmpty() && slice.elapsed() < RestoreSliceMs) {
        m_localMusicManager->restoreStoredFile(m_pendingRestore.takeFirst());
    }
    if (!m_restoringLocal)
        return;
    if (!m_pendingRestore.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] { continueLocalRestore(); }, Qt::QueuedConnection);
        return;
    }
    finishLocalRestore();
}

void MainWindow::finishLocalRestore()
{
    if (!m_restoringLocal)
        return;
    m_restoringLocal = false;
    m_pendingRestore.clear();
    updateLocalMusicList();
    updateTabCounts();

    // The library, not the kept list, is what a save writes: a stored path that is no longer
    // a supported file is dropped there too.
    const qsizetype loaded = m_localMusicManager->musicFiles().size();
    if (loaded != m_storedLocalEntries) {
        if (loaded == 0)
            removeStoredLocalLibrary();
        else
            saveLocalMusicToSettings();
    }
    qDebug() << tr("从设置中加载了") << loaded << tr("首本地音乐文件");
    if (!m_localMusicManager->restoreNotice().isEmpty())
        showToast(m_localMusicManager->restoreNotice(), true, true);
}

void MainWindow::cancelLocalRestore()
{
    m_restoringLocal = false;
    m_pendingRestore.clear();
}
