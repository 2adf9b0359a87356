#include "searchbar.h"

#include "statusline.h"
#include "windowtext.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

namespace {

constexpr int PlacementDelayMs = 10;
constexpr int ButtonSize = 26;

} // namespace

SearchBar::SearchBar(StatusLine *status, QLineEdit *input, QComboBox *modeSelector, QObject *parent)
    : QObject(parent)
    , m_status(status)
    , m_input(input)
    , m_modeSelector(modeSelector)
    , m_button(new QPushButton(input))
{
    connect(m_input, &QLineEdit::returnPressed, this, &SearchBar::searchRequested);
    // A page that sets the mode, or the language refresh, does so silently (signals blocked).
    connect(m_modeSelector, &QComboBox::currentIndexChanged, this, [this](int index) { onModeChanged(index); });
    m_modeSelector->setCurrentIndex(0);
    // As wide as its longest item in every language: the form's fixed width cut "Online" short.
    m_modeSelector->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_modeSelector->setMaximumWidth(QWIDGETSIZE_MAX);

    m_button->setIcon(QIcon(QStringLiteral(":/icons/search.svg")));
    m_button->setIconSize(QSize(14, 14));
    m_button->setFixedSize(ButtonSize, ButtonSize);
    m_button->setCursor(Qt::PointingHandCursor);
    m_button->setStyleSheet(QStringLiteral("QPushButton {    background: transparent;    border: none;    "
                                           "border-radius: 12px;}QPushButton:hover {    background: "
                                           "rgba(255, 255, 255, 0.1);}"));
    connect(m_button, &QPushButton::clicked, this, &SearchBar::searchRequested);
    // The line edit has its final size only once the layout has run.
    QTimer::singleShot(PlacementDelayMs, this, &SearchBar::placeButton);
}

QString SearchBar::keyword() const
{
    return m_input->text().trimmed();
}

bool SearchBar::isLocalMode() const
{
    return m_modeSelector->currentIndex() != 0;
}

void SearchBar::setLocalMode(bool local)
{
    const QSignalBlocker blocker(m_modeSelector);
    m_modeSelector->setCurrentIndex(local ? 1 : 0);
}

void SearchBar::onModeChanged(int index)
{
    if (index != 0)
        m_status->show(WindowText::tr("切换到本地搜索"));
    else
        m_status->show(WindowText::tr("切换到网络搜索"));
}

void SearchBar::placeButton()
{
    const int w = m_input->width();
    const int h = m_input->height();
    if (w < 0 || h < 0)
        return;
    const int y = h > ButtonSize ? (h - ButtonSize) / 2 : 0;
    m_button->setGeometry(w - ButtonSize, y, ButtonSize, ButtonSize);
    m_button->raise();
}

void SearchBar::placeButtonOnResize()
{
    const int w = m_input->width();
    const int h = m_input->height();
    m_button->setGeometry(w - 35, (h - 30) / 2, 30, 30);
}

void SearchBar::retranslate()
{
    m_input->setPlaceholderText(WindowText::tr("搜索歌曲..."));
    const int searchMode = m_modeSelector->currentIndex();
    const QSignalBlocker blocker(m_modeSelector);
    m_modeSelector->clear();
    m_modeSelector->addItem(WindowText::tr("网络"));
    m_modeSelector->addItem(WindowText::tr("本地"));
    m_modeSelector->setCurrentIndex(searchMode);
}
