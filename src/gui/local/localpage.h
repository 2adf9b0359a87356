#pragma once

#include "models.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

class LocalMusicManager;
class QAbstractButton;
class QListWidget;
class QWidget;
class Settings;
class StatusLine;

// The local music page: the library's files as rows (or those a local search matched), the
// folder choice, the scan and the clear button, the rows' context menu, and the library's
// persistence. The stored library is re-read in slices once the window runs, so a large or slow
// library does not hold the window back; the stored list stays untouched until that ends.
class LocalPage : public QObject
{
    Q_OBJECT

public:
    // Asks the user for a music folder; an empty result means cancelled.
    using FolderChooser = std::function<QString(QWidget *parent)>;

    struct Widgets
    {
        QListWidget *list;
        QAbstractButton *selectFolderButton;
        QAbstractButton *scanButton;
        QAbstractButton *clearButton;
    };

    LocalPage(
        LocalMusicManager *library, Settings *settings, StatusLine *status, QWidget *window, const Widgets &widgets);

    void setFolderChooser(FolderChooser chooser);
    int libraryCount() const;

    void selectMusicFolder();
    void scan();
    void onScanProgress(int current, int total, const QString &fileName);
    void onScanFinished(int totalFiles);
    void onLibraryChanged();
    void play(int index);
    void addToQueue(int index);
    void filter(const QString &text);
    // The local branch of the search box: an empty text shows the whole library again.
    void search(const QString &keyword);

    // Starts re-reading the stored library; save() writes it back (at exit, after a scan).
    void restore();
    void save();
    void retranslate();

signals:
    void playRequested(const QList<Song> &songs, int index);
    void addRequested(const Song &song);
    void countChanged();
    void pageRequested(int page);

private:
    const QList<LocalMusicFile> &shown() const;
    void updateList();
    void scheduleRefresh();
    void remove(int index);
    void clear();
    void showContextMenu(const QPoint &pos);
    void removeStoredLibrary();
    void continueRestore();
    void finishRestore();
    void cancelRestore();

    LocalMusicManager *m_library;
    Settings *m_settings;
    StatusLine *m_status;
    QWidget *m_window;
    Widgets m_widgets;
    FolderChooser m_folderChooser;
    QList<LocalMusicFile> m_filtered;
    bool m_isFiltered = false;
    // Library changes arrive one file at a time; the page is rebuilt once per event-loop turn.
    bool m_refreshPending = false;
    QStringList m_pendingRestore;
    qsizetype m_storedEntries = 0;
    bool m_restoring = false;
};
