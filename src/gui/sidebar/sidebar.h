#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QAbstractButton;
class QButtonGroup;
class QPushButton;
class QWidget;

// The sidebar's tabs, one per page of the central stack before the lyrics page, each with the
// count of what its page lists. Built into the form's tab container, replacing what it holds.
class Sidebar : public QObject
{
    Q_OBJECT

public:
    Sidebar(QWidget *tabContainer, QWidget *buttonParent);

    // The tab of the page the sidebar last switched to (0 when none is checked).
    int checkedIndex() const;
    void checkFirst();
    void setCounts(int albums, int songs, int queue, int local);
    void retranslate();
    // What the status line says when a tab is clicked.
    static QString switchMessage(int index);

signals:
    void tabClicked(int index);

private:
    QButtonGroup *m_group;
    QList<QPushButton *> m_buttons;
};
