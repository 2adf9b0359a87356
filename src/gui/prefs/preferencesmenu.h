#pragma once

#include <QObject>
#include <QString>

class QAction;
class QActionGroup;
class QMenu;
class QToolButton;
class QWidget;
class Settings;
class StatusLine;

// The settings menu behind the header's gear button: start at login, auto-play, the theme, the
// language and the About box; also the product's web page. Applies and stores what it can by
// itself and leaves auto-play's start and the language switch to the window.
class PreferencesMenu : public QObject
{
    Q_OBJECT

public:
    PreferencesMenu(Settings *settings, StatusLine *status, QWidget *window, QToolButton *menuButton);

    // Checks the stored choices without triggering anything, applies the theme and returns the
    // stored language.
    QString load();
    void applyTheme(bool darkMode);
    void setAutoStart(bool checked);
    void setDarkMode(bool checked);
    // Stores the auto-play choice and says so.
    void storeAutoPlay(bool checked);
    void showAbout();
    void openProductPage();
    void retranslate();

signals:
    void autoPlayToggled(bool checked);
    void languageTriggered(QAction *action);

private:
    Settings *m_settings;
    StatusLine *m_status;
    QWidget *m_window;
    QMenu *m_menu;
    QMenu *m_languageMenu;
    QAction *m_autoStartAction;
    QAction *m_autoPlayAction;
    QAction *m_darkModeAction;
    QActionGroup *m_languageGroup;
    QAction *m_aboutAction;
};
