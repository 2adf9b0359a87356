// Player bar and the playlist page (the queue).
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::setupPlayerControls() {}
void MainWindow::onPlayPause() {}
void MainWindow::onNext() {}
void MainWindow::onPrevious() {}
void MainWindow::onStop() {}
void MainWindow::onVolumeChanged(int value) { Q_UNUSED(value) }
void MainWindow::onPositionChanged(qint64 position) { Q_UNUSED(position) }
void MainWindow::onDurationChanged(qint64 duration) { Q_UNUSED(duration) }
void MainWindow::onSongChanged(const Song &song) { Q_UNUSED(song) }
void MainWindow::onPlayModeChanged(MusicPlayer::PlayMode mode) { Q_UNUSED(mode) }
void MainWindow::onPlaybackStateChanged(QMediaPlayer::PlaybackState state) { Q_UNUSED(state) }
void MainWindow::updatePlayButtonIcon() {}
void MainWindow::updateCurrentSongUI(const Song &song) { Q_UNUSED(song) }
void MainWindow::toggleVolumeSlider() {}
void MainWindow::updateVolumeIcon(int volume) { Q_UNUSED(volume) }
QString MainWindow::formatTime(qint64 ms) const { Q_UNUSED(ms) return QString(); }
void MainWindow::seekToSliderValue(int value) { Q_UNUSED(value) }
void MainWindow::cyclePlayMode() {}
void MainWindow::onPlaylistChanged() {}
void MainWindow::addToPlaylist(int songId) { Q_UNUSED(songId) }
void MainWindow::removeFromPlaylist(int index) { Q_UNUSED(index) }
void MainWindow::clearPlaylist() {}
void MainWindow::playPlaylistItem(int index) { Q_UNUSED(index) }
void MainWindow::updatePlaylistView() {}
void MainWindow::highlightCurrentRows(const Song &song) { Q_UNUSED(song) }
void MainWindow::playCurrentPlaylistFromStart() {}
void MainWindow::playAppendedSong(int songId) { Q_UNUSED(songId) }
