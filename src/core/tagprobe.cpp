#include "tagprobe.h"

#include <QAudioOutput>
#include <QDate>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <taglib/aifffile.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tfilestream.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace {

QString toQString(const TagLib::String &text)
{
    return QString::fromUtf8(text.toCString(true));
}

// Several values of one key (two artists, say) read as one text, the way the media framework
// merges them.
QString propertyText(const TagLib::PropertyMap &properties, const char *key)
{
    const auto it = properties.find(key);
    if (it == properties.end())
        return {};
    QStringList values;
    for (const TagLib::String &value : it->second) {
        const QString text = toQString(value).trimmed();
        if (!text.isEmpty())
            values.append(text);
    }
    return values.join(QStringLiteral(", "));
}

// "3/12" and "03" both give 3.
int leadingNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^\\s*(\\d{1,9})"));
    const QRegularExpressionMatch match = digits.match(text);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString fallbackTitle(const QString &path)
{
    // Only the extension goes: "Mr. Brightside.mp3" is titled "Mr. Brightside", not "Mr".
    return QFileInfo(path).completeBaseName();
}

bool probeWithTagLib(const QString &path, ProbeResult &result)
{
    // Read-only: a probe never needs write access to someone's music.
    const QByteArray encodedPath = QFile::encodeName(path);
    TagLib::FileStream stream(encodedPath.constData(), true);
    if (!stream.isOpen())
        return false;
    TagLib::FileRef ref(&stream, true, TagLib::AudioProperties::Average);
    if (ref.isNull() || !ref.file()->isValid())
        return false;

    const TagLib::PropertyMap properties = ref.file()->properties();
    result.title = propertyText(properties, "TITLE");
    result.albumArtist = propertyText(properties, "ALBUMARTIST");
    result.artist = result.albumArtist;
    if (result.artist.isEmpty())
        result.artist = propertyText(properties, "ARTIST");
    if (result.artist.isEmpty())
        result.artist = propertyText(properties, "AUTHOR");
    result.album = propertyText(properties, "ALBUM");
    result.genre = propertyText(properties, "GENRE");
    result.trackNumber = leadingNumber(propertyText(properties, "TRACKNUMBER"));

    QString date = propertyText(properties, "DATE");
    if (date.isEmpty() && ref.tag() && ref.tag()->year() > 0)
        date = QString::number(ref.tag()->year());
    result.year = yearFromText(date);
    if (result.year == 0)
        result.year = yearFromText(propertyText(properties, "DESCRIPTION"));

    // A broken header (an Ogg granule position running backwards) yields a negative length;
    // that is an unknown length, not a negative one.
    if (const TagLib::AudioProperties *audio = ref.audioProperties())
        result.duration = qMax(0, audio->lengthInMilliseconds() / 1000);
    result.source = ProbeSource::TagLib;
    return true;
}

