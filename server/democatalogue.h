#pragma once

#include <QObject>
#include <QString>

// Makes a small music folder with nothing downloaded: three albums of short synthesised
// melodies as tagged WAV files, drawn covers (a folder image, an embedded picture, and a folder
// of untagged files named by their folder) and LRC lyrics that sing the notes as they sound.
class DemoCatalogue : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultSongMs = 24000;

    struct Track
    {
        QString album; // empty: untagged, the folder names the album
        QString albumArtist;
        QString artist;
        QString title;
        QString genre;
        int year = 0;
        int trackNumber = 0;
    };

    explicit DemoCatalogue(QObject *parent = nullptr);

    // Writes the demo into folder (created when missing; existing files of the same names are
    // replaced). songMs is the length of every song. Returns false with lastError() on failure.
    bool generate(const QString &folder, int songMs = DefaultSongMs);
    QString lastError() const { return m_lastError; }

    // The notes of a song, one LRC line per phrase; public so that tests can check the timing.
    static QString lyricsFor(int songIndex, int songMs, bool chinese);
    static constexpr int NotesPerPhrase = 4;
    static constexpr int Phrases = 6;

private:
    bool writeSong(const QString &path, int songIndex, int songMs, const Track &track, const QByteArray &embeddedCover);
    bool fail(const QString &message);

    QString m_lastError;
};
