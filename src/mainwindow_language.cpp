// Interface language: the translator and the refresh of every translated text.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::onLanguageChanged(QAction *action)
{
    Q_UNUSED(action)
}

void MainWindow::loadTranslation(const QString &language)
{
    Q_UNUSED(language)
}

void MainWindow::refreshUITexts() {}
