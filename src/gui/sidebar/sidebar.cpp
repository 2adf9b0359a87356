#include "sidebar.h"

#include "mainwindowhelpers.h"
#include "windowtext.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDebug>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

const char *const TabIndexProperty = "tabIndex";

} // namespace

Sidebar::Sidebar(QWidget *tabContainer, QWidget *buttonParent)
    : QObject(buttonParent)
    , m_group(new QButtonGroup(buttonParent))
{
    m_group->setExclusive(true);

    auto *layout = qobject_cast<QVBoxLayout *>(tabContainer->layout());
    if (!layout)
        return;
    while (QLayoutItem *item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }

    const QStringList &names = MainWindowHelpers::tabNames();
    const QStringList &icons = MainWindowHelpers::tabIcons();
    for (int i = 0; i < names.size(); ++i) {
        // The charts have no count of their own.
        auto *button = new QPushButton(
            i == pageNumber(PageIndex::Charts) ? names.at(i) : QStringLiteral("%1 (0)").arg(names.at(i)), buttonParent);
        button->setCheckable(true);
        button->setProperty(TabIndexProperty, i);
        const QIcon icon(icons.value(i));
        if (!icon.isNull()) {
            button->setIcon(icon);
            button->setIconSize(QSize(20, 20));
        }
        m_group->addButton(button);
        layout->addWidget(button);
        m_buttons.append(button);
        qDebug() << WindowText::tr("添加标签页:") << i << names.at(i) << WindowText::tr("总按钮数:")
                 << m_buttons.size();
    }
    layout->addStretch(0);
    checkFirst();
    connect(m_group, &QButtonGroup::buttonClicked, this,
        [this](QAbstractButton *button) { emit tabClicked(button->property(TabIndexProperty).toInt()); });
    qDebug() << WindowText::tr("侧边栏布局数量:") << layout->count();
    qDebug() << WindowText::tr("m_tabButtons 大小:") << m_buttons.size();
}

int Sidebar::checkedIndex() const
{
    QAbstractButton *checked = m_group->checkedButton();
    return checked ? checked->property(TabIndexProperty).toInt() : 0;
}

void Sidebar::checkFirst()
{
    if (!m_buttons.isEmpty())
        m_buttons.first()->setChecked(true);
}

void Sidebar::setCounts(int albums, int songs, int queue, int local)
{
    const QStringList &names = MainWindowHelpers::tabNames();
    const QStringList &icons = MainWindowHelpers::tabIcons();
    const int counts[] = { albums, songs, queue, 0, local };
    for (QPushButton *button : std::as_const(m_buttons)) {
        const int c = button->property(TabIndexProperty).toInt();
        if (c < 0 || c >= names.size())
            continue;
        const QString name = WindowText::tr(names.at(c).toUtf8().constData());
        // The charts have no count of their own.
        const QString text
            = c == pageNumber(PageIndex::Charts) ? name : QStringLiteral("%1 (%2)").arg(name).arg(counts[c]);
        button->setText(text);
        const QIcon icon(icons.value(c));
        if (!icon.isNull()) {
            button->setIcon(icon);
            button->setIconSize(QSize(24, 24));
        }
    }
}

void Sidebar::retranslate()
{
    // The translated name with the count the label already shows.
    const QStringList &names = MainWindowHelpers::tabNames();
    static const QRegularExpression countPattern(QStringLiteral("\\((\\d+)\\)"));
    for (int i = 0; i < m_buttons.size() && i < names.size(); ++i) {
        QPushButton *button = m_buttons.at(i);
        if (!button)
            continue;
        const QRegularExpressionMatch match = countPattern.match(button->text());
        const QString count = match.hasMatch() ? match.captured(1) : QStringLiteral("0");
        const QString name = WindowText::tr(names.at(i).toUtf8().constData());
        button->setText(i == pageNumber(PageIndex::Charts) ? name : QStringLiteral("%1 (%2)").arg(name, count));
    }
}

QString Sidebar::switchMessage(int index)
{
    switch (static_cast<PageIndex>(index)) {
    case PageIndex::Albums:
        return WindowText::tr("已经切换到所有专辑");
    case PageIndex::Songs:
        return WindowText::tr("已经切换到全部歌曲");
    case PageIndex::Queue:
        return WindowText::tr("已经切换到播放列表");
    case PageIndex::Charts:
        return WindowText::tr("已经切换到排行榜");
    case PageIndex::Local:
        return WindowText::tr("已经切换到本地音乐");
    default:
        return QString();
    }
}
