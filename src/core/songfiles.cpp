#include "songfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStringConverter>
#include <QStringList>

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/synchronizedlyricsframe.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>

namespace SongFiles {

namespace {

    QString toQString(const TagLib::String &text)
    {
        return QString::fromUtf8(text.toCString(true));
    }

    bool isImageSuffix(const QString &suffix)
    {
        static const QStringList suffixes { QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
            QStringLiteral("webp"), QStringLiteral("bmp"), QStringLiteral("gif") };
        return suffixes.contains(suffix.toLower());
    }

    // SYLT holds (text, time) pairs; as "[mm:ss.xx]text" lines they take the same road as a file.
    QString syncedToLrc(const TagLib::ID3v2::SynchronizedLyricsFrame &frame)
    {
        if (frame.timestampFormat() != TagLib::ID3v2::SynchronizedLyricsFrame::AbsoluteMilliseconds)
            return QString(); // MPEG frame counts would need the stream's frame rate: rare, skipped
        QString lrc;
        const TagLib::ID3v2::SynchronizedLyricsFrame::SynchedTextList lines = frame.synchedText();
        for (const auto &line : lines) {
            const uint ms = line.time;
            lrc += QStringLiteral("[%1:%2.%3]%4\n")
                       .arg(ms / 60000, 2, 10, QLatin1Char('0'))
                       .arg((ms / 1000) % 60, 2, 10, QLatin1Char('0'))
                       .arg((ms % 1000) / 10, 2, 10, QLatin1Char('0'))
                       .arg(toQString(line.text).trimmed());
        }
        return lrc;
    }

    QString lyricsFromId3v2(TagLib::ID3v2::Tag *tag)
    {
        if (!tag)
            return QString();
        // Timed lyrics first: they are what the lyrics page is for.
        for (TagLib::ID3v2::Frame *frame : tag->frameList("SYLT")) {
            if (auto *synced = dynamic_cast<TagLib::ID3v2::SynchronizedLyricsFrame *>(frame)) {
                const QString lrc = syncedToLrc(*synced);
                if (!lrc.trimmed().isEmpty())
                    return lrc;
            }
        }
        for (TagLib::ID3v2::Frame *frame : tag->frameList("USLT")) {
            if (auto *plain = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame *>(frame)) {
                const QString text = toQString(plain->text());
                if (!text.trimmed().isEmpty())
                    return text;
            }
        }
        return QString();
    }

    QString lyricsFromProperties(const TagLib::PropertyMap &properties)
    {
        // TagLib maps USLT, Vorbis LYRICS and MP4 ©lyr all to LYRICS.
        for (const char *key : { "LYRICS", "UNSYNCEDLYRICS" }) {
            const auto it = properties.find(key);
            if (it == properties.end())
                continue;
            for (const TagLib::String &value : it->second) {
                const QString text = toQString(value);
                if (!text.trimmed().isEmpty())
                    return text;
            }
        }
        return QString();
    }

} // namespace

QString decodeLyrics(const QByteArray &bytes)
{
    if (const auto bom = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*bom);
        QString text = decoder.decode(bytes);
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gb("GB18030");
    if (gb.isValid()) {
        const QString chinese = gb.decode(bytes);
        if (!gb.hasError())
            return chinese;
    }
    return QString::fromLatin1(bytes);
}

QString lyricsFileBeside(const QString &audioPath)
{
    const QFileInfo audio(audioPath);
    const QDir dir = audio.dir();
    const QString base = audio.completeBaseName();
    // Exact spellings first: a listing of a large folder costs more than three look-ups.
    for (const QString &suffix : { QStringLiteral(".lrc"), QStringLiteral(".LRC"), QStringLiteral(".Lrc") }) {
        const QString path = dir.filePath(base + suffix);
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QString readLyricsBeside(const QString &audioPath)
{
    const QString path = lyricsFileBeside(audioPath);
    if (path.isEmpty())
        return QString();
    QFile file(path);
    if (file.size() > MaxLyricsBytes || !file.open(QIODevice::ReadOnly))
        return QString();
    return decodeLyrics(file.readAll());
}

QString readEmbeddedLyrics(const QString &audioPath)
{
    const QByteArray encodedPath = QFile::encodeName(audioPath);
    TagLib::FileStream stream(encodedPath.constData(), true);
    if (!stream.isOpen())
        return QString();
    TagLib::FileRef ref(&stream, false);
    if (ref.isNull() || !ref.file()->isValid())
        return QString();
    TagLib::File *file = ref.file();
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        const QString lyrics = lyricsFromId3v2(mpeg->ID3v2Tag());
        if (!lyrics.isEmpty())
            return lyrics;
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        const QString lyrics = lyricsFromId3v2(flac->ID3v2Tag());
        if (!lyrics.isEmpty())
            return lyrics;
    }
    return lyricsFromProperties(file->properties());
}

QString findLyrics(const QString &audioPath)
{
    const QString beside = readLyricsBeside(audioPath);
    if (!beside.trimmed().isEmpty())
        return beside;
    return readEmbeddedLyrics(audioPath);
}

QString namedFolderImage(const QDir &dir)
{
    static const QStringList names { QStringLiteral("cover"), QStringLiteral("folder"), QStringLiteral("front") };
    const QStringList entries = dir.entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        for (const QString &entry : entries) {
            const QFileInfo info(entry);
            if (info.completeBaseName().compare(name, Qt::CaseInsensitive) == 0 && isImageSuffix(info.suffix()))
                return dir.filePath(entry);
        }
    }
    return QString();
}

CoverImage findCover(const QString &audioPath)
{
    CoverImage cover = readEmbeddedCover(audioPath);
    if (!cover.data.isEmpty())
        return cover;
    const QString image = namedFolderImage(QFileInfo(audioPath).dir());
    if (image.isEmpty())
        return {};
    QFile file(image);
    // A cover larger than this is no cover a player bar needs; it would only cost memory.
    constexpr qint64 MaxCoverBytes = 32 * 1024 * 1024;
    if (file.size() > MaxCoverBytes || !file.open(QIODevice::ReadOnly))
        return {};
    return { file.readAll(), QMimeDatabase().mimeTypeForFile(image).name() };
}

} // namespace SongFiles
