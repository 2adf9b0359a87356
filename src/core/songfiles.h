#pragma once

#include "tagprobe.h"

#include <QByteArray>
#include <QDir>
#include <QString>

// What lies with a local audio file besides its sound: lyrics and a cover. Synchronous and
// widget-free; a caller on the GUI thread should keep to one file at a time.
namespace SongFiles {

// Larger "lyrics" files are not lyrics; reading them whole would only waste memory.
constexpr qint64 MaxLyricsBytes = 1024 * 1024;

// Lyrics bytes as text: a byte-order mark decides (UTF-8, UTF-16), else UTF-8 when the bytes
// are valid UTF-8, else GB18030 (many Chinese LRC files), else Latin-1. Never fails.
QString decodeLyrics(const QByteArray &bytes);

// The ".lrc" file with the audio file's base name in its folder (any case of the suffix), or
// an empty string.
QString lyricsFileBeside(const QString &audioPath);

// The text of that file; empty when there is none, it is too large or unreadable.
QString readLyricsBeside(const QString &audioPath);

// Lyrics stored in the file's tags: ID3v2 USLT, ID3v2 SYLT (as LRC lines), Vorbis/FLAC
// LYRICS or UNSYNCEDLYRICS, MP4 "©lyr". Empty when none.
QString readEmbeddedLyrics(const QString &audioPath);

// The lyrics to show for a local song: the file beside it, then the embedded ones.
QString findLyrics(const QString &audioPath);

// A conventionally named cover image in dir ("cover", "folder", "front"; any image suffix),
// or an empty string.
QString namedFolderImage(const QDir &dir);

// The cover to show for a local song: the embedded picture, then the folder's named image.
CoverImage findCover(const QString &audioPath);

} // namespace SongFiles
