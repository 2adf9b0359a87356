// Album and song pages, online search, the song details box and the charts page.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "apiclient.h"
#include "catalogueconfig.h"
#include "mainwindowhelpers.h"

#include <QComboBox>
#include <QDebug>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>

namespace {

constexpr int SongsPage = 1;
const QSize AlbumIconSize(100, 100);
const QSize AlbumGridSize(160, 230);
const QSize AlbumTileSize(150, 180);

QListWidgetItem *newSongItem(const Song &song)
{
    static const QIcon icon(QStringLiteral(":/icons/music.svg")); // one icon shared by every row
    auto *item = new QListWidgetItem(icon, MainWindowHelpers::songRowText(song));
    item->setData(Qt::UserRole, song.id);
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

// ---- Albums ----

void MainWindow::loadAlbums()
{
    qDebug() << tr("正在加载专辑...");
    m_apiClient->getAlbums([this](const QList<Album> &albums) {
        qDebug() << tr("专辑已加载:") << albums.size();
        m_albums = albums;

        ++m_albumGridGeneration;
        ui->albumList->clear();
        ui->albumList->setViewMode(QListView::IconMode);
        ui->albumList->setIconSize(AlbumIconSize);
        ui->albumList->setGridSize(AlbumGridSize);
        ui->albumList->setResizeMode(QListView::Adjust);
        ui->albumList->setSpacing(15);
        ui->albumList->setWordWrap(true);
        ui->albumList->setUniformItemSizes(true);

        QIcon placeholder(QStringLiteral(":/icons/music.svg"));
        if (placeholder.isNull())
            placeholder = style()->standardIcon(QStyle::SP_FileIcon);
        for (const Album &album : albums) {
            auto *item = new QListWidgetItem(
                placeholder, QStringLiteral("%1 (%2)\n%3").arg(album.name, QString::number(album.songCount), album.artist));
            item->setData(Qt::UserRole, album.id);
            item->setData(Qt::TextAlignmentRole, QVariant::fromValue(Qt::AlignHCenter | Qt::AlignBottom));
            item->setData(Qt::SizeHintRole, AlbumTileSize);
            ui->albumList->addItem(item);
            if (!album.cover.isEmpty())
                loadCover(item, album.cover);
        }

        updateTabCounts();
        showToast(tr("加载了 %1 个专辑").arg(albums.size()));
        loadAllSongs();
    });
}

void MainWindow::loadCover(QListWidgetItem *item, const QString &coverPath)
{
    if (!item || coverPath.isEmpty())
        return;
    const QUrl url = CatalogueConfig::mediaUrl(coverPath); // invalid (and logged) outside the media folder
    if (!url.isValid())
        return;
    qDebug() << tr("正在加载封面:") << url.toString();

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
    const int row = ui->albumList->row(item);
    const int albumId = item->data(Qt::UserRole).toInt();
    connect(reply, &QNetworkReply::finished, this, [this, reply, generation, row, albumId] {
        reply->deleteLater();
        if (generation != m_albumGridGeneration)
            return;
        if (reply->error() != QNetworkReply::NoError) {
            qDebug() << tr("加载封面失败:") << reply->errorString();
            return;
        }
        QPixmap pixmap;
        if (!pixmap.loadFromData(reply->readAll()) || pixmap.isNull())
            return;
        QListWidgetItem *tile = ui->albumList->item(row);
        if (!tile || tile->data(Qt::UserRole).toInt() != albumId)
            return;
        tile->setIcon(QIcon(MainWindowHelpers::roundCover(pixmap)));
        qDebug() << tr("封面已加载并裁剪为圆形");
    });
}

void MainWindow::loadAlbumSongs(int albumId)
{
    m_apiClient->getSongs(albumId, [this](const QList<Song> &songs) {
        qDebug() << tr("专辑歌曲已加载:") << songs.size();
        ui->allSongsList->clear();
        for (const Song &song : songs) {
            QListWidgetItem *item = newSongItem(song);
            if (song.playCount > 0)
                item->setToolTip(tr("播放次数: %1").arg(song.playCount));
            ui->allSongsList->addItem(item);
        }
        ui->centralStack->setCurrentIndex(SongsPage);
        showToast(tr("专辑加载了 %1 首歌曲").arg(songs.size()));
    });
}

void MainWindow::playAlbum(int albumId)
{
    m_apiClient->getSongs(albumId, [this](const QList<Song> &songs) {
        if (songs.isEmpty()) {
            showToast(tr("该专辑没有歌曲"), true);
            return;
        }
        m_currentPlaylist = songs;
        m_player->setPlaylist(m_currentPlaylist);
        m_player->play(0);
        updatePlaylistView();
        showToast(tr("正在播放专辑"));
    });
}

// ---- Songs ----

void MainWindow::loadAllSongs()
{
    qDebug() << tr("正在加载所有歌曲...");
    m_apiClient->getAllSongs([this](const QList<Song> &songs) {
        qDebug() << tr("歌曲已加载:") << songs.size();
        m_allSongs = songs;
        m_dataLoaded = true;
        m_isLoading = false;

        ui->allSongsList->clear();
        fillSongList(ui->allSongsList, songs);
        if (!songs.isEmpty())
            showToast(tr("共 %1 首歌曲").arg(songs.size()));
        else
            showToast(m_apiClient->lastError().failed() ? m_apiClient->lastError().message
                                                        : tr("警告: 歌曲数据为空，请检查网络连接或刷新重试"),
                      true);

        updateTabCounts();
        setLoadingState(false);
        showToast(tr("加载了 %1 首歌曲").arg(songs.size()));
        checkAutoPlay();
    });
}

void MainWindow::playAllSongsItem(QListWidgetItem *item)
{
    const int id = item->data(Qt::UserRole).toInt();
    if (id <= 0)
        return;
    playAppendedSong(id);
}

void MainWindow::searchSongs()
{
    const QString keyword = ui->searchInput->text().trimmed();
    if (ui->searchModeCombo && ui->searchModeCombo->currentIndex() != 0) {
        // The local branch lives with the local music page.
        if (keyword.isEmpty()) {
            filterLocalMusic(QString());
            showToast(tr("显示所有本地音乐"));
        } else {
            filterLocalMusic(keyword);
            ui->centralStack->setCurrentIndex(4);
            showToast(tr("搜索本地: %1").arg(keyword));
        }
        return;
    }
    if (keyword.isEmpty()) {
        loadAllSongs();
        return;
    }
    m_apiClient->search(keyword, [this](const QList<Song> &songs) {
        ui->allSongsList->clear();
        fillSongList(ui->allSongsList, songs);
        if (!songs.isEmpty())
            showToast(tr("找到 %1 首歌曲").arg(songs.size()));
        else
            showToast(tr("未找到匹配的歌曲"), true);
        ui->centralStack->setCurrentIndex(SongsPage);
    });
}

void MainWindow::showSongDetail(const Song &song)
{
    const QString text = tr("歌曲详情\n━━━━━━━━━━━━━━━━━━\n标题: %1\n艺术家: %2\n时长: %3\n播放次数: %4\n")
                             .arg(song.title, song.artist, song.formattedDuration(), QString::number(song.playCount));
    QMessageBox box(QMessageBox::Information, tr("歌曲详情"), text, QMessageBox::Ok, this);
    box.exec();
}

// ---- Charts ----

void MainWindow::loadRanking(const QString &type)
{
    if (type == QLatin1String("artist"))
        loadArtistRanking();
    else
        loadSongRanking();
}

void MainWindow::loadArtistRanking()
{
    m_apiClient->getArtistRanking([this](const QJsonArray &rows) {
        ui->rankingList->clear();
        const QString songsWord = tr("歌曲");
        const QString playWord = tr("播放");
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonObject row = rows.at(i).toObject();
            auto *item = new QListWidgetItem(MainWindowHelpers::artistRankingRowText(i + 1, row, songsWord, playWord));
            item->setData(Qt::UserRole, i);
            item->setData(Qt::UserRole + 1, QStringLiteral("artist"));
            item->setData(Qt::UserRole + 2, row.value(QLatin1String("artist")).toString());
            ui->rankingList->addItem(item);
        }
        showToast(tr("共 %1 位歌手").arg(rows.size()));
    });
}

void MainWindow::loadSongRanking()
{
    m_apiClient->getSongRanking([this](const QJsonArray &rows) {
        ui->rankingList->clear();
        const QString playWord = tr("播放");
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonObject row = rows.at(i).toObject();
            auto *item = new QListWidgetItem(MainWindowHelpers::songRankingRowText(i + 1, row, playWord));
            item->setData(Qt::UserRole, row.value(QLatin1String("id")).toInt());
            item->setData(Qt::UserRole + 1, QStringLiteral("song"));
            ui->rankingList->addItem(item);
        }
        showToast(tr("共 %1 首歌曲").arg(rows.size()));
    });
}

void MainWindow::onRankingItemClicked(int index, const QString &type)
{
    QListWidgetItem *item = ui->rankingList->item(index);
    if (!item)
        return;
    if (type == QLatin1String("artist"))
        playRankingArtist(item->data(Qt::UserRole + 2).toString());
    else if (type == QLatin1String("song"))
        playAppendedSong(item->data(Qt::UserRole).toInt());
}

void MainWindow::playRankingArtist(const QString &artist)
{
    QList<Song> songs;
    for (const Song &song : std::as_const(m_allSongs)) {
        if (song.artist == artist)
            songs.append(song);
    }
    if (songs.isEmpty()) {
        showToast(tr("歌手 %1 没有歌曲").arg(artist), true);
        return;
    }
    m_currentPlaylist = songs;
    m_player->setPlaylist(m_currentPlaylist);
    m_player->play(0);
    updatePlaylistView();
    showToast(tr("正在播放 %1 的歌曲").arg(artist));
}
