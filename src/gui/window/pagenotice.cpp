#include "pagenotice.h"

#include <QBoxLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

PageNotice::PageNotice(const QString &name, QListWidget *list)
    : QFrame(list->parentWidget())
    , m_text(new QLabel(this))
    , m_button(new QPushButton(this))
{
    setObjectName(name);
    m_text->setObjectName(name + QStringLiteral("Text"));
    m_button->setObjectName(name + QStringLiteral("Button"));
    setProperty("pageNotice", true); // the style sheets select notices by this
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_button->setCursor(Qt::PointingHandCursor);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_button, 0, Qt::AlignVCenter);
    connect(m_button, &QPushButton::clicked, this, &PageNotice::buttonClicked);
    if (auto *box = qobject_cast<QBoxLayout *>(list->parentWidget()->layout())) {
        const int at = box->indexOf(list);
        box->insertWidget(at < 0 ? 0 : at, this);
    }
    hide();
}

void PageNotice::showMessage(const QString &text, const QString &buttonText)
{
    m_text->setText(text);
    m_button->setText(buttonText);
    m_button->setVisible(!buttonText.isEmpty());
    setVisible(!text.isEmpty());
}

void PageNotice::clear()
{
    m_text->clear();
    hide();
}

QString PageNotice::text() const
{
    return m_text->text();
}
