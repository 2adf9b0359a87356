// Lyrics page: the current song's title, artist and album above its synchronised lyrics.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "lyricswidget.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QStackedWidget>

namespace {

constexpr int LyricsPage = 5;

} // namespace

void MainWindow::updateLyrics()
{
    const Song song = m_player->currentSong();
    if (song.id > 0 && !song.lyrics.isEmpty()) {
        ui->lyricsTitle->setText(song.title);
        ui->lyricsArtist->setText(tr("演唱: ") + song.artist);
        ui->lyricsWidget->setLyrics(song.lyrics);
        // An album not among the loaded ones leaves the previous album name in place.
        for (const Album &album : std::as_const(m_albums)) {
            if (album.id == song.albumId) {
                ui->lyricsAlbum->setText(tr("专辑: ") + album.name);
                break;
            }
        }
        return;
    }
    ui->lyricsWidget->clear();
    ui->lyricsTitle->setText(tr("未播放"));
    ui->lyricsArtist->clear();
    ui->lyricsAlbum->clear();
}

void MainWindow::updateLyricsHighlight()
{
    ui->lyricsWidget->updatePosition(m_player->position());
}

void MainWindow::toggleLyricsView()
{
    if (ui->lyricsToggleBtn->isChecked()) {
        updateLyrics();
        ui->centralStack->setCurrentIndex(LyricsPage);
        return;
    }
    QAbstractButton *checked = m_tabGroup ? m_tabGroup->checkedButton() : nullptr;
    ui->centralStack->setCurrentIndex(checked ? checked->property("tabIndex").toInt() : 0);
}
