#include "tagprobe.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

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
    Q_UNUSED(method)
    ProbeResult result;
    result.title = QFileInfo(path).completeBaseName();
    return result;
}

CoverImage readEmbeddedCover(const QString &path)
{
    Q_UNUSED(path)
    return {};
}
