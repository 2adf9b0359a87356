#include "cataloguepages.h"

#include "apiclient.h"
#include "catalogueconfig.h"
#include "mainwindowhelpers.h"
#include "pagenotice.h"
#include "resultspage.h"
#include "statusline.h"
#include "windowtext.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontMetrics>
#include <QListWidget>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

const QSize AlbumIconSize(100, 100);
const QSize AlbumGridSize(160, 230);
const QSize AlbumTileSize(150, 180);

// Room for a tile's text lines: the tile less a small margin on each side.
constexpr int AlbumTextWidth = 140;

// "name (count)" over the artist, each line elided to the tile's width: a long name would
// otherwise wrap onto lines the tile cannot show.
QString albumTileText(const Album &album, const QFontMetrics &metrics)
{
    const QString count = QStringLiteral(" (%1)").arg(album.songCount);
    const QString name
        = metrics.elidedText(album.name, Qt::ElideRight, qMax(0, AlbumTextWidth - metrics.horizontalAdvance(count)));
    return name + count + QLatin1Char('\n') + metrics.elidedText(album.artist, Qt::ElideRight, AlbumTextWidth);
}

QListWidgetItem *newSongItem(const Song &song)
{
    static const QIcon icon(QStringLiteral(":/icons/music.svg")); // one icon shared by every row
    auto *item = new QListWidgetItem(icon, MainWindowHelpers::songRowText(song));
    item->setData(ItemRole::SongId, song.id);
    return item;
}

// Rows added per turn of the event loop at most, and how long one turn may take.
constexpr qsizetype FillSliceRows = 2000;
constexpr qint64 FillSliceMs = 20;

// Fills a song list in slices, so that a large catalogue never holds the window for long: the
// first slice at once, the rest on the next turns. A newer fill of the list, or any other change
// to its rows, ends an older one.
class SongListFiller : public QObject
{
public:
    SongListFiller(QListWidget *list, QList<Song> songs)
        : QObject(list)
        , m_list(list)
        , m_songs(std::move(songs))
    {
        const QString name = QStringLiteral("songListFiller");
        for (QObject *older : list->findChildren<QObject *>(name, Qt::FindDirectChildrenOnly))
            delete older; // its pending slice goes with it
        setObjectName(name);
        fillSlice();
    }

private:
    void fillSlice()
    {
        if (m_list->count() != m_next) { // emptied or refilled meanwhile
            deleteLater();
            return;
        }
        QElapsedTimer slice;
        slice.start();
        const qsizetype end = qMin(m_songs.size(), m_next + FillSliceRows);
        while (m_next < end && slice.elapsed() < FillSliceMs)
            m_list->addItem(newSongItem(m_songs.at(m_next++)));
        if (m_next >= m_songs.size()) {
            deleteLater();
            return;
        }
        QTimer::singleShot(0, this, [this] { fillSlice(); });
    }

    QListWidget *m_list;
    QList<Song> m_songs;
    qsizetype m_next = 0;
};

void fillSongList(QListWidget *list, const QList<Song> &songs)
{
    list->setUniformItemSizes(true);
    new SongListFiller(list, songs);
}

} // namespace

CataloguePages::CataloguePages(
    ApiClient *client, StatusLine *status, QListWidget *albumList, QListWidget *songList, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_status(status)
    , m_albumList(albumList)
    , m_songList(songList)
    , m_albumNotice(new PageNotice(QStringLiteral("albumNotice"), albumList))
    , m_songNotice(new PageNotice(QStringLiteral("songsNotice"), songList))
{
    for (PageNotice *notice : { m_albumNotice, m_songNotice })
        connect(notice, &PageNotice::buttonClicked, this, &CataloguePages::retryRequested);
    m_albumList->viewport()->installEventFilter(this);
    connect(m_albumList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        const int id = item->data(ItemRole::AlbumId).toInt();
        if (id > 0)
            playAlbum(id);
    });
    connect(m_songList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        const int id = item->data(ItemRole::SongId).toInt();
        if (id > 0)
            emit songActivated(id);
    });
}

