#pragma once

#include "models.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

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

    // Builds the heading or the notice in the language shown now; kept to rebuild them when the
    // language changes.
    using Text = std::function<QString()>;

    // Replaces the list; emptyNotice shows instead when songs is empty. playCountTips: rows get
    // their play count as tool tip.
    void showSongs(Text heading, const QList<Song> &songs, Text emptyNotice, bool playCountTips = false);
    QListWidget *list() const { return m_list; }
    QString heading() const;
    void retranslate();

signals:
    void backRequested();
    void songActivated(int songId);

private:
    void showTexts();

    Text m_headingText;
    Text m_noticeText;
    bool m_empty = true;
    QLabel *m_heading;
    QPushButton *m_back;
    QLabel *m_notice;
    QListWidget *m_list;
};
