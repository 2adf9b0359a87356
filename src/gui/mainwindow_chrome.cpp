// Window chrome (shadow, dragging, exit question), the status line and the sidebar.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "localmusicmanager.h"
#include "mainwindowhelpers.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int StatusTimeoutMs = 3000;
constexpr int ShadowWidth = 10;
constexpr int ShadowRadius = 10;
constexpr int ChartsTabIndex = 3;
constexpr int LocalMusicTabIndex = 4;

} // namespace

// ---- Status line ----

void MainWindow::showToast(const QString &message, bool isError, bool persistent)
{
    m_statusMessage = message;
    m_statusPersistent = persistent;
    ui->statusBar->setText(message);
    m_statusTimer->stop();
    if (!persistent)
        m_statusTimer->start(StatusTimeoutMs);
    if (isError) {
        QMessageBox box(QMessageBox::Warning, tr("提示"), message, QMessageBox::Ok);
        box.exec();
    }
}

void MainWindow::clearStatusLine()
{
    if (!m_statusPersistent)
        ui->statusBar->clear();
}

void MainWindow::setLoadingState(bool loading)
{
    if (loading) {
        showToast(tr("加载中..."), false, true);
        setCursor(Qt::WaitCursor);
    } else {
        showToast(tr("就绪"));
        setCursor(Qt::ArrowCursor);
    }
}

// ---- Sidebar ----

