#include "statusline.h"

#include "windowtext.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QStyle>
#include <QMessageBox>
#include <QTimer>

namespace {

constexpr int StatusTimeoutMs = 3000;

} // namespace

StatusLine::StatusLine(QLabel *label, QObject *parent)
    : QObject(parent)
    , m_label(label)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &StatusLine::clear);
    // A long message (a failure naming its song) is cut at the header's buttons instead of
    // pushing them aside; its tool tip holds it whole. The stretch takes the header's free room.
    QSizePolicy policy(QSizePolicy::Ignored, m_label->sizePolicy().verticalPolicy());
    policy.setHorizontalStretch(1);
    m_label->setSizePolicy(policy);
    // The header's spacer would halve that room: the label itself is the stretch.
    if (QLayout *header = m_label->parentWidget() ? m_label->parentWidget()->layout() : nullptr) {
        for (int i = 0; i < header->count(); ++i) {
            if (QSpacerItem *spacer = header->itemAt(i)->spacerItem())
                spacer->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
        }
        header->invalidate();
    }
    // Painted here, elided with "…" at the label's width; text() keeps the whole message.
    m_label->installEventFilter(this);
}

QString StatusLine::shownText() const
{
    return m_label->fontMetrics().elidedText(m_label->text(), Qt::ElideRight, m_label->contentsRect().width());
}

bool StatusLine::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_label || event->type() != QEvent::Paint)
        return QObject::eventFilter(watched, event);
    QPainter painter(m_label);
    const Qt::Alignment alignment = QStyle::visualAlignment(m_label->layoutDirection(), m_label->alignment());
    m_label->style()->drawItemText(&painter, m_label->contentsRect(), int(alignment), m_label->palette(),
        m_label->isEnabled(), shownText(), m_label->foregroundRole());
    return true;
}

void StatusLine::show(const QString &message, bool isError, bool persistent)
{
    m_message = message;
    m_persistent = persistent;
    m_label->setText(message);
    m_label->setToolTip(message);
    m_timer->stop();
    if (!persistent)
        m_timer->start(StatusTimeoutMs);
    if (isError) {
        QMessageBox box(QMessageBox::Warning, WindowText::tr("提示"), message, QMessageBox::Ok);
        box.exec();
    }
}

void StatusLine::showNotice(const QString &message)
{
    // The loading message must stay visible until the load ends.
    if (m_persistent)
        return;
    m_label->setText(message);
    m_label->setToolTip(message);
    m_timer->stop();
    m_timer->start(StatusTimeoutMs);
}

void StatusLine::clear()
{
    if (!m_persistent) {
        m_label->clear();
        m_label->setToolTip(QString());
    }
}

void StatusLine::retranslate()
{
    // The source text, whatever language is shown now: only the untranslated line is replaced.
    if (m_label->text() == QStringLiteral("未播放"))
        m_label->setText(WindowText::notPlaying());
}
