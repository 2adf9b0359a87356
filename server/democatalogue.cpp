#include "democatalogue.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

#include <cmath>

namespace {

constexpr int SampleRate = 22050;
constexpr double Pi = 3.14159265358979323846;

struct DemoAlbum
{
    QString folder;
    QString name; // empty: untagged
    QString artist;
    QString genre;
    int year = 0;
    bool chinese = false;
    enum class CoverKind { FolderPng, Embedded, FolderJpg } cover = CoverKind::FolderPng;
    QColor from;
    QColor to;
    QStringList titles;
};

QList<DemoAlbum> demoAlbums()
{
    return {
        { QStringLiteral("林间乐团 - 晨光序曲"), QStringLiteral("晨光序曲"), QStringLiteral("林间乐团"),
            QStringLiteral("轻音乐"), 2021, true, DemoAlbum::CoverKind::FolderPng, QColor(0xf6, 0xa6, 0x3b),
            QColor(0xc2, 0x3b, 0x6b),
            { QStringLiteral("晨曦"), QStringLiteral("露珠"), QStringLiteral("山间小路"), QStringLiteral("归鸟") } },
        { QStringLiteral("Velora Synth Club - Night Drive"), QStringLiteral("Night Drive"),
            QStringLiteral("Velora Synth Club"), QStringLiteral("Electronic"), 2023, false,
            DemoAlbum::CoverKind::Embedded, QColor(0x1d, 0x2b, 0x64), QColor(0x8e, 0x2d, 0xe2),
            { QStringLiteral("Neon Lights"), QStringLiteral("Midnight Avenue"), QStringLiteral("Last Exit") } },
        { QStringLiteral("Field Recordings"), QString(), QString(), QString(), 0, false,
            DemoAlbum::CoverKind::FolderJpg, QColor(0x2e, 0x8b, 0x57), QColor(0x1b, 0x4f, 0x72),
            { QStringLiteral("Morning Rain"), QStringLiteral("Evening Wind") } },
    };
}

// The melody of a song: scale degrees 0..7 (7 is the octave), moving by small steps and
// coming home to the tonic at the end. Deterministic, so lyrics and sound always agree.
QList<int> melodyFor(int songIndex)
{
    const int count = DemoCatalogue::Phrases * DemoCatalogue::NotesPerPhrase;
    QList<int> notes;
    notes.reserve(count);
    quint32 state = 2463534242u + quint32(songIndex) * 2654435761u;
    int degree = (songIndex * 2) % 5;
    for (int i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        // Never the same note twice in a row; bounce off the ends of the octave.
        static const int steps[] = { -2, -1, 1, 2 };
        const int step = steps[state % 4];
        degree = (degree + step < 0 || degree + step > 7) ? degree - step : degree + step;
        notes.append(i == count - 1 ? 0 : degree);
    }
    return notes;
}

double frequencyFor(int songIndex, int degree)
{
    static const int semitones[] = { 0, 2, 4, 5, 7, 9, 11, 12 };
    const int key = songIndex % 5;
    return 261.63 * std::pow(2.0, double(semitones[degree] + key) / 12.0);
}

QString syllable(int degree, bool chinese)
{
    static const char *const english[] = { "Do", "Re", "Mi", "Fa", "Sol", "La", "Ti", "Do" };
    static const char16_t *const chineseNames[] = { u"哆", u"来", u"咪", u"发", u"唆", u"拉", u"西", u"哆" };
    return chinese ? QString::fromUtf16(chineseNames[degree]) : QString::fromLatin1(english[degree]);
}

QByteArray synthesise(int songIndex, int songMs)
{
    const QList<int> notes = melodyFor(songIndex);
    const qint64 totalSamples = qint64(SampleRate) * songMs / 1000;
    QByteArray pcm;
    pcm.resize(totalSamples * 2);
    auto *out = reinterpret_cast<qint16 *>(pcm.data());
    const double bass = frequencyFor(songIndex, 0) / 2.0;
    for (qint64 i = 0; i < totalSamples; ++i) {
        // Note boundaries follow the same arithmetic as the lyric times.
        const int note = int(qMin<qint64>(notes.size() - 1, i * notes.size() / qMax<qint64>(1, totalSamples)));
        const qint64 noteStart = qint64(note) * totalSamples / notes.size();
        const qint64 noteEnd = qint64(note + 1) * totalSamples / notes.size();
        const double t = double(i) / SampleRate;
        const double inNote = double(i - noteStart) / double(qMax<qint64>(1, noteEnd - noteStart));
        // A soft attack and a release over the last part of the note: no clicks between notes.
        const double attack = qMin(1.0, double(i - noteStart) / (0.01 * SampleRate));
        const double release = inNote > 0.7 ? qMax(0.0, (1.0 - inNote) / 0.3) : 1.0;
        const double f = frequencyFor(songIndex, notes.at(note));
        const double voice
            = 0.6 * std::sin(2 * Pi * f * t) + 0.25 * std::sin(4 * Pi * f * t) + 0.1 * std::sin(6 * Pi * f * t);
        const double drone = 0.25 * std::sin(2 * Pi * bass * t);
        const double fade = qMin(1.0, double(totalSamples - i) / (0.05 * SampleRate));
        out[i] = qint16(std::lround(7000.0 * fade * (voice * attack * release + drone)));
    }
    return pcm;
}

bool writeWavFile(const QString &path, const QByteArray &pcm)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + pcm.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(SampleRate) << quint32(SampleRate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(pcm.size());
    out.writeRawData(pcm.constData(), int(pcm.size()));
    return out.status() == QDataStream::Ok && file.flush();
}

QImage drawCover(const DemoAlbum &album, int index)
{
    QImage image(400, 400, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 400, 400);
    background.setColorAt(0, album.from);
    background.setColorAt(1, album.to);
    p.fillRect(image.rect(), background);
    // A few rings, placed by the album's index so every cover looks its own.
    for (int ring = 0; ring < 6; ++ring) {
        const int cx = 80 + (index * 97 + ring * 53) % 260;
        const int cy = 70 + (index * 61 + ring * 89) % 260;
        const int r = 30 + ring * 18;
        QRadialGradient glow(cx, cy, r);
        glow.setColorAt(0, QColor(255, 255, 255, 90));
        glow.setColorAt(1, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(QPoint(cx, cy), r, r);
    }
    // Text needs the font machinery of a GUI application; without one the cover stays abstract.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QFont font;
        font.setPixelSize(36);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        const QString title = album.name.isEmpty() ? album.folder : album.name;
        p.drawText(QRect(20, 250, 360, 60), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, title);
        font.setPixelSize(22);
        font.setBold(false);
        p.setFont(font);
        p.drawText(QRect(20, 320, 360, 40), Qt::AlignLeft | Qt::AlignVCenter, album.artist);
    }
    p.end();
    return image;
}

TagLib::String tagText(const QString &text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

} // namespace

DemoCatalogue::DemoCatalogue(QObject *parent)
    : QObject(parent)
{
}

bool DemoCatalogue::fail(const QString &message)
{
    m_lastError = message;
    return false;
}

QString DemoCatalogue::lyricsFor(int songIndex, int songMs, bool chinese)
{
    const QList<int> notes = melodyFor(songIndex);
    QString lrc;
    for (int phrase = 0; phrase < Phrases; ++phrase) {
        const int firstNote = phrase * NotesPerPhrase;
        // Rounded down to the hundredth, so a line never lights up before its first note sounds.
        const qint64 startMs = qint64(firstNote) * songMs / notes.size();
        const qint64 hundredths = startMs / 10;
        QStringList words;
        for (int n = firstNote; n < firstNote + NotesPerPhrase; ++n)
            words.append(syllable(notes.at(n), chinese));
        lrc += QStringLiteral("[%1:%2.%3]%4\n")
                   .arg(hundredths / 6000, 2, 10, QLatin1Char('0'))
                   .arg((hundredths / 100) % 60, 2, 10, QLatin1Char('0'))
                   .arg(hundredths % 100, 2, 10, QLatin1Char('0'))
                   .arg(words.join(chinese ? QStringLiteral(" ") : QStringLiteral(" - ")));
    }
    return lrc;
}

bool DemoCatalogue::writeSong(
    const QString &path, int songIndex, int songMs, const Track &track, const QByteArray &embeddedCover)
{
    if (!writeWavFile(path, synthesise(songIndex, songMs)))
        return fail(QStringLiteral("cannot write \"%1\"").arg(path));
    if (track.album.isEmpty())
        return true; // the untagged folder: the importer names songs and album by file and folder
    const QByteArray encoded = QFile::encodeName(path);
    TagLib::RIFF::WAV::File file(encoded.constData());
    if (!file.isValid())
        return fail(QStringLiteral("cannot tag \"%1\"").arg(path));
    TagLib::PropertyMap properties;
    properties.replace("TITLE", TagLib::StringList(tagText(track.title)));
    properties.replace("ARTIST", TagLib::StringList(tagText(track.artist)));
    properties.replace("ALBUMARTIST", TagLib::StringList(tagText(track.albumArtist)));
    properties.replace("ALBUM", TagLib::StringList(tagText(track.album)));
    properties.replace("GENRE", TagLib::StringList(tagText(track.genre)));
    properties.replace("DATE", TagLib::StringList(tagText(QString::number(track.year))));
    properties.replace("TRACKNUMBER", TagLib::StringList(tagText(QString::number(track.trackNumber))));
    file.setProperties(properties);
    if (!embeddedCover.isEmpty()) {
        auto *picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setMimeType("image/jpeg");
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setPicture(TagLib::ByteVector(embeddedCover.constData(), uint(embeddedCover.size())));
        file.ID3v2Tag()->addFrame(picture);
    }
    if (!file.save())
        return fail(QStringLiteral("cannot save the tags of \"%1\"").arg(path));
    return true;
}

bool DemoCatalogue::generate(const QString &folder, int songMs)
{
    m_lastError.clear();
    if (songMs < 100 || songMs > 10 * 60 * 1000)
        return fail(QStringLiteral("the song length must lie between 100 ms and 10 minutes"));
    const QDir root(folder);
    if (!QDir().mkpath(root.absolutePath()))
        return fail(QStringLiteral("cannot create the folder \"%1\"").arg(folder));

    const QList<DemoAlbum> albums = demoAlbums();
    int songIndex = 0;
    for (int a = 0; a < albums.size(); ++a) {
        const DemoAlbum &album = albums.at(a);
        const QString dirPath = root.absoluteFilePath(album.folder);
        if (!QDir().mkpath(dirPath))
            return fail(QStringLiteral("cannot create the folder \"%1\"").arg(dirPath));
        const QDir dir(dirPath);
        const QImage cover = drawCover(album, a);
        QByteArray embedded;
        switch (album.cover) {
        case DemoAlbum::CoverKind::FolderPng:
            if (!cover.save(dir.filePath(QStringLiteral("cover.png")), "PNG"))
                return fail(QStringLiteral("cannot write the cover of \"%1\"").arg(album.folder));
            break;
        case DemoAlbum::CoverKind::FolderJpg:
            if (!cover.save(dir.filePath(QStringLiteral("folder.jpg")), "JPG", 85))
                return fail(QStringLiteral("cannot write the cover of \"%1\"").arg(album.folder));
            break;
        case DemoAlbum::CoverKind::Embedded: {
            QBuffer buffer(&embedded);
            buffer.open(QIODevice::WriteOnly);
            if (!cover.save(&buffer, "JPG", 85))
                return fail(QStringLiteral("cannot draw the cover of \"%1\"").arg(album.folder));
            break;
        }
        }
        for (int t = 0; t < album.titles.size(); ++t, ++songIndex) {
            Track track;
            track.album = album.name;
            track.albumArtist = album.artist;
            track.artist = album.artist;
            track.title = album.titles.at(t);
            track.genre = album.genre;
            track.year = album.year;
            track.trackNumber = t + 1;
            const QString base = QStringLiteral("%1 %2").arg(t + 1, 2, 10, QLatin1Char('0')).arg(track.title);
            if (!writeSong(dir.filePath(base + QStringLiteral(".wav")), songIndex, songMs, track, embedded))
                return false;
            QFile lrc(dir.filePath(base + QStringLiteral(".lrc")));
            if (!lrc.open(QIODevice::WriteOnly | QIODevice::Truncate)
                || lrc.write(lyricsFor(songIndex, songMs, album.chinese).toUtf8()) < 0)
                return fail(QStringLiteral("cannot write \"%1\"").arg(lrc.fileName()));
        }
    }
    return true;
}
