#pragma once

#include "musicplayer.h"

#include <QColor>
#include <QCoreApplication>
#include <QString>

// Pages of the central stack, in the form's order; the first five are the sidebar's tabs.
// Results (search results, one album's songs) has no tab: it is reached from the pages.
enum class PageIndex : int { Albums = 0, Songs = 1, Queue = 2, Charts = 3, Local = 4, Lyrics = 5, Results = 6 };

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
    // A status line for an entry that could not be played: the song named, the reason in words.
    static QString playbackFailure(const Song &song, MusicPlayer::Failure reason)
    {
        QString why;
        switch (reason) {
        case MusicPlayer::NoAudioFile:
            why = tr("这首歌没有音频文件");
            break;
        case MusicPlayer::BadAddress:
            why = tr("音频地址无效");
            break;
        case MusicPlayer::Missing:
            why = tr("找不到音频文件");
            break;
        case MusicPlayer::Unreachable:
            why = tr("无法从服务器获取音频");
            break;
        case MusicPlayer::Unreadable:
            why = tr("音频文件已损坏或格式不受支持");
            break;
        case MusicPlayer::Refused:
            why = tr("没有读取音频的权限");
            break;
        }
        return tr("无法播放“%1”：%2").arg(song.title, why);
    }
    static QString queueFailed() { return tr("播放列表中没有能播放的歌曲，已停止播放"); }
};
