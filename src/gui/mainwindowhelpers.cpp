#include "mainwindowhelpers.h"

#include "models.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>

namespace MainWindowHelpers {

namespace {

    constexpr int CoverSize = 100;
    constexpr int PopupScreenMargin = 10;
    constexpr int PopupGap = 5;

} // namespace

const QStringList &tabNames()
{
    static const QStringList names = {
        QStringLiteral(QT_TRANSLATE_NOOP("MainWindow", "所有专辑")),
        QStringLiteral(QT_TRANSLATE_NOOP("MainWindow", "全部歌曲")),
        QStringLiteral(QT_TRANSLATE_NOOP("MainWindow", "播放列表")),
        QStringLiteral(QT_TRANSLATE_NOOP("MainWindow", "排行榜")),
        QStringLiteral(QT_TRANSLATE_NOOP("MainWindow", "本地音乐")),
    };
    return names;
}

const QStringList &tabIcons()
{
    static const QStringList icons = {
        QStringLiteral(":/icons/album.svg"),
        QStringLiteral(":/icons/single.svg"),
        QStringLiteral(":/icons/playlist.svg"),
        QStringLiteral(":/icons/ranking.svg"),
        QStringLiteral(":/icons/folder.svg"),
    };
    return icons;
}

QString formatTimeText(qint64 ms)
{
    if (ms < 1)
        return QStringLiteral("00:00");
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

int progressSliderValue(qint64 position, qint64 duration)
{
    if (duration <= 0)
        return -1;
    return static_cast<int>(static_cast<double>(position) * 1000.0 / static_cast<double>(duration));
}

qint64 seekPositionForSliderValue(int value, qint64 duration)
{
    if (duration <= 0)
        return -1;
    return static_cast<qint64>(value / 1000.0 * static_cast<double>(duration));
}

bool reportedDurationIsWrong(qint64 position, qint64 reported, int catalogueSeconds)
{
    // A second of slack: position reports and the framework's duration are not taken together.
    constexpr qint64 SlackMs = 1000;
    return catalogueSeconds > 0 && reported > 0 && position > reported + SlackMs;
}

qint64 shownDuration(qint64 position, qint64 reported, int catalogueSeconds)
{
    if (reportedDurationIsWrong(position, reported, catalogueSeconds))
        return qint64(catalogueSeconds) * 1000;
    return reported;
}

qint64 shownPosition(qint64 position, qint64 duration)
{
    if (duration > 0 && position > duration)
        return duration;
    return qMax<qint64>(position, 0);
}

QString volumeIconPath(int volume)
{
    if (volume <= 0)
        return QStringLiteral(":/icons/volume-off.svg");
    if (volume < 30)
        return QStringLiteral(":/icons/volume-down.svg");
    if (volume < 60)
        return QStringLiteral(":/icons/volume-center.svg");
    return QStringLiteral(":/icons/volume-up.svg");
}

QString playModeIconPath(int mode)
{
    switch (mode) {
    case 0:
        return QStringLiteral(":/icons/list.svg");
    case 2:
        return QStringLiteral(":/icons/repeat-one.svg");
    case 3:
        return QStringLiteral(":/icons/shuffle.svg");
    default:
        return QStringLiteral(":/icons/repeat.svg");
    }
}

QString songRowText(const Song &song)
{
    return QStringLiteral("%1 - %2  [%3]").arg(song.title, song.artist, song.formattedDuration());
}

QString artistRankingRowText(int position, const QJsonObject &row, const QString &songsWord, const QString &playWord)
{
    // One pass over all placeholders, so a '%2' inside a name is never taken for one.
    return QStringLiteral("%1. %2  (%3: %4  %5: %6)")
        .arg(QString::number(position), row.value(QLatin1String("artist")).toString(), songsWord,
            QString::number(row.value(QLatin1String("song_count")).toInt()), playWord,
            QString::number(row.value(QLatin1String("total_plays")).toInt()));
}

QString songRankingRowText(int position, const QJsonObject &row, const QString &playWord)
{
    return QStringLiteral("%1. %2 - %3  (%4: %5)")
        .arg(QString::number(position), row.value(QLatin1String("title")).toString(),
            row.value(QLatin1String("artist")).toString(), playWord,
            QString::number(row.value(QLatin1String("play_count")).toInt()));
}

QPoint volumePopupPosition(
    const QPoint &iconGlobalTopLeft, const QSize &iconSize, const QSize &popupSize, const QRect &screenGeometry)
{
    int x = iconGlobalTopLeft.x() + iconSize.width() / 2 - popupSize.width() / 2;
    if (x < screenGeometry.left())
        x = screenGeometry.left() + PopupScreenMargin;
    if (x + popupSize.width() > screenGeometry.left() + screenGeometry.width())
        x = screenGeometry.left() + screenGeometry.width() - popupSize.width() - PopupScreenMargin;
    int y = iconGlobalTopLeft.y() - popupSize.height() - PopupGap;
    if (y < screenGeometry.top())
        y = iconGlobalTopLeft.y() + iconSize.height() + PopupGap;
    return QPoint(x, y);
}

QPixmap roundCover(const QPixmap &source)
{
    // Scaled to cover the whole circle, then centred: a wide or tall cover loses its ends, not
    // the circle's fill.
    const QPixmap scaled
        = source.scaled(CoverSize, CoverSize, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QPoint offset((CoverSize - scaled.width()) / 2, (CoverSize - scaled.height()) / 2);
    QPixmap round(CoverSize, CoverSize);
    round.fill(Qt::transparent);
    QPainter painter(&round);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath circle;
    circle.addEllipse(QRectF(0, 0, CoverSize, CoverSize));
    painter.setClipPath(circle);
    painter.drawPixmap(offset, scaled);
    painter.setPen(QPen(QColor(0, 182, 136, 80), 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRect(0, 0, CoverSize, CoverSize));
    painter.end();
    return round;
}

} // namespace MainWindowHelpers