// Loads the file into a player that never plays and reads its metadata once loaded.
// The wait ends when the player has loaded the file (its tags are reported just before),
// when it gives up on the file, or after probeFallbackTimeoutMs. Tearing the player down
// while it is still building its pipeline can deadlock GStreamer, hence no earlier exit on
// the first metadata report.
void probeWithMediaPlayer(const QString &path, ProbeResult &result)
{
    // Without an audio output the pipeline never reaches the tags. Declared first so that the
    // player, which uses it, goes first.
    QAudioOutput output;
    QMediaPlayer player;
    player.setAudioOutput(&output);

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setInterval(probeFallbackTimeoutMs);
    bool answered = false;
    bool failed = false;
    auto settle = [&loop, &answered, &failed](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia)
            failed = true;
        if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia
            || status == QMediaPlayer::InvalidMedia) {
            answered = true;
            loop.quit();
        }
    };
    // Connected before setSource(): the player may report from inside it.
    QObject::connect(&player, &QMediaPlayer::mediaStatusChanged, &loop, settle, Qt::DirectConnection);
    QObject::connect(
        &player, &QMediaPlayer::errorOccurred, &loop,
        [&loop, &answered, &failed] {
            failed = true;
            answered = true;
            loop.quit();
        },
        Qt::DirectConnection);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit, Qt::DirectConnection);

    player.setSource(QUrl::fromLocalFile(path));
    settle(player.mediaStatus());
    if (!answered) {
        timer.start();
        loop.exec();
        result.timedOut = !answered;
    }

    const QMediaMetaData meta = player.metaData();
    if (meta.isEmpty())
        return;
    if (!failed)
        result.source = ProbeSource::MediaPlayer;

    result.title = meta.stringValue(QMediaMetaData::Title);
    result.albumArtist = meta.stringValue(QMediaMetaData::AlbumArtist);
    result.artist = result.albumArtist;
    if (result.artist.isEmpty())
        result.artist = meta.stringValue(QMediaMetaData::ContributingArtist);
    if (result.artist.isEmpty())
        result.artist = meta.stringValue(QMediaMetaData::Author);
    result.album = meta.stringValue(QMediaMetaData::AlbumTitle);
    const QVariant duration = meta.value(QMediaMetaData::Duration);
    result.duration = int(qMax<qint64>(0, duration.isValid() ? duration.toLongLong() : player.duration()) / 1000);
    result.genre = meta.stringValue(QMediaMetaData::Genre);
    result.trackNumber = meta.value(QMediaMetaData::TrackNumber).toInt();
    result.year = yearFromDateValue(meta.value(QMediaMetaData::Date));
    if (result.year == 0)
        result.year = yearFromText(meta.stringValue(QMediaMetaData::Description));
}

// Front cover first, then any other picture.
template <typename Picture, typename TypeOf>
const Picture *preferFrontCover(const std::vector<const Picture *> &pictures, TypeOf typeOf, int frontCoverType)
{
    for (const Picture *picture : pictures) {
        if (typeOf(picture) == frontCoverType)
            return picture;
    }
    return pictures.empty() ? nullptr : pictures.front();
}

CoverImage coverFromId3v2(TagLib::ID3v2::Tag *tag)
{
    if (!tag)
        return {};
    std::vector<const TagLib::ID3v2::AttachedPictureFrame *> pictures;
    for (TagLib::ID3v2::Frame *frame : tag->frameList("APIC")) {
        if (auto *picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame))
            pictures.push_back(picture);
    }
    const auto *chosen = preferFrontCover(
        pictures, [](const TagLib::ID3v2::AttachedPictureFrame *p) { return int(p->type()); },
        int(TagLib::ID3v2::AttachedPictureFrame::FrontCover));
    if (!chosen)
        return {};
    const TagLib::ByteVector data = chosen->picture();
    return { QByteArray(data.data(), int(data.size())), toQString(chosen->mimeType()) };
}

CoverImage coverFromFlacPictures(const TagLib::List<TagLib::FLAC::Picture *> &list)
{
    std::vector<const TagLib::FLAC::Picture *> pictures(list.begin(), list.end());
    const auto *chosen = preferFrontCover(
        pictures, [](const TagLib::FLAC::Picture *p) { return int(p->type()); },
        int(TagLib::FLAC::Picture::FrontCover));
    if (!chosen)
        return {};
    const TagLib::ByteVector data = chosen->data();
    return { QByteArray(data.data(), int(data.size())), toQString(chosen->mimeType()) };
}

CoverImage coverFromMp4(TagLib::MP4::Tag *tag)
{
    if (!tag || !tag->contains("covr"))
        return {};
    const TagLib::MP4::CoverArtList covers = tag->item("covr").toCoverArtList();
    if (covers.isEmpty())
        return {};
    const TagLib::MP4::CoverArt &cover = covers.front();
    const TagLib::ByteVector data = cover.data();
    QString mime;
    if (cover.format() == TagLib::MP4::CoverArt::JPEG)
        mime = QStringLiteral("image/jpeg");
    else if (cover.format() == TagLib::MP4::CoverArt::PNG)
        mime = QStringLiteral("image/png");
    else if (cover.format() == TagLib::MP4::CoverArt::BMP)
        mime = QStringLiteral("image/bmp");
    else if (cover.format() == TagLib::MP4::CoverArt::GIF)
        mime = QStringLiteral("image/gif");
    return { QByteArray(data.data(), int(data.size())), mime };
}

