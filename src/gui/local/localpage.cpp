#include "localpage.h"

#include "localmusicmanager.h"
#include "settings.h"
#include "statusline.h"
#include "windowtext.h"

#include <QAbstractButton>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QMenu>
#include <QMetaObject>

#include <utility>

namespace {

// How long one slice of the start-up restore may hold the event loop.
constexpr qint64 RestoreSliceMs = 25;

bool matchesFilter(const LocalMusicFile &file, const QString &text)
{
    return file.title.indexOf(text, 0, Qt::CaseInsensitive) >= 0
        || file.artist.indexOf(text, 0, Qt::CaseInsensitive) >= 0
        || file.album.indexOf(text, 0, Qt::CaseInsensitive) >= 0;
}

} // namespace

LocalPage::LocalPage(
    LocalMusicManager *library, Settings *settings, StatusLine *status, QWidget *window, const Widgets &widgets)
    : QObject(window)
    , m_library(library)
    , m_settings(settings)
    , m_status(status)
    , m_window(window)
    , m_widgets(widgets)
{
    connect(m_widgets.selectFolderButton, &QAbstractButton::clicked, this, [this] { selectMusicFolder(); });
    connect(m_widgets.scanButton, &QAbstractButton::clicked, this, [this] { scan(); });
    connect(m_widgets.clearButton, &QAbstractButton::clicked, this, [this] { clear(); });
    connect(m_widgets.list, &QListWidget::itemDoubleClicked, this,
        [this](QListWidgetItem *item) { play(item->data(ItemRole::ListIndex).toInt()); });
    m_widgets.list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_widgets.list, &QListWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { showContextMenu(pos); });

    connect(m_library, &LocalMusicManager::scanProgress, this, &LocalPage::onScanProgress);
    connect(m_library, &LocalMusicManager::scanFinished, this, &LocalPage::onScanFinished);
    connect(m_library, &LocalMusicManager::musicListChanged, this, &LocalPage::onLibraryChanged);
    connect(m_library, &LocalMusicManager::scanError, this,
        [this](const QString &error) { m_status->show(WindowText::tr("扫描错误: ") + error, true); });
}

void LocalPage::setFolderChooser(FolderChooser chooser)
{
    m_folderChooser = std::move(chooser);
}

int LocalPage::libraryCount() const
{
    return static_cast<int>(m_library->musicFiles().size());
}

const QList<LocalMusicFile> &LocalPage::shown() const
{
    return m_isFiltered ? m_filtered : m_library->musicFiles();
}

// ---- The list ----

void LocalPage::updateList()
{
    const QList<LocalMusicFile> &files = shown();
    QListWidget *list = m_widgets.list;
    m_refreshPending = false;
    // A large library would otherwise relayout the view once per row.
    list->setUpdatesEnabled(false);
    list->clear();
    const QIcon icon(QStringLiteral(":/icons/music.svg"));
    const QString unknownArtist = WindowText::tr("未知艺术家");
    for (int i = 0; i < files.size(); ++i) {
        const LocalMusicFile &file = files.at(i);
        const QString text = QStringLiteral("%1 - %2  [%3]")
                                 .arg(file.title.isEmpty() ? file.fileName : file.title,
                                     file.artist.isEmpty() ? unknownArtist : file.artist, file.formattedDuration());
        auto *item = new QListWidgetItem(icon, text);
        item->setData(ItemRole::ListIndex, i);
        if (!file.available)
            item->setForeground(Qt::gray);
        list->addItem(item);
    }
    list->setUpdatesEnabled(true);
}

void LocalPage::onLibraryChanged()
{
    scheduleRefresh();
}

// A restore or a removal re-adds the library one file at a time, each addition announcing a
// changed list; rebuilding the rows every time would make N additions cost N² rows.
void LocalPage::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Cleared by a rebuild made in the meantime, which leaves nothing to redo.
            const bool rowsStale = m_refreshPending;
            m_refreshPending = false;
            // While the stored library is re-read only the count follows; the rows come once.
            if (rowsStale && !m_restoring)
                updateList();
            emit countChanged();
        },
        Qt::QueuedConnection);
}

// ---- Folder and scan ----

