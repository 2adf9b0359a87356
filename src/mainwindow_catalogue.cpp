// Album and song pages, online search, the song details box and the charts page.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::loadAlbums() {}
void MainWindow::loadAlbumSongs(int albumId) { Q_UNUSED(albumId) }
void MainWindow::playAlbum(int albumId) { Q_UNUSED(albumId) }
void MainWindow::loadAllSongs() {}
void MainWindow::searchSongs() {}
void MainWindow::showSongDetail(const Song &song) { Q_UNUSED(song) }
void MainWindow::loadCover(QListWidgetItem *item, const QString &coverPath)
{
    Q_UNUSED(item)
    Q_UNUSED(coverPath)
}
void MainWindow::playAllSongsItem(QListWidgetItem *item) { Q_UNUSED(item) }
void MainWindow::loadRanking(const QString &type) { Q_UNUSED(type) }
void MainWindow::loadArtistRanking() {}
void MainWindow::loadSongRanking() {}
void MainWindow::onRankingItemClicked(int index, const QString &type)
{
    Q_UNUSED(index)
    Q_UNUSED(type)
}
void MainWindow::playRankingArtist(const QString &artist) { Q_UNUSED(artist) }