CoverImage coverFromAsf(TagLib::ASF::Tag *tag)
{
    if (!tag || !tag->contains("WM/Picture"))
        return {};
    std::vector<TagLib::ASF::Picture> owned;
    for (const TagLib::ASF::Attribute &attribute : tag->attribute("WM/Picture")) {
        const TagLib::ASF::Picture picture = attribute.toPicture();
        if (picture.isValid())
            owned.push_back(picture);
    }
    std::vector<const TagLib::ASF::Picture *> pictures;
    for (const TagLib::ASF::Picture &picture : owned)
        pictures.push_back(&picture);
    const auto *chosen = preferFrontCover(
        pictures, [](const TagLib::ASF::Picture *p) { return int(p->type()); }, int(TagLib::ASF::Picture::FrontCover));
    if (!chosen)
        return {};
    const TagLib::ByteVector data = chosen->picture();
    return { QByteArray(data.data(), int(data.size())), toQString(chosen->mimeType()) };
}

} // namespace

int yearFromText(const QString &text)
{
    static const QRegularExpression fourDigits(QStringLiteral("(\\d{4})"));
    const QRegularExpressionMatch match = fourDigits.match(text);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const int year = match.captured(1).toInt(&ok, 10);
    return ok && year >= 1901 && year <= 2099 ? year : 0;
}

int yearFromDateValue(const QVariant &value)
{
    if (!value.isValid())
        return 0;
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        // A year-only date arrives as an invalid date-time: no year, so the description decides.
        const QDateTime dateTime = value.toDateTime();
        return dateTime.isValid() ? dateTime.date().year() : 0;
    }
    case QMetaType::QDate: {
        const QDate date = value.toDate();
        return date.isValid() ? date.year() : 0;
    }
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::QString:
        return yearFromText(value.toString());
    default:
        return 0;
    }
}

ProbeResult probeAudioFile(const QString &path, ProbeMethod method)
{
    ProbeResult result;
    bool read = false;
    if (method != ProbeMethod::MediaPlayerOnly)
        read = probeWithTagLib(path, result);
    if (!read && method != ProbeMethod::TagLibOnly && QFileInfo(path).isFile())
        probeWithMediaPlayer(path, result);
    if (result.title.isEmpty())
        result.title = fallbackTitle(path);
    return result;
}

CoverImage readEmbeddedCover(const QString &path)
{
    const QByteArray encodedPath = QFile::encodeName(path);
    TagLib::FileStream stream(encodedPath.constData(), true);
    if (!stream.isOpen())
        return {};
    TagLib::FileRef ref(&stream, false);
    if (ref.isNull() || !ref.file()->isValid())
        return {};
    TagLib::File *file = ref.file();

    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file))
        return coverFromId3v2(mpeg->ID3v2Tag());
    if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        CoverImage cover = coverFromFlacPictures(flac->pictureList());
        if (cover.data.isEmpty() && flac->hasXiphComment())
            cover = coverFromFlacPictures(flac->xiphComment()->pictureList());
        if (cover.data.isEmpty())
            cover = coverFromId3v2(flac->ID3v2Tag());
        return cover;
    }
    if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file))
        return coverFromMp4(mp4->tag());
    if (auto *vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File *>(file))
        return coverFromFlacPictures(vorbis->tag()->pictureList());
    if (auto *opus = dynamic_cast<TagLib::Ogg::Opus::File *>(file))
        return coverFromFlacPictures(opus->tag()->pictureList());
    if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file))
        return coverFromAsf(asf->tag());
    if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file))
        return coverFromId3v2(wav->ID3v2Tag());
    if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file))
        return coverFromId3v2(aiff->tag());
    return {};
}
