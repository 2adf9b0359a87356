// Local music page and the local library's persistence.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::setupLocalMusicConnections() {}

void MainWindow::onSearchModeChanged(int index)
{
    Q_UNUSED(index)
}

void MainWindow::scanLocalMusic() {}

void MainWindow::onLocalScanProgress(int current, int total, const QString &fileName)
{
    Q_UNUSED(current)
    Q_UNUSED(total)
    Q_UNUSED(fileName)
}

void MainWindow::onLocalScanFinished(int totalFiles)
{
    Q_UNUSED(totalFiles)
}

void MainWindow::onLocalMusicListChanged() {}

void MainWindow::playLocalMusic(int index)
{
    Q_UNUSED(index)
}

void MainWindow::addLocalToPlaylist(int index)
{
    Q_UNUSED(index)
}

void MainWindow::selectMusicFolder() {}

void MainWindow::filterLocalMusic(const QString &text)
{
    Q_UNUSED(text)
}

void MainWindow::updateLocalMusicList() {}

void MainWindow::removeLocalMusic(int index)
{
    Q_UNUSED(index)
}

void MainWindow::clearLocalMusic() {}

void MainWindow::showLocalMusicContextMenu(const QPoint &pos)
{
    Q_UNUSED(pos)
}

void MainWindow::loadLocalMusicFromSettings() {}

void MainWindow::saveLocalMusicToSettings() {}
