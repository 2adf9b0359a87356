#include "lyricspage.h"

#include "cataloguepages.h"
#include "lyricswidget.h"
#include "musicplayer.h"
#include "songfiles.h"
#include "windowtext.h"

#include <QLabel>
#include <QStringList>

namespace {

// The texts a label may still carry from the language shown before the switch.
const QStringList ArtistPrefixes = { QStringLiteral("演唱: "), QStringLiteral("Singer: "), QStringLiteral("Artist: ") };
const QStringList AlbumPrefixes = { QStringLiteral("专辑: "), QStringLiteral("Album: ") };
const QStringList NotPlayingTexts = { QStringLiteral("未播放"), QStringLiteral("Not Playing") };

// Re-labels a label that starts with one of the prefixes; any other text stays as it is.
void retranslatePrefix(QLabel *label, const QStringList &prefixes, const QString &translated)
{
    if (!label)
        return;
    const QString text = label->text();
    for (const QString &prefix : prefixes) {
        if (text.startsWith(prefix)) {
            label->setText(translated + text.mid(prefix.size()));
            return;
        }
    }
}

} // namespace

LyricsPage::LyricsPage(MusicPlayer *player, const CataloguePages *catalogue, QLabel *title, QLabel *artist,
    QLabel *album, LyricsWidget *lyrics, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_catalogue(catalogue)
    , m_title(title)
    , m_artist(artist)
    , m_album(album)
    , m_lyrics(lyrics)
{
}

void LyricsPage::update()
{
    Song song = m_player->currentSong();
    // A local song's lyrics lie beside it or in its tags; read when it starts, not at the scan.
    if (song.id == -1)
        song.lyrics = SongFiles::findLyrics(song.filePath);
    if ((song.id > 0 || song.id == -1) && !song.lyrics.isEmpty()) {
        m_title->setText(song.title);
        m_artist->setText(WindowText::tr("演唱: ") + song.artist);
        m_lyrics->setLyrics(song.lyrics);
        // A local song has no catalogue album; an album not among the loaded ones leaves the
        // previous album name in place.
        if (song.id == -1) {
            m_album->clear();
            return;
        }
        if (const Album *album = m_catalogue->findAlbum(song.albumId))
            m_album->setText(WindowText::tr("专辑: ") + album->name);
        return;
    }
    m_lyrics->clear();
    m_title->setText(WindowText::notPlaying());
    m_artist->clear();
    m_album->clear();
}

void LyricsPage::followPosition(qint64 positionMs)
{
    m_lyrics->updatePosition(positionMs);
}

void LyricsPage::retranslate()
{
    // The header keeps the song's own texts; only the fixed parts are translated. The texts of
    // both languages are recognised, so switching back also works.
    const QString title = m_title->text();
    if (title.isEmpty() || NotPlayingTexts.contains(title)) {
        m_title->setText(WindowText::notPlaying());
    } else {
        retranslatePrefix(m_artist, ArtistPrefixes, WindowText::tr("演唱: "));
        retranslatePrefix(m_album, AlbumPrefixes, WindowText::tr("专辑: "));
    }
}
