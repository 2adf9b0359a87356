// Tag mapping of the probe: arbitrary bytes as audio files of each supported container, read with
// TagLib, plus the year rules on arbitrary texts and date values.
#include "fuzzsupport.h"
#include "tagprobe.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QVariant>

#include <cstddef>
#include <cstdint>

namespace {

bool plausibleYear(int year)
{
    return year == 0 || (year >= 1901 && year <= 2099);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzApplication<QGuiApplication>();
    static QTemporaryDir *dir = new QTemporaryDir;
    static const char *const suffixes[] = { "mp3", "flac", "ogg", "opus", "m4a", "wav", "aiff", "wma" };

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // The year rules on the same bytes read as text.
    const QString text = QString::fromUtf8(bytes);
    FUZZ_CHECK(plausibleYear(yearFromText(text)));
    FUZZ_CHECK(plausibleYear(yearFromDateValue(text)));
    if (size >= 4) {
        const int y = int(data[0]) * 16 + data[1] % 16;
        const QDate date(y, 1 + data[2] % 12, 1 + data[3] % 28);
        if (date.isValid())
            FUZZ_CHECK(yearFromDateValue(date) == y && yearFromDateValue(QDateTime(date, QTime(0, 0))) == y);
    }

    // The first byte picks the container the bytes pretend to be.
    if (size == 0)
        return 0;
    const char *suffix = suffixes[data[0] % (sizeof(suffixes) / sizeof(suffixes[0]))];
    const QString path = dir->filePath(QStringLiteral("probe track.") + QLatin1String(suffix));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(bytes.mid(1));
    file.close();

    const ProbeResult result = probeAudioFile(path, ProbeMethod::TagLibOnly);
    FUZZ_CHECK(!result.title.isEmpty()); // the tag title, else the file name
    FUZZ_CHECK(plausibleYear(result.year));
    FUZZ_CHECK(result.duration >= 0);
    FUZZ_CHECK(result.trackNumber >= 0);
    FUZZ_CHECK(!result.timedOut);
    FUZZ_CHECK(result.source != ProbeSource::MediaPlayer);
    if (result.source == ProbeSource::None)
        FUZZ_CHECK(result.title == QLatin1String("probe track") && result.artist.isEmpty() && result.year == 0);

    const CoverImage cover = readEmbeddedCover(path);
    FUZZ_CHECK(cover.data.size() <= qsizetype(size));
    return 0;
}