bool CataloguePages::containsSong(int songId) const
{
    return std::any_of(m_songs.cbegin(), m_songs.cend(), [songId](const Song &song) { return song.id == songId; });
}

Song CataloguePages::song(int songId) const
{
    for (const Song &song : m_songs) {
        if (song.id == songId)
            return song;
    }
    return Song();
}

void CataloguePages::load()
{
    if (m_isLoading) {
        qDebug() << WindowText::tr("正在加载中，跳过");
        return;
    }
    if (m_dataLoaded) {
        qDebug() << WindowText::tr("数据已加载，跳过");
        return;
    }
    m_isLoading = true;
    m_loadFailure = ApiError();
    setLoadingState(true);
    const QString loading = WindowText::tr("正在从 %1 加载音乐目录...").arg(CatalogueConfig::baseUrl().toString());
    m_albumNotice->showMessage(loading);
    m_songNotice->showMessage(loading);
    // Both at once: a server that does not answer costs one wait, not one per list.
    loadAlbums();
    loadAllSongs();
}

void CataloguePages::partArrived(LoadPart part)
{
    const ApiError &error = m_client->lastError();
    if (error.failed() && !m_loadFailure.failed())
        m_loadFailure = error;
    m_pendingParts &= ~part;
    if (m_pendingParts != 0)
        return;
    m_dataLoaded = true;
    m_isLoading = false;
    emit countsChanged();
    setLoadingState(false);
    showLoadOutcome();
    emit catalogueLoaded();
}

void CataloguePages::showLoadOutcome()
{
    if (m_loadFailure.failed()) {
        // Said on the pages, with a way to try again; no box to dismiss before the window is usable.
        const QString text = WindowText::tr("%1。请确认服务器已启动且地址正确，然后重试。").arg(m_loadFailure.message);
        m_albumNotice->showMessage(text, WindowText::tr("重试"));
        m_songNotice->showMessage(text, WindowText::tr("重试"));
        m_status->show(m_loadFailure.message);
        return;
    }
    if (m_albums.isEmpty())
        m_albumNotice->showMessage(
            WindowText::tr("目录中还没有专辑。把音乐导入服务器后点“刷新”。"), WindowText::tr("刷新"));
    else
        m_albumNotice->clear();
    if (m_songs.isEmpty())
        m_songNotice->showMessage(
            WindowText::tr("目录中还没有歌曲。把音乐导入服务器后点“刷新”。"), WindowText::tr("刷新"));
    else
        m_songNotice->clear();
    m_status->show(WindowText::tr("加载了 %1 首歌曲").arg(m_songs.size()));
}

void CataloguePages::clear()
{
    ++m_albumGridGeneration;
    m_albumList->clear();
    m_songList->clear();
}

void CataloguePages::reload()
{
    m_dataLoaded = false;
    // A load still running (a stalled server) would refuse this one.
    m_client->cancelCatalogueRequests();
    m_isLoading = false;
    m_pendingParts = 0;
    load();
}

void CataloguePages::setLoadingState(bool loading)
{
    QWidget *window = m_albumList->window();
    if (loading) {
        m_status->show(WindowText::tr("加载中..."), false, true);
        window->setCursor(Qt::WaitCursor);
    } else {
        m_status->show(WindowText::tr("就绪"));
        window->setCursor(Qt::ArrowCursor);
    }
}

// ---- Albums ----

void CataloguePages::clearAlbumGrid()
{
    ++m_albumGridGeneration;
    m_albumList->clear();
}

