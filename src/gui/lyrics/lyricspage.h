#pragma once

#include <QObject>

class CataloguePages;
class LyricsWidget;
class MusicPlayer;
class QLabel;

// The lyrics page: the current song's title, artist and album above its synchronised lyrics.
class LyricsPage : public QObject
{
    Q_OBJECT

public:
    LyricsPage(MusicPlayer *player, const CataloguePages *catalogue, QLabel *title, QLabel *artist, QLabel *album,
        LyricsWidget *lyrics, QObject *parent);

    // Shows the player's current song.
    void update();
    void followPosition(qint64 positionMs);
    void retranslate();

private:
    MusicPlayer *m_player;
    const CataloguePages *m_catalogue;
    QLabel *m_title;
    QLabel *m_artist;
    QLabel *m_album;
    LyricsWidget *m_lyrics;
};
