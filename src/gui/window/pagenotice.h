#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;

// A line above a page's list that says why the list is empty and what to do, with an optional
// action button (Retry). Hidden while it has nothing to say. Children are named after the
// notice: "<name>Text" and "<name>Button".
class PageNotice : public QFrame
{
    Q_OBJECT

public:
    // Placed in the list's layout right above the list.
    PageNotice(const QString &name, QListWidget *list);

    // An empty buttonText shows no button.
    void showMessage(const QString &text, const QString &buttonText = QString());
    void clear();
    QString text() const;

signals:
    void buttonClicked();

private:
    QLabel *m_text;
    QPushButton *m_button;
};
