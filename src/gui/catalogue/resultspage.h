#pragma once

#include "models.h"

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

// A page of its own for a list of catalogue songs that is not the whole catalogue: search results
// or one album's songs. A heading says what is shown, a notice says why the list is empty, and a
// back button returns to the page the user came from. The All Songs page is never overwritten.
class ResultsPage : public QWidget
{
    Q_OBJECT

public:
    explicit ResultsPage(QWidget *parent = nullptr);

    // Replaces the list; emptyNotice shows instead when songs is empty. toolTips: song rows get
    // their play count as tool tip.
    void showSongs(
        const QString &heading, const QList<Song> &songs, const QString &emptyNotice, bool playCountTips = false);
    QListWidget *list() const { return m_list; }
    QString heading() const;
    void retranslate();

signals:
    void backRequested();
    void songActivated(int songId);

private:
    QLabel *m_heading;
    QPushButton *m_back;
    QLabel *m_notice;
    QListWidget *m_list;
};
