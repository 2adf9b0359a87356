#include "queuepage.h"

#include "mainwindowhelpers.h"
#include "musicplayer.h"
#include "pagenotice.h"
#include "statusline.h"
#include "windowtext.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>

namespace {

const QString RowIcon = QStringLiteral(":/icons/music.svg");
// Drawn in a green dark enough for the light rows and light enough for the dark ones (over 3:1
// against both), where the dark sheet paints over the row tint.
const QString PlayingRowIcon = QStringLiteral(":/icons/now-playing.svg");

} // namespace

QueuePage::QueuePage(MusicPlayer *player, StatusLine *status, QListWidget *list, QLabel *info,
    QAbstractButton *playAllButton, QAbstractButton *clearButton, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_status(status)
    , m_list(list)
    , m_info(info)
    , m_playAllButton(playAllButton)
    , m_clearButton(clearButton)
    , m_notice(new PageNotice(QStringLiteral("queueNotice"), list))
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

    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &QueuePage::showRowMenu);
    m_list->installEventFilter(this);
}

bool QueuePage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        QListWidgetItem *item = m_list->currentItem();
        if (item && item->isSelected()) {
            removeAt(item->data(ItemRole::ListIndex).toInt());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// A popup, not a blocking exec(), so the player and the tests go on while it is open.
void QueuePage::showRowMenu(const QPoint &pos)
{
    QListWidgetItem *item = m_list->itemAt(pos);
    if (!item)
        return;
    const int index = item->data(ItemRole::ListIndex).toInt();
    auto *menu = new QMenu(m_list);
    menu->setObjectName(QStringLiteral("queueRowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *play = menu->addAction(WindowText::tr("播放"));
    QAction *next = menu->addAction(WindowText::tr("下一首播放"));
    QAction *remove = menu->addAction(WindowText::tr("从播放列表移除"));
    play->setObjectName(QStringLiteral("queuePlayAction"));
    next->setObjectName(QStringLiteral("queuePlayNextAction"));
    remove->setObjectName(QStringLiteral("queueRemoveAction"));
    // The queue can change while the menu is open; the entry is found again by its song.
    const Song song = m_songs.value(index);
    auto entry = [this, index, song]() -> int {
        const QList<Song> &queue = m_player->playlist();
        if (index < queue.size() && queue.at(index).id == song.id && queue.at(index).filePath == song.filePath)
            return index;
        return -1;
    };
    connect(play, &QAction::triggered, this, [this, entry] {
        const int i = entry();
        if (i >= 0)
            m_player->play(i);
    });
    connect(next, &QAction::triggered, this, [this, entry] {
        const int i = entry();
        if (i >= 0)
            playNext(i);
    });
    connect(remove, &QAction::triggered, this, [this, entry] {
        const int i = entry();
        if (i >= 0)
            removeAt(i);
    });
    menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void QueuePage::markRow(QListWidgetItem *item, bool current)
{
    item->setBackground(current ? QBrush(CurrentRowColour) : QBrush(Qt::transparent));
    item->setIcon(QIcon(current ? PlayingRowIcon : RowIcon));
    QFont font = item->font();
    font.setBold(current);
    item->setFont(font);
}

void QueuePage::refresh()
{
    m_songs = m_player->playlist();
    m_list->clear();
    const int current = m_player->currentIndex();
    for (int i = 0; i < m_songs.size(); ++i) {
        auto *item = new QListWidgetItem(MainWindowHelpers::songRowText(m_songs.at(i)));
        item->setData(ItemRole::ListIndex, i);
        markRow(item, i == current);
        m_list->addItem(item);
    }
    m_info->setText(WindowText::songCount(m_songs.size()));
    showNotice();
    emit countChanged();
}

void QueuePage::showNotice()
{
    if (m_songs.isEmpty())
        m_notice->showMessage(
            WindowText::tr("播放列表是空的。双击一首歌曲、一张专辑或排行榜中的一行，它就会出现在这里。"));
    else
        m_notice->clear();
}

void QueuePage::highlightCurrent()
{
    const int current = m_player->currentIndex();
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        markRow(item, item->data(ItemRole::ListIndex).toInt() == current);
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

void QueuePage::playNext(int index)
{
    const QString title = m_player->playlist().value(index).title;
    m_player->playNext(index);
    m_status->show(WindowText::tr("下一首播放: %1").arg(title));
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
    showNotice();
}
