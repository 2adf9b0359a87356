#pragma once

#include "models.h"

#include <QList>
#include <QObject>

class MusicPlayer;
class PageNotice;
class QAbstractButton;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class StatusLine;

// The playlist page: the player's queue as rows, "play all" and "clear", a row menu (play,
// remove, play next) and the Delete key. It mirrors the queue the player holds and never keeps
// one of its own; the playing row carries a marker that reads in both themes.
class QueuePage : public QObject
{
    Q_OBJECT

public:
    QueuePage(MusicPlayer *player, StatusLine *status, QListWidget *list, QLabel *info, QAbstractButton *playAllButton,
        QAbstractButton *clearButton, QObject *parent);

    // The list last handed to the player, as this page shows it.
    const QList<Song> &songs() const { return m_songs; }
    // Rebuilds the rows from the player's queue.
    void refresh();
    void highlightCurrent();
    // Adds a song at the end of the queue and says so.
    void append(const Song &song);
    void removeAt(int index);
    void playNext(int index);
    void clear();
    void retranslate();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void playRequested(const QList<Song> &songs, int index);
    void countChanged();

private:
    void showRowMenu(const QPoint &pos);
    void markRow(QListWidgetItem *item, bool current);
    // An empty queue says how songs get into it.
    void showNotice();

    MusicPlayer *m_player;
    StatusLine *m_status;
    QListWidget *m_list;
    QLabel *m_info;
    QAbstractButton *m_playAllButton;
    QAbstractButton *m_clearButton;
    PageNotice *m_notice;
    QList<Song> m_songs;
};
