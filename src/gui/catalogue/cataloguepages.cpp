#include "cataloguepages.h"

#include "apiclient.h"
#include "catalogueconfig.h"
#include "mainwindowhelpers.h"
#include "statusline.h"
#include "windowtext.h"

#include <QDebug>
#include <QElapsedTimer>
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
{
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
    setLoadingState(true);
    loadAlbums();
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
    m_client->getAlbums([this](const QList<Album> &albums) {
        qDebug() << WindowText::tr("专辑已加载:") << albums.size();
        m_albums = albums;

        clearAlbumGrid();
        m_albumList->setViewMode(QListView::IconMode);
        m_albumList->setIconSize(AlbumIconSize);
        m_albumList->setGridSize(AlbumGridSize);
        m_albumList->setResizeMode(QListView::Adjust);
        m_albumList->setSpacing(15);
        m_albumList->setWordWrap(true);
        m_albumList->setUniformItemSizes(true);

        QIcon placeholder(QStringLiteral(":/icons/music.svg"));
        if (placeholder.isNull())
            placeholder = m_albumList->style()->standardIcon(QStyle::SP_FileIcon);
        for (const Album &album : albums) {
            auto *item = new QListWidgetItem(placeholder,
                QStringLiteral("%1 (%2)\n%3").arg(album.name, QString::number(album.songCount), album.artist));
            item->setData(ItemRole::AlbumId, album.id);
            item->setData(Qt::TextAlignmentRole, QVariant::fromValue(Qt::AlignHCenter | Qt::AlignBottom));
            item->setData(Qt::SizeHintRole, AlbumTileSize);
            m_albumList->addItem(item);
            if (!album.cover.isEmpty())
                loadCover(item, album.cover);
        }

        emit countsChanged();
        m_status->show(WindowText::tr("加载了 %1 个专辑").arg(albums.size()));
        loadAllSongs();
    });
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
    m_client->getSongs(albumId, [this](const QList<Song> &songs) {
        qDebug() << WindowText::tr("专辑歌曲已加载:") << songs.size();
        m_songList->clear();
        for (const Song &song : songs) {
            QListWidgetItem *item = newSongItem(song);
            if (song.playCount > 0)
                item->setToolTip(WindowText::tr("播放次数: %1").arg(song.playCount));
            m_songList->addItem(item);
        }
        emit pageRequested(pageNumber(PageIndex::Songs));
        m_status->show(WindowText::tr("专辑加载了 %1 首歌曲").arg(songs.size()));
    });
}

void CataloguePages::playAlbum(int albumId)
{
    m_client->getSongs(albumId, [this](const QList<Song> &songs) {
        if (songs.isEmpty()) {
            m_status->show(WindowText::tr("该专辑没有歌曲"), true);
            return;
        }
        emit playRequested(songs, 0);
        m_status->show(WindowText::tr("正在播放专辑"));
    });
}

// ---- Songs ----

void CataloguePages::loadAllSongs()
{
    qDebug() << WindowText::tr("正在加载所有歌曲...");
    m_client->getAllSongs([this](const QList<Song> &songs) {
        qDebug() << WindowText::tr("歌曲已加载:") << songs.size();
        m_songs = songs;
        m_dataLoaded = true;
        m_isLoading = false;

        m_songList->clear();
        fillSongList(m_songList, songs);
        if (!songs.isEmpty())
            m_status->show(WindowText::songCount(songs.size()));
        else
            m_status->show(m_client->lastError().failed()
                    ? m_client->lastError().message
                    : WindowText::tr("警告: 歌曲数据为空，请检查网络连接或刷新重试"),
                true);

        emit countsChanged();
        setLoadingState(false);
        m_status->show(WindowText::tr("加载了 %1 首歌曲").arg(songs.size()));
        emit catalogueLoaded();
    });
}

void CataloguePages::search(const QString &keyword)
{
    if (keyword.isEmpty()) {
        loadAllSongs();
        return;
    }
    m_client->search(keyword, [this](const QList<Song> &songs) {
        m_songList->clear();
        fillSongList(m_songList, songs);
        if (!songs.isEmpty())
            m_status->show(WindowText::tr("找到 %1 首歌曲").arg(songs.size()));
        else
            m_status->show(WindowText::tr("未找到匹配的歌曲"), true);
        emit pageRequested(pageNumber(PageIndex::Songs));
    });
}

void CataloguePages::highlightSong(int songId)
{
    for (int row = 0; row < m_songList->count(); ++row) {
        QListWidgetItem *item = m_songList->item(row);
        const bool isCurrent = item->data(ItemRole::SongId).toInt() == songId;
        item->setBackground(isCurrent ? QBrush(CurrentRowColour) : QBrush(Qt::transparent));
    }
}

void CataloguePages::showSongDetail(const Song &song)
{
    const QString text = WindowText::tr("歌曲详情\n━━━━━━━━━━━━━━━━━━\n标题: %1\n艺术家: %2\n时长: %3\n播放次数: %4\n")
                             .arg(song.title, song.artist, song.formattedDuration(), QString::number(song.playCount));
    QMessageBox box(QMessageBox::Information, WindowText::tr("歌曲详情"), text, QMessageBox::Ok, m_songList->window());
    box.exec();
}
