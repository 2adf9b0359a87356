// Settings menu, preferences, themes, auto-play, the About box and the product web page.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::setupSettingsMenu() {}

void MainWindow::loadSettings() {}

void MainWindow::applyTheme(bool darkMode)
{
    Q_UNUSED(darkMode)
}

void MainWindow::openProductPage() {}

void MainWindow::onAutoStartToggled(bool checked)
{
    Q_UNUSED(checked)
}

void MainWindow::onAutoPlayToggled(bool checked)
{
    Q_UNUSED(checked)
}

void MainWindow::onDarkModeToggled(bool checked)
{
    Q_UNUSED(checked)
}

void MainWindow::showAbout() {}

void MainWindow::checkAutoPlay() {}
