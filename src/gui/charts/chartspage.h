#pragma once

#include "models.h"

#include <QList>
#include <QObject>
#include <QString>

class ApiClient;
class CataloguePages;
class QComboBox;
class QListWidget;
class StatusLine;

// The charts page: the artist chart or the song chart, as the selector says. An artist row plays
// that artist's catalogue songs; a song row adds the song to the queue and starts it.
class ChartsPage : public QObject
{
    Q_OBJECT

public:
    ChartsPage(ApiClient *client, const CataloguePages *catalogue, StatusLine *status, QListWidget *list,
        QComboBox *typeSelector, QObject *parent);

    // type: ChartKind::Artist or ChartKind::Song.
    void load(const QString &type);
    void loadArtistRanking();
    void loadSongRanking();
    // The chart the selector shows, asked for again.
    void reload();
    QString selectedKind() const;
    void activateRow(int index, const QString &type);
    void playArtist(const QString &artist);
    void clear();
    void retranslate();

signals:
    void playRequested(const QList<Song> &songs, int index);
    void songActivated(int songId);

private:
    ApiClient *m_client;
    const CataloguePages *m_catalogue;
    StatusLine *m_status;
    QListWidget *m_list;
    QComboBox *m_typeSelector;
};