void LocalPage::selectMusicFolder()
{
    QString folder;
    if (m_folderChooser) {
        folder = m_folderChooser(m_window);
    } else {
        folder = QFileDialog::getExistingDirectory(m_window, WindowText::tr("选择音乐文件夹"), QDir::homePath(),
            QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    }
    if (folder.isEmpty())
        return;
    m_library->setScanPath(folder);
    m_settings->setLocalScanPath(folder);
    m_status->show(WindowText::tr("已选择目录: ") + folder);
    scan();
}

void LocalPage::scan()
{
    const QString path = m_library->scanPath();
    if (path.isEmpty()) {
        selectMusicFolder();
        return;
    }
    if (m_library->isScanning()) {
        m_status->show(WindowText::tr("正在扫描中..."), true);
        return;
    }
    // The scan replaces the library; what the restore has not read yet would only mix in.
    cancelRestore();
    m_status->show(WindowText::tr("正在扫描..."));
    m_library->startScan(path);
}

void LocalPage::onScanProgress(int current, int total, const QString &fileName)
{
    Q_UNUSED(fileName)
    m_status->show(WindowText::tr("扫描中: %1/%2").arg(current).arg(total));
}

void LocalPage::onScanFinished(int totalFiles)
{
    updateList();
    emit countChanged();
    save();
    m_status->show(WindowText::tr("扫描完成，找到 %1 首本地歌曲").arg(totalFiles));
    // Written now rather than at exit, so that a settings store that cannot be written is
    // reported while the user can still act on it.
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        m_status->show(
            WindowText::tr("无法保存本地音乐库，请检查设置文件的写入权限: %1").arg(m_settings->fileName()), true);
}

// ---- Row operations ----

void LocalPage::play(int index)
{
    const QList<LocalMusicFile> &files = shown();
    if (index < 0 || index >= files.size()) {
        m_status->show(WindowText::tr("无效的歌曲索引"), true);
        return;
    }
    // Copied before anything runs: handing the queue to the player emits signals.
    const QString title = files.at(index).title;
    QList<Song> songs;
    songs.reserve(files.size());
    for (const LocalMusicFile &file : files)
        songs.append(file.toSong());
    emit playRequested(songs, index);
    m_status->show(WindowText::tr("正在播放: ") + title);
}

void LocalPage::addToQueue(int index)
{
    const QList<LocalMusicFile> &files = shown();
    if (index < 0 || index >= files.size())
        return;
    const Song song = files.at(index).toSong();
    emit addRequested(song);
    m_status->show(WindowText::tr("已添加: ") + song.title);
}

// Rows carry indexes into the shown list; while a filter is active that is the filter
// result, so the entry to drop is found in the library by its path.
void LocalPage::remove(int index)
{
    // The removal rebuilds the library from its current entries: read the rest first.
    if (m_restoring) {
        while (!m_pendingRestore.isEmpty())
            m_library->restoreStoredFile(m_pendingRestore.takeFirst());
        finishRestore();
    }
    QList<LocalMusicFile> library = m_library->musicFiles();
    int libraryIndex = index;
    if (m_isFiltered) {
        if (index < 0 || index >= m_filtered.size())
            return;
        const QString path = m_filtered.at(index).filePath;
        libraryIndex = -1;
        for (int i = 0; i < library.size(); ++i) {
            if (library.at(i).filePath == path) {
                libraryIndex = i;
                break;
            }
        }
        m_filtered.removeAt(index);
    }
    if (libraryIndex < 0 || libraryIndex >= library.size())
        return;
    library.removeAt(libraryIndex);

    m_library->clearMusicList();
    for (const LocalMusicFile &file : std::as_const(library))
        m_library->addMusicFile(file.filePath);
    updateList();
    emit countChanged();
    // An emptied library writes nothing when saved, so the last removed file would come back
    // at the next start.
    if (m_library->musicFiles().isEmpty())
        removeStoredLibrary();
}

void LocalPage::clear()
{
    cancelRestore();
    m_library->clearMusicList();
    // The filter result holds copies; left alone, the cleared library would still be listed.
    m_isFiltered = false;
    m_filtered.clear();
    updateList();
    emit countChanged();
    removeStoredLibrary();
    m_status->show(WindowText::tr("本地音乐列表已清除"));
}

void LocalPage::showContextMenu(const QPoint &pos)
{
    QListWidgetItem *item = m_widgets.list->itemAt(pos);
    if (!item)
        return;
    const int index = item->data(ItemRole::ListIndex).toInt();
    QMenu menu(m_window);
    menu.addAction(WindowText::tr("播放"), this, [this, index] { play(index); });
    menu.addAction(WindowText::tr("添加到播放列表"), this, [this, index] { addToQueue(index); });
    menu.addSeparator();
    menu.addAction(WindowText::tr("从列表中移除"), this, [this, index] { remove(index); });
    // The position is in the viewport's coordinates, as for every scroll area.
    menu.exec(m_widgets.list->viewport()->mapToGlobal(pos));
}

// ---- Local search ----

void LocalPage::filter(const QString &text)
{
    m_filtered.clear();
    if (text.isEmpty()) {
        m_isFiltered = false;
        updateList();
        return;
    }
    m_isFiltered = true;
    for (const LocalMusicFile &file : m_library->musicFiles()) {
        if (matchesFilter(file, text))
            m_filtered.append(file);
    }
    updateList();
}

void LocalPage::search(const QString &keyword)
{
    if (keyword.isEmpty()) {
        filter(QString());
        m_status->show(WindowText::tr("显示所有本地音乐"));
        return;
    }
    filter(keyword);
    emit pageRequested(pageNumber(PageIndex::Local));
    m_status->show(WindowText::tr("搜索本地: %1").arg(keyword));
}

// ---- Persistence ----

void LocalPage::save()
{
    // A scan still running (the window closes mid-scan) holds only part of the new folder; the
    // stored library stays whole until a scan ends.
    if (m_library->isScanning())
        return;
    const QString scanPath = m_library->scanPath();
    if (!scanPath.isEmpty())
        m_settings->setLocalScanPath(scanPath);
    // A restore cut short would store part of the library; the stored list is still whole.
    if (m_restoring)
        return;
    const QList<LocalMusicFile> &files = m_library->musicFiles();
    // An empty library (a scan that found nothing) keeps the list stored before it.
    if (files.isEmpty())
        return;
    m_settings->setStoredLocalLibrary(files);
}

void LocalPage::removeStoredLibrary()
{
    m_settings->removeStoredLocalLibrary();
}

// Keeps the stored files that still exist and re-reads them, in slices once the window runs: the
// window shows at once however large the library is, and a file whose tags take long to read
// holds back only its own slice.
void LocalPage::restore()
{
    const QString scanPath = m_settings->localScanPath();
    if (!scanPath.isEmpty())
        m_library->setScanPath(scanPath);

    const QVariantList stored = m_settings->storedLocalFiles();
    const QStringList paths = m_library->prepareRestore(m_settings->storedLocalFileCount(), stored);
    if (paths.isEmpty())
        return;

    m_library->clearMusicList();
    m_pendingRestore = paths;
    m_storedEntries = stored.size();
    m_restoring = true;
    QMetaObject::invokeMethod(
        this, [this] { continueRestore(); }, Qt::QueuedConnection);
}

void LocalPage::continueRestore()
{
    QElapsedTimer slice;
    slice.start();
    // A reading may wait in a nested event loop, where a scan or Clear can end the restore.
    while (m_restoring && !m_pendingRestore.isEmpty() && slice.elapsed() < RestoreSliceMs)
        m_library->restoreStoredFile(m_pendingRestore.takeFirst());
    if (!m_restoring)
        return;
    if (!m_pendingRestore.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { continueRestore(); }, Qt::QueuedConnection);
        return;
    }
    finishRestore();
}

void LocalPage::finishRestore()
{
    if (!m_restoring)
        return;
    m_restoring = false;
    m_pendingRestore.clear();
    updateList();
    emit countChanged();

    // The library, not the kept list, is what a save writes: a stored path that is no longer
    // a supported file is dropped there too.
    const qsizetype loaded = m_library->musicFiles().size();
    if (loaded != m_storedEntries) {
        if (loaded == 0)
            removeStoredLibrary();
        else
            save();
    }
    qDebug() << WindowText::tr("从设置中加载了") << loaded << WindowText::tr("首本地音乐文件");
    if (!m_library->restoreNotice().isEmpty())
        m_status->show(m_library->restoreNotice(), true, true);
}

void LocalPage::cancelRestore()
{
    m_restoring = false;
    m_pendingRestore.clear();
}

void LocalPage::retranslate()
{
    m_widgets.selectFolderButton->setText(WindowText::tr("选择目录"));
    m_widgets.scanButton->setText(WindowText::tr("扫描音乐"));
    m_widgets.clearButton->setText(WindowText::tr("清除"));
}
