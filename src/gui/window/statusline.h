#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QTimer;

// The status line in the header: a message shows for a few seconds, or until replaced when
// persistent (the loading message); an error also opens a warning box. A message too long for
// the room left by the header's buttons is elided, never widening the label.
class StatusLine : public QObject
{
    Q_OBJECT

public:
    StatusLine(QLabel *label, QObject *parent);

    void show(const QString &message, bool isError = false, bool persistent = false);
    // A passing notice (a tab switch) that yields to a persistent message.
    void showNotice(const QString &message);
    bool isPersistent() const { return m_persistent; }
    void retranslate();
    // What the label shows: the message, elided to the label's width.
    QString shownText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void clear();

    QLabel *m_label;
    QTimer *m_timer;
    QString m_message;
    bool m_persistent = false;
};
