#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

// One song of the catalogue, or of the local library (id -1). Plain copyable value.
struct Song
{
    int id = 0;
    int albumId = 0;
    QString title;
    QString artist;
    int duration = 0; // whole seconds; 0 or less means unknown
    QString filePath; // relative to the media base for catalogue songs, absolute for local ones
    int trackNumber = 0;
    QString lyrics;
    QString lyricist;
    QString composer;
    QString arranger;
    QString producer;
    QString genre;
    QString language;
    int playCount = 0;

    static Song fromJson(const QJsonObject &obj);
    QJsonObject toJson() const;
    QString formattedDuration() const;
};

struct Album
{
    int id = 0;
    QString name;
    QString artist;
    QString cover; // relative to the media base; empty means no cover
    int year = 0;
    int songCount = 0;

    static Album fromJson(const QJsonObject &obj);
    QJsonObject toJson() const;
};

// "--:--" below one second, else zero-padded minutes (unbounded) and seconds.
QString formatDurationSeconds(int seconds);

// One audio file of the local library, as the scan or an addition found it. Plain copyable value.
struct LocalMusicFile
{
    QString filePath; // as handed to the manager; absolute for scanned files
    QString fileName; // last path component, with extension
    QString title; // tag title, else the file name without its extension
    QString artist;
    QString album;
    int duration = 0; // whole seconds; 0 = unknown
    QString genre;
    int trackNumber = 0;
    int year = 0; // 0 = unknown
    QString fileType; // lower-case suffix, e.g. "mp3"
    // False for a stored entry whose file cannot be reached now (an unmounted drive): kept with
    // its stored details, never saved as such, checked again at the next start.
    bool available = true;

    QString formattedDuration() const;
    // The song the player receives: id -1, absolute path, file name and "unknown artist" fallbacks.
    Song toSong() const;
};

Q_DECLARE_METATYPE(Song)
