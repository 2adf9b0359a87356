#pragma once

#include <QWidget>

// Placeholder until the lyrics view lands.
class LyricsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit LyricsWidget(QWidget *parent = nullptr) : QWidget(parent) {}
};