void CataloguePages::loadAlbums()
{
    qDebug() << WindowText::tr("正在加载专辑...");
    if (m_pendingParts == 0)
        m_loadFailure = ApiError();
    m_pendingParts |= AlbumsPart;
    m_client->getAlbums([this](const QList<Album> &albums) {
        qDebug() << WindowText::tr("专辑已加载:") << albums.size();
        m_albums = albums;

        clearAlbumGrid();
        m_albumList->setViewMode(QListView::IconMode);
        m_albumList->setIconSize(AlbumIconSize);
        m_albumList->setResizeMode(QListView::Adjust);
        m_albumList->setSpacing(15);
        m_albumList->setWordWrap(true);
        m_albumList->setUniformItemSizes(true);
        fitAlbumGrid();

        QIcon placeholder(QStringLiteral(":/icons/music.svg"));
        if (placeholder.isNull())
            placeholder = m_albumList->style()->standardIcon(QStyle::SP_FileIcon);
        const QFontMetrics metrics = m_albumList->fontMetrics();
        for (const Album &album : albums) {
            auto *item = new QListWidgetItem(placeholder, albumTileText(album, metrics));
            item->setToolTip(QStringLiteral("%1\n%2").arg(album.name, album.artist));
            item->setData(ItemRole::AlbumId, album.id);
            item->setData(Qt::TextAlignmentRole, QVariant::fromValue(Qt::AlignHCenter | Qt::AlignBottom));
            item->setData(Qt::SizeHintRole, AlbumTileSize);
            m_albumList->addItem(item);
            if (!album.cover.isEmpty())
                loadCover(item, album.cover);
        }

        emit countsChanged();
        m_status->show(WindowText::tr("加载了 %1 个专辑").arg(albums.size()));
        partArrived(AlbumsPart);
    });
}

bool CataloguePages::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_albumList->viewport() && event->type() == QEvent::Resize)
        fitAlbumGrid();
    return QObject::eventFilter(watched, event);
}

void CataloguePages::fitAlbumGrid()
{
    // Whole columns only, each as wide as the page allows: no empty strip on the right.
    const int width = m_albumList->viewport()->width();
    const int columns = qMax(1, width / AlbumGridSize.width());
    const QSize grid(qMax(AlbumGridSize.width(), width / columns), AlbumGridSize.height());
    if (m_albumList->gridSize() != grid)
        m_albumList->setGridSize(grid);
}

void CataloguePages::loadCover(QListWidgetItem *item, const QString &coverPath)
{
    if (!item || coverPath.isEmpty())
        return;
    const QUrl url = CatalogueConfig::mediaUrl(coverPath); // invalid (and logged) outside the media folder
    if (!url.isValid())
        return;
    qDebug() << WindowText::tr("正在加载封面:") << url.toString();

    if (!m_coverManager) {
        m_coverManager = new QNetworkAccessManager(this);
        m_coverSslConfiguration = CatalogueConfig::sslConfiguration();
        m_coverTimeoutMs = CatalogueConfig::transferTimeoutMs();
    }
    QNetworkRequest request(url);
    CatalogueConfig::prepareRequest(request, m_coverSslConfiguration, m_coverTimeoutMs);
    QNetworkReply *reply = m_coverManager->get(request);
    CatalogueConfig::limitReplySize(reply);

    // The tile is found again by row and album id: the grid may have been emptied meanwhile,
    // and then the item pointer is gone.
    const int generation = m_albumGridGeneration;
    const int row = m_albumList->row(item);
    const int albumId = item->data(ItemRole::AlbumId).toInt();
    connect(reply, &QNetworkReply::finished, this, [this, reply, generation, row, albumId] {
        reply->deleteLater();
        if (generation != m_albumGridGeneration)
            return;
        if (reply->error() != QNetworkReply::NoError) {
            qDebug() << WindowText::tr("加载封面失败:") << reply->errorString();
            return;
        }
        QPixmap pixmap;
        if (!pixmap.loadFromData(reply->readAll()) || pixmap.isNull())
            return;
        QListWidgetItem *tile = m_albumList->item(row);
        if (!tile || tile->data(ItemRole::AlbumId).toInt() != albumId)
            return;
        tile->setIcon(QIcon(MainWindowHelpers::roundCover(pixmap)));
        qDebug() << WindowText::tr("封面已加载并裁剪为圆形");
    });
}

const Album *CataloguePages::findAlbum(int albumId) const
{
    const auto it = std::find_if(
        m_albums.cbegin(), m_albums.cend(), [albumId](const Album &album) { return album.id == albumId; });
    return it == m_albums.cend() ? nullptr : &*it;
}

