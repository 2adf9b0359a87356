#pragma once

#include <QList>
#include <QObject>
#include <QPoint>

class MusicPlayer;
class QAbstractButton;
class QCloseEvent;
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
    // Each returns true when it handled the event; the window passes the rest on.
    bool mousePress(QMouseEvent *event);
    bool mouseMove(QMouseEvent *event);
    bool mouseRelease(QMouseEvent *event);
    // Asks before the window closes; on yes the player stops and the event is accepted.
    void askBeforeClosing(QCloseEvent *event, MusicPlayer *player);
    void retranslate();

private:
    QMainWindow *m_window;
    Widgets m_widgets;
    bool m_dragging = false;
    QPoint m_dragStartPosition;
    QPoint m_windowStartPosition;
};
