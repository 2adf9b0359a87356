#pragma once

#include <QJsonObject>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

struct Song;

// Pure computations of the main window's pages, kept apart so that they can be checked
// without building the window.
namespace MainWindowHelpers {

// Sidebar tab names (untranslated Chinese source texts, context "MainWindow") and icons, by
// tab index. Built before any translator exists, so callers translate the names themselves.
const QStringList &tabNames();
const QStringList &tabIcons();

// Player bar time: "00:00" below 1 ms, else zero-padded minutes (unbounded) and seconds.
QString formatTimeText(qint64 ms);
// Progress slider value (0..1000) for a position, or -1 while the duration is unknown.
int progressSliderValue(qint64 position, qint64 duration);
// Milliseconds to seek to for a slider value, or -1 while the duration is unknown.
qint64 seekPositionForSliderValue(int value, qint64 duration);
// The song length to show: the media framework's, unless the catalogue knows the song's
// (catalogueSeconds > 0) and the framework's figure is clearly shorter than the position reached
// (an estimate from the start of an Ogg stream); then the catalogue's.
qint64 shownDuration(qint64 position, qint64 reported, int catalogueSeconds);
// True when the framework's length is clearly shorter than the position reached.
bool reportedDurationIsWrong(qint64 position, qint64 reported, int catalogueSeconds);
// The position to show: never past a known duration.
qint64 shownPosition(qint64 position, qint64 duration);
// Icon resource for a volume percentage: off at 0, down below 30, center below 60, else up.
QString volumeIconPath(int volume);
// Icon resource for a play mode value (MusicPlayer::PlayMode as int).
QString playModeIconPath(int mode);

// Row text of a song in the song lists and the queue: "title - artist  [mm:ss]".
QString songRowText(const Song &song);

// Artist chart row "N. artist  (songsWord: n  playWord: n)"; song chart row
// "N. title - artist  (playWord: n)". Position counts from 1.
QString artistRankingRowText(int position, const QJsonObject &row, const QString &songsWord, const QString &playWord);
QString songRankingRowText(int position, const QJsonObject &row, const QString &playWord);

// Top-left of the volume pop-up: centred above the icon, kept 10 px inside the screen's left
// and right edges, and below the icon when there is no room above.
QPoint volumePopupPosition(
    const QPoint &iconGlobalTopLeft, const QSize &iconSize, const QSize &popupSize, const QRect &screenGeometry);

// A 100×100 round cover: the image scaled to fill the circle and centred (the ends of a wide or
// tall image are cut off), clipped to the circle, with a thin ring.
QPixmap roundCover(const QPixmap &source);

} // namespace MainWindowHelpers