void CataloguePages::loadAlbumSongs(int albumId)
{
    m_client->getSongs(albumId, [this, albumId](const QList<Song> &songs) {
        qDebug() << WindowText::tr("专辑歌曲已加载:") << songs.size();
        showAlbum(albumId, songs);
        m_status->show(WindowText::tr("专辑加载了 %1 首歌曲").arg(songs.size()));
    });
}

void CataloguePages::playAlbum(int albumId)
{
    m_client->getSongs(albumId, [this, albumId](const QList<Song> &songs) {
        if (songs.isEmpty()) {
            m_status->show(WindowText::tr("该专辑没有歌曲"), true);
            return;
        }
        emit playRequested(songs, 0);
        // What plays is shown as the album's own list; the All Songs list stays whole.
        showAlbum(albumId, songs);
        m_status->show(WindowText::tr("正在播放专辑"));
    });
}

void CataloguePages::showAlbum(int albumId, const QList<Song> &songs)
{
    if (!m_results)
        return;
    const Album *album = findAlbum(albumId);
    const QString name = album ? album->name : QString();
    m_results->showSongs(
        [name] { return name.isEmpty() ? WindowText::tr("专辑") : WindowText::tr("专辑: %1").arg(name); }, songs,
        [] { return WindowText::tr("该专辑没有歌曲"); }, true);
    emit pageRequested(pageNumber(PageIndex::Results));
}

// ---- Songs ----

void CataloguePages::loadAllSongs()
{
    qDebug() << WindowText::tr("正在加载所有歌曲...");
    if (m_pendingParts == 0)
        m_loadFailure = ApiError();
    m_pendingParts |= SongsPart;
    m_client->getAllSongs([this](const QList<Song> &songs) {
        qDebug() << WindowText::tr("歌曲已加载:") << songs.size();
        m_songs = songs;
        m_songList->clear();
        fillSongList(m_songList, songs);
        if (!songs.isEmpty())
            m_status->show(WindowText::songCount(songs.size()));
        partArrived(SongsPart);
    });
}

void CataloguePages::search(const QString &keyword)
{
    if (keyword.isEmpty()) {
        emit pageRequested(pageNumber(PageIndex::Songs));
        loadAllSongs();
        return;
    }
    m_client->search(keyword, [this, keyword](const QList<Song> &songs) {
        const ApiError error = m_client->lastError();
        if (!songs.isEmpty())
            m_status->show(WindowText::tr("找到 %1 首歌曲").arg(songs.size()));
        else
            m_status->show(error.failed() ? error.message : WindowText::tr("未找到匹配的歌曲"));
        if (!m_results)
            return;
        // Nothing found is said on the page, where the user looks, not in a box to dismiss.
        const QString failure = error.failed() ? error.message : QString();
        const qsizetype count = songs.size();
        m_results->showSongs([keyword, count] { return WindowText::tr("搜索: %1 (%2)").arg(keyword).arg(count); },
            songs,
            [keyword, failure] {
                return failure.isEmpty()
                    ? WindowText::tr("没有找到与“%1”匹配的歌曲。换个关键词再试，或点“返回”。").arg(keyword)
                    : WindowText::tr("搜索失败: %1").arg(failure);
            });
        emit pageRequested(pageNumber(PageIndex::Results));
    });
}

void CataloguePages::highlightSong(int songId)
{
    for (QListWidget *list : { m_songList, m_results ? m_results->list() : nullptr }) {
        for (int row = 0; list && row < list->count(); ++row) {
            QListWidgetItem *item = list->item(row);
            const bool isCurrent = item->data(ItemRole::SongId).toInt() == songId;
            item->setBackground(isCurrent ? QBrush(CurrentRowColour) : QBrush(Qt::transparent));
        }
    }
}

void CataloguePages::showSongDetail(const Song &song)
{
    const QString text = WindowText::tr("歌曲详情\n━━━━━━━━━━━━━━━━━━\n标题: %1\n艺术家: %2\n时长: %3\n播放次数: %4\n")
                             .arg(song.title, song.artist, song.formattedDuration(), QString::number(song.playCount));
    QMessageBox box(QMessageBox::Information, WindowText::tr("歌曲详情"), text, QMessageBox::Ok, m_songList->window());
    box.exec();
}
