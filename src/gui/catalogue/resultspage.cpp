#include "resultspage.h"

#include "mainwindowhelpers.h"
#include "windowtext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

ResultsPage::ResultsPage(QWidget *parent)
    : QWidget(parent)
    , m_heading(new QLabel(this))
    , m_back(new QPushButton(this))
    , m_notice(new QLabel(this))
    , m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("resultsView"));
    m_heading->setObjectName(QStringLiteral("resultsHeading"));
    m_back->setObjectName(QStringLiteral("resultsBackBtn"));
    m_notice->setObjectName(QStringLiteral("resultsNotice"));
    m_list->setObjectName(QStringLiteral("resultsList"));
    m_list->setAlternatingRowColors(true);
    m_list->setUniformItemSizes(true);
    m_back->setCursor(Qt::PointingHandCursor);
    m_heading->setTextFormat(Qt::PlainText);
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->hide();

    auto *header = new QHBoxLayout;
    header->addWidget(m_back);
    header->addWidget(m_heading, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 10, 15, 10);
    layout->addLayout(header);
    layout->addWidget(m_notice);
    layout->addWidget(m_list, 1);

    connect(m_back, &QPushButton::clicked, this, &ResultsPage::backRequested);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        const int id = item->data(ItemRole::SongId).toInt();
        if (id > 0)
            emit songActivated(id);
    });
    retranslate();
}

void ResultsPage::showSongs(Text heading, const QList<Song> &songs, Text emptyNotice, bool playCountTips)
{
    static const QIcon icon(QStringLiteral(":/icons/music.svg"));
    m_headingText = std::move(heading);
    m_noticeText = std::move(emptyNotice);
    m_empty = songs.isEmpty();
    m_list->clear();
    for (const Song &song : songs) {
        auto *item = new QListWidgetItem(icon, MainWindowHelpers::songRowText(song));
        item->setData(ItemRole::SongId, song.id);
        if (playCountTips && song.playCount > 0)
            item->setToolTip(WindowText::tr("播放次数: %1").arg(song.playCount));
        m_list->addItem(item);
    }
    showTexts();
}

void ResultsPage::showTexts()
{
    const QString heading = m_headingText ? m_headingText() : QString();
    m_heading->setText(heading);
    m_heading->setToolTip(heading);
    const QString notice = m_empty && m_noticeText ? m_noticeText() : QString();
    m_notice->setText(notice);
    m_notice->setVisible(!notice.isEmpty());
}

QString ResultsPage::heading() const
{
    return m_heading->text();
}

void ResultsPage::retranslate()
{
    m_back->setText(WindowText::tr("← 返回"));
    showTexts();
}
