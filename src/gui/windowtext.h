#pragma once

#include "musicplayer.h"

#include <QColor>
#include <QCoreApplication>
#include <QString>

// Pages of the central stack, in the form's order; the first five are the sidebar's tabs.
enum class PageIndex : int { Albums = 0, Songs = 1, Queue = 2, Charts = 3, Local = 4, Lyrics = 5 };

inline int pageNumber(PageIndex page)
{
    return static_cast<int>(page);
}

// What the rows of the window's lists carry.
namespace ItemRole {
constexpr int AlbumId = Qt::UserRole; // album tiles
constexpr int SongId = Qt::UserRole; // song rows and song chart rows
constexpr int ListIndex = Qt::UserRole; // queue, local and artist chart rows: index into their list
constexpr int ChartKind = Qt::UserRole + 1; // chart rows: ChartKind::Artist or ChartKind::Song
constexpr int ChartArtist = Qt::UserRole + 2; // artist chart rows: the artist's name
} // namespace ItemRole

namespace ChartKind {
inline const QString Artist = QStringLiteral("artist");
inline const QString Song = QStringLiteral("song");
} // namespace ChartKind

// Background of the row of the song that plays, in the queue and in the song list.
inline const QColor CurrentRowColour = QColor(QStringLiteral("#e8f8f2"));

// The texts of the window's pages and bars keep the window's translation context, so the
// catalogues do not depend on how the window's code is split. The shared texts are written here once.
class WindowText
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

public:
    static QString appName() { return tr("维洛拉"); }
    static QString notPlaying() { return tr("未播放"); }
    static QString songCount(qsizetype count) { return tr("共 %1 首歌曲").arg(count); }
    static QString playModeName(MusicPlayer::PlayMode mode)
    {
        switch (mode) {
        case MusicPlayer::Sequential:
            return tr("顺序播放");
        case MusicPlayer::ListLoop:
            return tr("列表循环");
        case MusicPlayer::SingleLoop:
            return tr("单曲循环");
        case MusicPlayer::Shuffle:
            return tr("随机播放");
        }
        return QString();
    }
};
