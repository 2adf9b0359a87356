#pragma once

#include "lrcparser.h"

#include <QList>
#include <QPalette>
#include <QRect>
#include <QString>
#include <QWidget>

// One row that a paint draws: the line, its rectangle and its emphasis.
struct LyricRow
{
    int line = -1;
    QRect rect;
    QPalette::ColorRole colorRole = QPalette::WindowText;
    bool bold = false;
};

// Shows the lyrics of the current song as a centred column around the line being sung.
// Owns the parsed lines; follows playback through updatePosition() and repaints only when
// the current line, the lyrics or the wheel offset change.
class LyricsWidget : public QWidget
{
    Q_OBJECT

public:
    // Rows drawn on each side of the current line.
    static constexpr int RowsAroundCurrent = 8;
    // The wheel shifts the column by at most this many pixels either way.
    static constexpr int MaxScrollOffset = 200;

    explicit LyricsWidget(QWidget *parent = nullptr);

    void setLyrics(const QString &lrcText);
    void clear();
    void updatePosition(qint64 positionMs);

    // Read-only views for the lyrics page and for tests.
    const QList<LyricLine> &lines() const { return m_lyrics.lines; }
    const ParsedLyrics &lyrics() const { return m_lyrics; }
    int currentLine() const { return m_currentLine; }
    int scrollOffset() const { return m_scrollOffset; }
    int lineHeight() const { return m_lineHeight; }
    int fontSize() const { return m_fontSize; }
    bool hasTimestamps() const { return m_lyrics.hasTimestamps; }
    // In a pause of the song: the column stays at the current line, drawn as sung.
    bool inGap() const { return m_inGap; }

    // The rows the next paint draws, top to bottom; empty when there are no lines.
    QList<LyricRow> rowLayout() const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    ParsedLyrics m_lyrics;
    int m_currentLine = -1;
    int m_scrollOffset = 0;
    int m_lineHeight = 35;
    int m_fontSize = 16;
    bool m_inGap = false;
};
