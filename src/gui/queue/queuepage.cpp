#include "queuepage.h"

#include "mainwindowhelpers.h"
#include "musicplayer.h"
#include "statusline.h"
#include "windowtext.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>

QueuePage::QueuePage(MusicPlayer *player, StatusLine *status, QListWidget *list, QLabel *info,
    QAbstractButton *playAllButton, QAbstractButton *clearButton, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_status(status)
    , m_list(list)
    , m_info(info)
    , m_playAllButton(playAllButton)
    , m_clearButton(clearButton)
{
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        const int index = item->data(ItemRole::ListIndex).toInt();
        if (index >= 0)
            m_player->play(index);
    });
    connect(m_playAllButton, &QAbstractButton::clicked, this, [this] {
        if (!m_songs.isEmpty())
            emit playRequested(m_songs, 0);
    });
    connect(m_clearButton, &QAbstractButton::clicked, this, [this] { clear(); });
}

void QueuePage::refresh()
{
    m_songs = m_player->playlist();
    m_list->clear();
    const int current = m_player->currentIndex();
    const QIcon icon(QStringLiteral(":/icons/music.svg"));
    for (int i = 0; i < m_songs.size(); ++i) {
        auto *item = new QListWidgetItem(icon, MainWindowHelpers::songRowText(m_songs.at(i)));
        item->setData(ItemRole::ListIndex, i);
        if (i == current)
            item->setBackground(CurrentRowColour);
        m_list->addItem(item);
    }
    m_info->setText(WindowText::songCount(m_songs.size()));
    emit countChanged();
}

void QueuePage::highlightCurrent()
{
    const int current = m_player->currentIndex();
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        const bool isCurrent = item->data(ItemRole::ListIndex).toInt() == current;
        item->setBackground(isCurrent ? QBrush(CurrentRowColour) : QBrush(Qt::transparent));
    }
}

void QueuePage::append(const Song &song)
{
    m_player->addToPlaylist(song);
    m_status->show(WindowText::tr("已添加: %1").arg(song.title));
}

void QueuePage::removeAt(int index)
{
    m_player->removeFromPlaylist(index);
    m_status->show(WindowText::tr("已移除"));
}

void QueuePage::clear()
{
    if (m_songs.isEmpty())
        return;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        nullptr, WindowText::tr("确认"), WindowText::tr("确定要清空播放列表吗？"), QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::No)
        return;
    m_player->clearPlaylist();
    refresh();
    m_status->show(WindowText::tr("播放列表已清空"));
}

void QueuePage::retranslate()
{
    m_playAllButton->setText(WindowText::tr("全部播放"));
    m_clearButton->setText(WindowText::tr("清空"));
    m_info->setText(WindowText::songCount(m_songs.size()));
}
