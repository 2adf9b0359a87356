#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

class MusicPlayer;
class QAbstractButton;
class QCloseEvent;
class QEvent;
class QMainWindow;
class QMouseEvent;
class QWidget;

// The frameless window's own chrome: the soft shadow in its transparent margin, dragging by the
// header, the minimise and close buttons, the exit question and the header's texts.
class WindowChrome : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QAbstractButton *logo;
        QAbstractButton *addButton;
        QAbstractButton *minimiseButton;
        QAbstractButton *closeButton;
        QList<QWidget *> dragAreas;
    };

    WindowChrome(QMainWindow *window, const Widgets &widgets);

    void paint();
    // Asks before the window closes; on yes the player stops and the event is accepted.
    void askBeforeClosing(QCloseEvent *event, MusicPlayer *player);
    void retranslate();

protected:
    // Watches the window's own mouse events for dragging by the header.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Each returns true when it handled the event; the window handles the rest.
    bool mousePress(QMouseEvent *event);
    bool mouseMove(QMouseEvent *event);
    bool mouseRelease(QMouseEvent *event);

    QMainWindow *m_window;
    Widgets m_widgets;
    bool m_dragging = false;
    QPoint m_dragStartPosition;
    QPoint m_windowStartPosition;
};
