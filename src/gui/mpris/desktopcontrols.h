#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class CataloguePages;
class MprisService;
class MusicPlayer;
class QWidget;

// The desktop's player controls for the window: publishes the player through MprisService and
// fills in what the song records do not carry (the album's name, the cover's address, a local
// song's own cover saved to the cache folder); the desktop's raise and quit reach the window.
class DesktopControls : public QObject
{
    Q_OBJECT

public:
    DesktopControls(MusicPlayer *player, const CataloguePages *catalogue, QWidget *window);

    const MprisService *service() const { return m_service; }

    // A local song's cover as a file the desktop can read, or an empty URL when it has none.
    static QUrl localCoverFile(const QString &audioPath, const QString &cacheFolder);

private:
    void updateDetails();

    MusicPlayer *m_player;
    const CataloguePages *m_catalogue;
    MprisService *m_service;
};
