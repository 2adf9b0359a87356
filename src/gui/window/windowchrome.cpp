#include "windowchrome.h"

#include "musicplayer.h"
#include "windowtext.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int ShadowWidth = 10;
constexpr int ShadowRadius = 10;

} // namespace

WindowChrome::WindowChrome(QMainWindow *window, const Widgets &widgets)
    : QObject(window)
    , m_window(window)
    , m_widgets(widgets)
{
    // The window draws its own frame and shadow.
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setWindowTitle(WindowText::appName());
    connect(m_widgets.closeButton, &QAbstractButton::clicked, window, &QMainWindow::close);
    connect(m_widgets.minimiseButton, &QAbstractButton::clicked, window, &QMainWindow::showMinimized);
    window->installEventFilter(this);
}

bool WindowChrome::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            return mousePress(static_cast<QMouseEvent *>(event));
        case QEvent::MouseMove:
            return mouseMove(static_cast<QMouseEvent *>(event));
        case QEvent::MouseButtonRelease:
            return mouseRelease(static_cast<QMouseEvent *>(event));
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowChrome::paint()
{
    QPainter painter(m_window);
    const int w = m_window->width();
    const int h = m_window->height();
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
        painter.drawRoundedRect(
            QRectF(ShadowWidth - n, ShadowWidth - n, (w - 2 * ShadowWidth) + 2 * n, (h - 2 * ShadowWidth) + 2 * n),
            ShadowRadius, ShadowRadius);
        painter.setClipPath(innerPath);
    }
    painter.fillRect(inner, Qt::white);
}

bool WindowChrome::mousePress(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_window->isFullScreen())
        return false;
    const QPoint pos = event->position().toPoint();
    const auto inside
        = [this, &pos](QWidget *widget) { return widget && widget->rect().contains(widget->mapFrom(m_window, pos)); };
    for (QWidget *area : std::as_const(m_widgets.dragAreas)) {
        if (inside(area)) {
            m_dragging = true;
            m_dragStartPosition = event->globalPosition().toPoint();
            m_windowStartPosition = m_window->frameGeometry().topLeft();
            event->accept();
            return true;
        }
    }
    return false;
}

bool WindowChrome::mouseMove(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton) && !m_window->isFullScreen()) {
        m_window->move(m_windowStartPosition + (event->globalPosition().toPoint() - m_dragStartPosition));
        event->accept();
        return true;
    }
    return false;
}

bool WindowChrome::mouseRelease(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        event->accept();
        return true;
    }
    return false;
}

void WindowChrome::askBeforeClosing(QCloseEvent *event, MusicPlayer *player)
{
    QString text;
    if (player->playbackState() == QMediaPlayer::PlayingState) {
        const Song song = player->currentSong();
        text = WindowText::tr("当前正在播放: %1 - %2\n\n确定要退出吗？").arg(song.title, song.artist);
    } else {
        text = WindowText::tr("确定要退出程序吗？");
    }
    QMessageBox box(QMessageBox::Question, WindowText::tr("温馨提示"), text, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    if (box.exec() == QMessageBox::No) {
        event->ignore();
        return;
    }
    player->stop();
    event->accept();
}

void WindowChrome::retranslate()
{
    m_window->setWindowTitle(WindowText::appName());
    m_widgets.logo->setText(WindowText::tr("  维洛拉"));
    m_widgets.addButton->setText(WindowText::tr("创作"));
}
