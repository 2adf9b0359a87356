#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <QMessageBox>

// Watches for modal dialogs every 10 ms and answers each one as it appears: records the
// message box's title and text, then presses the chosen button (or closes the dialog).
// Retrying beats a single queued shot, which can hit the wrong dialog or none.
class ModalBoxCloser : public QObject
{
    Q_OBJECT

public:
    explicit ModalBoxCloser(QObject *parent = nullptr);

    // The button pressed in each following message box; Ok/Yes/No etc. Defaults to the
    // box's escape or default button.
    void setAnswer(QMessageBox::StandardButton button) { m_answer = button; }
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }

    QStringList titles() const { return m_titles; }
    QStringList texts() const { return m_texts; }
    int count() const { return m_texts.size(); }
    void clear()
    {
        m_titles.clear();
        m_texts.clear();
    }

private:
    void poll();

    QTimer m_timer;
    QMessageBox::StandardButton m_answer = QMessageBox::NoButton;
    QStringList m_titles;
    QStringList m_texts;
};
