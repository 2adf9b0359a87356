#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Reads the descriptive tags of one audio file, synchronously. TagLib reads what it can open;
// files it cannot (unknown containers such as raw AAC, ".alac") fall back to a media player
// that loads the file without playing it and waits at most probeFallbackTimeoutMs.
// Usable anywhere, without a LocalMusicManager. The media-player fallback needs a
// QCoreApplication and runs a nested event loop on the calling thread while it waits.

enum class ProbeMethod {
    Automatic, // TagLib, then the media player for files TagLib cannot open
    TagLibOnly, // never starts a media player (safe without an event loop, fast)
    MediaPlayerOnly, // the media player alone (for comparison and benchmarks)
};

enum class ProbeSource {
    None, // no reader could open the file; only the title fallback is set
    TagLib,
    MediaPlayer,
};

struct ProbeResult
{
    QString title; // tag title, else the file name without its extension
    QString artist; // album artist, else the artist, else the author
    QString albumArtist; // the album artist tag alone; empty when the file has none
    QString album;
    int duration = 0; // whole seconds, truncated
    QString genre;
    int trackNumber = 0;
    int year = 0; // 0 = unknown
    ProbeSource source = ProbeSource::None;
    bool timedOut = false; // the media-player wait ran its full time without an answer
};

struct CoverImage
{
    QByteArray data; // the picture's bytes as stored (JPEG, PNG...); empty when there is none
    QString mimeType; // as the tag declares it; may be empty
};

constexpr int probeFallbackTimeoutMs = 2000;

// Never fails: an unreadable file gives the title fallback and zeros.
ProbeResult probeAudioFile(const QString &path, ProbeMethod method = ProbeMethod::Automatic);

// The embedded picture (the front cover when several are present), read with TagLib.
CoverImage readEmbeddedCover(const QString &path);

// The year of a date or description text: the first four consecutive digits, taken only
// when they form a year from 1901 to 2099; else 0.
int yearFromText(const QString &text);

// The year of a date value as the media player delivers it: a date-time or date gives its
// year, an int is taken as it is, a text follows yearFromText; anything else gives 0.
int yearFromDateValue(const QVariant &value);
