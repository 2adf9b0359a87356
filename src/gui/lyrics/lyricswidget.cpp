#include "lyricswidget.h"

#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

namespace {

// Font size follows the widget height within these bounds; a row is the font plus this gap.
constexpr int MinFontSize = 12;
constexpr int MaxFontSize = 24;
constexpr int HeightPerFontPoint = 20;
constexpr int RowGap = 15;
// Horizontal margin on each side of the text rows.
constexpr int SideMargin = 20;
// Qt reports wheel rotation in eighths of a degree; one degree moves the column one pixel.
constexpr int WheelUnitsPerPixel = 8;

} // namespace

LyricsWidget::LyricsWidget(QWidget *parent)
    : QWidget(parent)
{
    setMinimumHeight(200);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // The paint fills the whole area. A style sheet that makes the background transparent
    // clears this attribute again when it polishes the widget, so the parent shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LyricsWidget::setLyrics(const QString &lrcText)
{
    m_lyrics = ParsedLyrics();
    m_currentLine = -1;
    m_inGap = false;
    m_scrollOffset = 0; // a wheel offset belongs to the previous song
    if (!lrcText.isEmpty())
        m_lyrics = parseLrc(lrcText);
    update();
}

void LyricsWidget::clear()
{
    m_lyrics.lines.clear();
    m_lyrics.gaps.clear();
    m_currentLine = -1;
    m_inGap = false;
    m_scrollOffset = 0;
    update();
}

void LyricsWidget::updatePosition(qint64 positionMs)
{
    if (m_lyrics.lines.isEmpty() || !m_lyrics.hasTimestamps)
        return;

    const int current = currentLyricLine(m_lyrics.lines, positionMs);
    const bool gap = inLyricGap(m_lyrics, current, positionMs);
    if (current != m_currentLine || gap != m_inGap) {
        m_currentLine = current;
        m_inGap = gap;
        update();
    }
}

QList<LyricRow> LyricsWidget::rowLayout() const
{
    QList<LyricRow> rows;
    if (m_lyrics.lines.isEmpty())
        return rows;

    const int c = m_currentLine;
    const int n = int(m_lyrics.lines.size());
    const int first = c > RowsAroundCurrent ? c - RowsAroundCurrent : 0;
    const int rowsAbove = c > RowsAroundCurrent ? RowsAroundCurrent : c; // -1 with no current line
    const int last = c < 0 ? n - 1 : std::min(n - 1, c + RowsAroundCurrent);

    // The current line's row starts at the middle; with none, the first line starts a row below it.
    int y = height() / 2 - rowsAbove * m_lineHeight + m_scrollOffset;
    rows.reserve(last - first + 1);
    for (int i = first; i <= last; ++i) {
        LyricRow row;
        row.line = i;
        row.rect = QRect(SideMargin, y, width() - 2 * SideMargin, m_lineHeight);
        if (i == c && !m_inGap) {
            row.colorRole = QPalette::Highlight;
            row.bold = true;
        } else if (m_lyrics.hasTimestamps && i <= c) {
            // Sung already; in a pause after it the current line is one of them too.
            row.colorRole = QPalette::Mid;
        } else {
            row.colorRole = QPalette::WindowText;
        }
        rows.append(row);
        y += m_lineHeight;
    }
    return rows;
}

void LyricsWidget::mousePressEvent(QMouseEvent *event)
{
    // Swallowed so that a press here never starts dragging the frameless window.
    event->accept();
}

void LyricsWidget::wheelEvent(QWheelEvent *event)
{
    m_scrollOffset += event->angleDelta().y() / WheelUnitsPerPixel;
    m_scrollOffset = std::clamp(m_scrollOffset, -MaxScrollOffset, MaxScrollOffset);
    update();
    event->accept();
}

void LyricsWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette &pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Current, QPalette::Window));

    if (m_lyrics.lines.isEmpty()) {
        painter.setPen(pal.color(QPalette::Current, QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, tr("暂无歌词"));
        return;
    }

    QFont font = painter.font();
    font.setPointSize(m_fontSize);
    const QList<LyricRow> rows = rowLayout();
    for (const LyricRow &row : rows) {
        font.setWeight(row.bold ? QFont::Bold : QFont::Normal);
        painter.setFont(font);
        painter.setPen(pal.color(QPalette::Current, row.colorRole));
        painter.drawText(row.rect, Qt::AlignCenter | Qt::TextSingleLine, m_lyrics.lines.at(row.line).text);
    }
}

void LyricsWidget::resizeEvent(QResizeEvent *)
{
    // Rows follow the font only when the size changes, so a height giving the initial 16 points
    // keeps the initial 35-pixel rows.
    const int fontSize = std::clamp(height() / HeightPerFontPoint, MinFontSize, MaxFontSize);
    if (fontSize != m_fontSize) {
        m_fontSize = fontSize;
        m_lineHeight = fontSize + RowGap;
    }
}
