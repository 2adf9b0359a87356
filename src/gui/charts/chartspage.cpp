#include "chartspage.h"

#include "apiclient.h"
#include "cataloguepages.h"
#include "mainwindowhelpers.h"
#include "statusline.h"
#include "windowtext.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QListWidget>
#include <QSignalBlocker>

ChartsPage::ChartsPage(ApiClient *client, const CataloguePages *catalogue, StatusLine *status, QListWidget *list,
    QComboBox *typeSelector, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_catalogue(catalogue)
    , m_status(status)
    , m_list(list)
    , m_typeSelector(typeSelector)
{
    connect(m_list, &QListWidget::itemDoubleClicked, this,
        [this](QListWidgetItem *item) { activateRow(m_list->row(item), item->data(ItemRole::ChartKind).toString()); });
    connect(m_typeSelector, &QComboBox::currentIndexChanged, this, [this] { reload(); });
}

QString ChartsPage::selectedKind() const
{
    return m_typeSelector->currentIndex() == 1 ? ChartKind::Song : ChartKind::Artist;
}

void ChartsPage::reload()
{
    load(selectedKind());
}

void ChartsPage::load(const QString &type)
{
    if (type == ChartKind::Artist)
        loadArtistRanking();
    else
        loadSongRanking();
}

void ChartsPage::loadArtistRanking()
{
    m_client->getArtistRanking([this](const QJsonArray &rows) {
        m_list->clear();
        const QString songsWord = WindowText::tr("歌曲");
        const QString playWord = WindowText::tr("播放");
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonObject row = rows.at(i).toObject();
            auto *item = new QListWidgetItem(MainWindowHelpers::artistRankingRowText(i + 1, row, songsWord, playWord));
            item->setData(ItemRole::ListIndex, i);
            item->setData(ItemRole::ChartKind, ChartKind::Artist);
            item->setData(ItemRole::ChartArtist, row.value(QLatin1String("artist")).toString());
            m_list->addItem(item);
        }
        m_status->show(WindowText::tr("共 %1 位歌手").arg(rows.size()));
    });
}

void ChartsPage::loadSongRanking()
{
    m_client->getSongRanking([this](const QJsonArray &rows) {
        m_list->clear();
        const QString playWord = WindowText::tr("播放");
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonObject row = rows.at(i).toObject();
            auto *item = new QListWidgetItem(MainWindowHelpers::songRankingRowText(i + 1, row, playWord));
            item->setData(ItemRole::SongId, row.value(QLatin1String("id")).toInt());
            item->setData(ItemRole::ChartKind, ChartKind::Song);
            m_list->addItem(item);
        }
        m_status->show(WindowText::songCount(rows.size()));
    });
}

void ChartsPage::activateRow(int index, const QString &type)
{
    QListWidgetItem *item = m_list->item(index);
    if (!item)
        return;
    if (type == ChartKind::Artist)
        playArtist(item->data(ItemRole::ChartArtist).toString());
    else if (type == ChartKind::Song)
        emit songActivated(item->data(ItemRole::SongId).toInt());
}

void ChartsPage::playArtist(const QString &artist)
{
    QList<Song> songs;
    for (const Song &song : m_catalogue->songs()) {
        if (song.artist == artist)
            songs.append(song);
    }
    if (songs.isEmpty()) {
        m_status->show(WindowText::tr("歌手 %1 没有歌曲").arg(artist), true);
        return;
    }
    emit playRequested(songs, 0);
    m_status->show(WindowText::tr("正在播放 %1 的歌曲").arg(artist));
}

void ChartsPage::clear()
{
    m_list->clear();
}

void ChartsPage::retranslate()
{
    // Refilled silently, keeping the user's chart; then that chart once, for its row words.
    const int rankingType = m_typeSelector->currentIndex();
    {
        const QSignalBlocker blocker(m_typeSelector);
        m_typeSelector->clear();
        m_typeSelector->addItem(WindowText::tr("歌手排行"));
        m_typeSelector->addItem(WindowText::tr("歌曲排行"));
        m_typeSelector->setCurrentIndex(qMax(0, rankingType));
    }
    reload();
}