void MainWindow::setupSidebarTabs()
{
    m_tabGroup = new QButtonGroup(this);
    m_tabGroup->setExclusive(true);

    auto *layout = qobject_cast<QVBoxLayout *>(ui->tabContainer->layout());
    if (!layout)
        return;
    while (QLayoutItem *item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_tabButtons.clear();

    const QStringList &names = MainWindowHelpers::tabNames();
    const QStringList &icons = MainWindowHelpers::tabIcons();
    for (int i = 0; i < names.size(); ++i) {
        auto *button = new QPushButton(QStringLiteral("%1 (0)").arg(names.at(i)), this);
        button->setCheckable(true);
        button->setProperty("tabIndex", i);
        const QIcon icon(icons.value(i));
        if (!icon.isNull()) {
            button->setIcon(icon);
            button->setIconSize(QSize(20, 20));
        }
        m_tabGroup->addButton(button);
        layout->addWidget(button);
        m_tabButtons.append(button);
        qDebug() << tr("添加标签页:") << i << names.at(i) << tr("总按钮数:") << m_tabButtons.size();
    }
    layout->addStretch(0);
    if (!m_tabButtons.isEmpty())
        m_tabButtons.first()->setChecked(true);
    connect(m_tabGroup, &QButtonGroup::buttonClicked, this, &MainWindow::onTabClicked);
    qDebug() << tr("侧边栏布局数量:") << layout->count();
    qDebug() << tr("m_tabButtons 大小:") << m_tabButtons.size();
}

void MainWindow::onTabClicked(QAbstractButton *button)
{
    const int index = button->property("tabIndex").toInt();
    ui->centralStack->setCurrentIndex(index);
    showTabSwitchMessage(index);
    if (!ui->searchModeCombo)
        return;
    if (index == ChartsTabIndex) {
        loadRanking(QStringLiteral("artist"));
        ui->searchModeCombo->setCurrentIndex(0);
    } else {
        ui->searchModeCombo->setCurrentIndex(index == LocalMusicTabIndex ? 1 : 0);
    }
}

void MainWindow::showTabSwitchMessage(int index)
{
    QString message;
    switch (index) {
    case 0:
        message = tr("已经切换到所有专辑");
        break;
    case 1:
        message = tr("已经切换到全部歌曲");
        break;
    case 2:
        message = tr("已经切换到播放列表");
        break;
    case 3:
        message = tr("已经切换到排行榜");
        break;
    case 4:
        message = tr("已经切换到本地音乐");
        break;
    default:
        break;
    }
    // The loading message must stay visible until the load ends.
    if (m_statusPersistent)
        return;
    ui->statusBar->setText(message);
    m_statusTimer->stop();
    m_statusTimer->start(StatusTimeoutMs);
}

void MainWindow::updateTabCounts()
{
    const QStringList &icons = MainWindowHelpers::tabIcons();
    const int counts[] = {static_cast<int>(m_albums.size()), static_cast<int>(m_allSongs.size()),
                          static_cast<int>(m_currentPlaylist.size()), 0,
                          static_cast<int>(m_localMusicManager->musicFiles().size())};
    for (QPushButton *button : std::as_const(m_tabButtons)) {
        const int c = button->property("tabIndex").toInt();
        if (c < 0 || c >= MainWindowHelpers::tabNames().size())
            continue;
        QString text;
        switch (c) {
        case 0:
            text = QStringLiteral("%1 (%2)").arg(tr("所有专辑")).arg(counts[0]);
            break;
        case 1:
            text = QStringLiteral("%1 (%2)").arg(tr("全部歌曲")).arg(counts[1]);
            break;
        case 2:
            text = QStringLiteral("%1 (%2)").arg(tr("播放列表")).arg(counts[2]);
            break;
        case 3:
            text = tr("排行榜");
            break;
        default:
            text = QStringLiteral("%1 (%2)").arg(tr("本地音乐")).arg(counts[4]);
            break;
        }
        button->setText(text);
        const QIcon icon(icons.value(c));
        if (!icon.isNull()) {
            button->setIcon(icon);
            button->setIconSize(QSize(24, 24));
        }
    }
}

// ---- Frame, shadow and dragging ----

void MainWindow::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    const int w = width();
    const int h = height();
    const QRectF inner(ShadowWidth, ShadowWidth, w - 2 * ShadowWidth, h - 2 * ShadowWidth);
    QPainterPath innerPath;
    innerPath.addRect(inner);
    painter.setClipPath(innerPath);
    painter.setRenderHint(QPainter::Antialiasing);
    // Ten outlines growing fainter outwards make a soft shadow in the transparent margin.
    for (int k = 0; k < ShadowWidth; ++k) {
        const int n = ShadowWidth - k;
        painter.setPen(QColor(0, 0, 0, 3 * k));
        painter.setBrush(Qt::NoBrush);
        painter.setClipping(false);
        painter.drawRoundedRect(QRectF(ShadowWidth - n, ShadowWidth - n, (w - 2 * ShadowWidth) + 2 * n,
                                       (h - 2 * ShadowWidth) + 2 * n),
                                ShadowRadius, ShadowRadius);
        painter.setClipPath(innerPath);
    }
    painter.fillRect(inner, Qt::white);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    const QPoint globalPos = event->globalPosition().toPoint();
    if (m_volumeSliderVisible && m_volumeSlider
        && !QRect(m_volumeSlider->mapToGlobal(QPoint(0, 0)), m_volumeSlider->size()).contains(globalPos)) {
        m_volumeSlider->hide();
        m_volumeSliderVisible = false;
    }
    if (event->button() != Qt::LeftButton || isFullScreen()) {
        QMainWindow::mousePressEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    const auto inside = [this, &pos](QWidget *widget) {
        return widget && widget->rect().contains(widget->mapFrom(this, pos));
    };
    if (inside(ui->headerFrame) || inside(ui->frameMenu)) {
        m_dragging = true;
        m_dragStartPosition = globalPos;
        m_windowStartPosition = frameGeometry().topLeft();
        event->accept();
        return;
    }
    QMainWindow::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton) && !isFullScreen()) {
        move(m_windowStartPosition + (event->globalPosition().toPoint() - m_dragStartPosition));
        event->accept();
        return;
    }
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        event->accept();
        return;
    }
    QMainWindow::mouseReleaseEvent(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (m_volumeSlider && watched == m_volumeSlider) {
        switch (event->type()) {
        case QEvent::Show:
            m_volumeSliderVisible = true;
            break;
        case QEvent::Hide:
            m_volumeSliderVisible = false;
            break;
        case QEvent::WindowDeactivate:
            m_volumeSlider->hide();
            m_volumeSliderVisible = false;
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_searchButton && ui && ui->searchInput) {
        const int w = ui->searchInput->width();
        const int h = ui->searchInput->height();
        m_searchButton->setGeometry(w - 35, (h - 30) / 2, 30, 30);
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QString text;
    if (m_player->playbackState() == QMediaPlayer::PlayingState) {
        const Song song = m_player->currentSong();
        text = tr("当前正在播放: %1 - %2\n\n确定要退出吗？").arg(song.title, song.artist);
    } else {
        text = tr("确定要退出程序吗？");
    }
    QMessageBox box(QMessageBox::Question, tr("温馨提示"), text, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    if (box.exec() == QMessageBox::No) {
        event->ignore();
        return;
    }
    m_player->stop();
    event->accept();
}
