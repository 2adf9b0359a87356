#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class MainWindow;
class QAction;
class QListWidget;
class QWidget;

// Helpers of the local page, persistence, preferences and language tests: test audio, the
// private settings store, and driving the window's menus.
namespace WindowKit {

struct TaggedAudio
{
    QString path;
    QString title;
    QString artist;
    QString album;
    int seconds = 1;
};

// Writes FLAC files of silence with the given tags (empty tags are left out), all with one
// ffmpeg run. FLAC keeps even minutes of silence down to a few kilobytes.
bool writeTaggedAudio(const QList<TaggedAudio> &files);

// Empties the program's settings store (the private one of the test environment).
void clearSettings();

// The settings menu's action with this text, or the language action with this data.
QAction *menuAction(MainWindow &window, const QString &text);
QAction *languageAction(MainWindow &window, const QString &code);

// Opens the local list's context menu on a row and triggers the entry with this text.
// False when the menu did not appear or has no such entry. statusAfter receives the status
// line as the entry left it (later events, such as the catalogue load, may replace it).
bool triggerRowMenu(QListWidget *list, int row, const QString &entry, QString *statusAfter = nullptr);

QStringList rowTexts(const QListWidget *list);

// The window's status line text.
QString statusText(QWidget &window);

} // namespace WindowKit
