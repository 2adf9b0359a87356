#include "models.h"

#include <QJsonValue>

#include <limits>

namespace {

// Only a JSON number holding a whole value that fits 32 bits counts; everything else is 0.
int jsonInt(const QJsonObject &obj, const char *key)
{
    return obj.value(QLatin1String(key)).toInt(0);
}

QString jsonString(const QJsonObject &obj, const char *key)
{
    return obj.value(QLatin1String(key)).toString();
}

} // namespace

QString formatDurationSeconds(int seconds)
{
    if (seconds < 1)
        return QStringLiteral("--:--");
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

Song Song::fromJson(const QJsonObject &obj)
{
    Song s;
    s.id = jsonInt(obj, "id");
    s.albumId = jsonInt(obj, "album_id");
    s.title = jsonString(obj, "title");
    s.artist = jsonString(obj, "artist");
    s.duration = jsonInt(obj, "duration");
    s.filePath = jsonString(obj, "file_path");
    s.trackNumber = jsonInt(obj, "track_number");
    s.lyrics = jsonString(obj, "lyrics");
    s.lyricist = jsonString(obj, "lyricist");
    s.composer = jsonString(obj, "composer");
    s.arranger = jsonString(obj, "arranger");
    s.producer = jsonString(obj, "producer");
    s.genre = jsonString(obj, "genre");
    s.language = jsonString(obj, "language");
    s.playCount = jsonInt(obj, "play_count");
    return s;
}

QJsonObject Song::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("album_id"), albumId);
    o.insert(QStringLiteral("title"), title);
    o.insert(QStringLiteral("artist"), artist);
    o.insert(QStringLiteral("duration"), duration);
    o.insert(QStringLiteral("file_path"), filePath);
    o.insert(QStringLiteral("track_number"), trackNumber);
    o.insert(QStringLiteral("lyrics"), lyrics);
    o.insert(QStringLiteral("lyricist"), lyricist);
    o.insert(QStringLiteral("composer"), composer);
    o.insert(QStringLiteral("arranger"), arranger);
    o.insert(QStringLiteral("producer"), producer);
    o.insert(QStringLiteral("genre"), genre);
    o.insert(QStringLiteral("language"), language);
    o.insert(QStringLiteral("play_count"), playCount);
    return o;
}

QString Song::formattedDuration() const
{
    return formatDurationSeconds(duration);
}

Album Album::fromJson(const QJsonObject &obj)
{
    Album a;
    a.id = jsonInt(obj, "id");
    a.name = jsonString(obj, "name");
    a.artist = jsonString(obj, "artist");
    a.cover = jsonString(obj, "cover");
    a.year = jsonInt(obj, "year");
    a.songCount = jsonInt(obj, "song_count");
    return a;
}

QJsonObject Album::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("artist"), artist);
    o.insert(QStringLiteral("cover"), cover);
    o.insert(QStringLiteral("year"), year);
    o.insert(QStringLiteral("song_count"), songCount);
    return o;
}
