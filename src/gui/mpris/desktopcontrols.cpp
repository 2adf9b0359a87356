#include "desktopcontrols.h"

#include "cataloguepages.h"
#include "catalogueconfig.h"
#include "mprisservice.h"
#include "musicplayer.h"
#include "songfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QStandardPaths>
#include <QWidget>

DesktopControls::DesktopControls(MusicPlayer *player, const CataloguePages *catalogue, QWidget *window)
    : QObject(window)
    , m_player(player)
    , m_catalogue(catalogue)
    , m_service(new MprisService(player, this))
{
    connect(m_service, &MprisService::raiseRequested, window, [window] {
        window->showNormal();
        window->raise();
        window->activateWindow();
    });
    connect(m_service, &MprisService::quitRequested, window, &QWidget::close);
    connect(m_player, &MusicPlayer::songChanged, this, &DesktopControls::updateDetails);
}

void DesktopControls::updateDetails()
{
    if (!m_service->isRegistered())
        return;
    const Song song = m_player->currentSong();
    if (song.id == -1) {
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        m_service->setTrackDetails(QString(), localCoverFile(song.filePath, cache));
        return;
    }
    if (const Album *album = m_catalogue->findAlbum(song.albumId)) {
        // An invalid address (a cover path outside the media folder) is simply not offered.
        const QUrl cover = album->cover.isEmpty() ? QUrl() : CatalogueConfig::mediaUrl(album->cover);
        m_service->setTrackDetails(album->name, cover);
    }
}

QUrl DesktopControls::localCoverFile(const QString &audioPath, const QString &cacheFolder)
{
    const CoverImage cover = SongFiles::findCover(audioPath);
    if (cover.data.isEmpty() || cacheFolder.isEmpty())
        return QUrl();
    // Named by the picture itself: songs of one album share one file, and a changed picture
    // never shows the old one.
    const QString hash = QString::fromLatin1(QCryptographicHash::hash(cover.data, QCryptographicHash::Sha1).toHex());
    QString suffix = QMimeDatabase().mimeTypeForData(cover.data).preferredSuffix();
    if (suffix.isEmpty())
        suffix = QStringLiteral("img");
    const QDir dir(cacheFolder + QStringLiteral("/covers"));
    const QString path = dir.filePath(hash + u'.' + suffix);
    if (!QFileInfo::exists(path)) {
        QSaveFile file(path);
        if (!dir.mkpath(QStringLiteral(".")) || !file.open(QIODevice::WriteOnly) || file.write(cover.data) < 0
            || !file.commit())
            return QUrl();
    }
    return QUrl::fromLocalFile(path);
}
