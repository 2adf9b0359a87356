// Lyrics page.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::updateLyrics() {}
void MainWindow::updateLyricsHighlight() {}
void MainWindow::toggleLyricsView() {}
