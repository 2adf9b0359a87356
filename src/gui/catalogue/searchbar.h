#pragma once

#include <QObject>
#include <QString>

class QComboBox;
class QLineEdit;
class QPushButton;
class StatusLine;

// The header's search box: the text, its online/local mode and the round search button inside
// it. Asks for a search (searchRequested) on Enter and on the button only: a change of mode,
// by the user or by a page, runs nothing by itself.
class SearchBar : public QObject
{
    Q_OBJECT

public:
    SearchBar(StatusLine *status, QLineEdit *input, QComboBox *modeSelector, QObject *parent);

    QString keyword() const;
    bool isLocalMode() const;
    // The local page searches locally, every other tab online. Silent.
    void setLocalMode(bool local);
    // The mode box changed by hand: the status line says which mode; nothing is searched.
    void onModeChanged(int index);
    // Keeps the button at the box's right end when the window is resized.
    void placeButtonOnResize();
    void retranslate();

signals:
    void searchRequested();

private:
    void placeButton();

    StatusLine *m_status;
    QLineEdit *m_input;
    QComboBox *m_modeSelector;
    QPushButton *m_button;
};
