#include "wavwriter.h"

#include <QDataStream>
#include <QFile>

#include <cmath>

bool writeWav(const QString &path, int milliseconds, int sampleRate, bool tone)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const quint32 samples = quint32(qint64(sampleRate) * milliseconds / 1000);
    const quint32 dataBytes = samples * 2;
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(sampleRate) << quint32(sampleRate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (quint32 i = 0; i < samples; ++i) {
        const double v = tone ? 3000.0 * std::sin(2.0 * M_PI * 440.0 * i / sampleRate) : 0.0;
        out << qint16(std::lround(v));
    }
    return out.status() == QDataStream::Ok;
}
