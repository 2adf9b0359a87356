#pragma once

#include <QMainWindow>

namespace Ui {
class MainWindow;
}

// The one window of the player. Owns the form and, once wired, every page's logic.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private:
    Ui::MainWindow *ui;
};
