#pragma once

#include "MonitorLines.h"
#include "MonitorSearch.h"
#include "TextMetrics.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <optional>
#include <span>

class QMenu;

// The monitor of received data: a read-only line view that keeps its lines in a container and
// paints only the rows and the part of each row that are in view. A QPlainTextEdit lays out every
// line it shows whole, which for lines of 16 K characters costs seconds a screen.
//
// Appends are taken in by a refresh on the 30 ms repaint beat (at once after a quiet spell): widths
// are measured and the scroll bars set then, so lines that the 1000-line rule empties before it
// are never measured or painted.
// The view follows the newest line unless the user has scrolled up (or is selecting with the
// mouse), and follows again at the end and whenever its lines are replaced (Clear, the 1000-line
// rule, a loaded file, which is shown from its end).
// Text is painted in the palette's Text colour on its Base colour.
class MonitorView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit MonitorView(QWidget* parent = nullptr);

    // A text line in bytes of the code page (see MonitorLines::appendText).
    void appendLine(QByteArrayView line);
    // A "Binary" line: the text (a time stamp or nothing), then each byte as " XXh".
    void appendBinaryLine(const QString& text, std::span<const uint8_t> bytes);
    void clearLines();
    // A loaded file: replaces the content; the 1000-line rule applies from the next append.
    void setLines(const QStringList& lines, const QList<QByteArray>& original = {});
    // Every line, also those not yet painted.
    [[nodiscard]] QStringList lines() const { return m_lines.all(); }
    [[nodiscard]] int lineCount() const { return int(m_lines.count()); }
    [[nodiscard]] const MonitorLines& content() const { return m_lines; }

    // Takes in what was appended and schedules the repaint; the refresh timer calls it.
    void refresh();
    [[nodiscard]] bool following() const { return m_follow; }

    [[nodiscard]] TextPos anchor() const { return m_anchor; }
    [[nodiscard]] TextPos caret() const { return m_caret; }
    void setSelection(TextPos anchor, TextPos caret);
    [[nodiscard]] bool hasSelection() const { return m_anchor != m_caret; }
    // As shown, lines joined with the platform's line end.
    [[nodiscard]] QString selectedText() const;
    void copy() const;
    void selectAll();
    [[nodiscard]] QMenu* createContextMenu(QWidget* parent);

    // Where a character is in the viewport, and the place nearest a viewport point.
    [[nodiscard]] QRect characterRect(TextPos pos) const;
    [[nodiscard]] TextPos positionAt(QPoint point) const;
    void ensureVisible(TextPos pos);

    // Finding text as shown (see MonitorSearch): every match is highlighted, and the match gone to
    // is selected. Showing a match stops following the newest line; it follows again as usual.
    void setFindPattern(const QString& pattern, Qt::CaseSensitivity cs);
    // Here: the first match from the one gone to, else from the selection, else from the first row
    // in view. Next and Previous step from there, wrapping at the ends. False when nothing matches.
    enum class FindStep { Here, Next, Previous };
    bool find(FindStep step);
    [[nodiscard]] qint64 matchCount() const { return m_search.count(); }
    // The number of the match gone to, from 1; 0 when the selection is not that match any more.
    [[nodiscard]] qint64 currentMatch() const;

    // How many lines the monitor had held up to the last line painted so far; painted() follows
    // every paint. The benchmark reads the tail of a flood from them.
    [[nodiscard]] qint64 paintedThrough() const { return m_paintedThrough; }

signals:
    void painted();
    // The number of matches or the match gone to has changed.
    void matchesChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void added(qint64 removedBefore);
    void scheduleRefresh();
    void remeasure();
    void updateScrollBars();
    [[nodiscard]] int fullRows() const;
    [[nodiscard]] qreal contentLeft() const;
    void paintRow(QPainter& painter, qsizetype row, int y, qreal left, qreal right);
    void notifyAccessibility(bool replaced);
    void announceSelection(TextPos oldAnchor, TextPos oldCaret);

    MonitorLines m_lines;
    MonitorSearch m_search;
    std::optional<TextPos> m_match; // where the match gone to starts, while it is the selection
    TextMetrics m_metrics{font()};
    int m_rowHeight = 1;
    int m_ascent = 0;

    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
    qint64 m_removedAtRefresh = 0; // m_lines.removed() when last refreshed
    qsizetype m_measuredRows = 0;
    qreal m_widest = 0;
    bool m_follow = true;
    qsizetype m_announcedLength = 0; // the text length assistive technology was last told of
    qint64 m_paintedThrough = 0;

    TextPos m_anchor;
    TextPos m_caret;
    bool m_dragging = false;
    QElapsedTimer m_sinceDoubleClick; // a press soon after a double-click selects the line
    QPoint m_doubleClickPoint;
};
