#include "modalboxcloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPushButton>

ModalBoxCloser::ModalBoxCloser(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalBoxCloser::poll);
}

void ModalBoxCloser::poll()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w)
        return;
    if (auto *box = qobject_cast<QMessageBox *>(w)) {
        if (!box->isVisible())
            return;
        m_titles.append(box->windowTitle());
        m_texts.append(box->text());
        QAbstractButton *button = nullptr;
        if (m_answer != QMessageBox::NoButton)
            button = box->button(m_answer);
        if (!button)
            button = box->escapeButton();
        if (!button)
            button = box->defaultButton();
        if (!button && !box->buttons().isEmpty())
            button = box->buttons().first();
        if (button)
            button->click();
        else
            box->reject();
        return;
    }
    if (auto *dialog = qobject_cast<QDialog *>(w)) {
        m_titles.append(dialog->windowTitle());
        m_texts.append(QString());
        dialog->reject();
    }
}
