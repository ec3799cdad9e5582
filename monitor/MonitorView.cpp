#include "MonitorView.h"

#include "MonitorAccessible.h"
#include "RepaintBeat.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>

#include <cmath>
#include <limits>
#include <memory>

namespace {
constexpr int kMargin = 4; // between the frame and the text
// Matches other than the one gone to: black on yellow, readable whatever the monitor's colours.
const QColor kMatchBackground(255, 214, 64);
const QColor kMatchText(Qt::black);

#ifdef Q_OS_WIN
constexpr QStringView kLineEnd = u"\r\n";
#else
constexpr QStringView kLineEnd = u"\n";
#endif

enum class Motion {
    PreviousChar,
    NextChar,
    PreviousLine,
    NextLine,
    PreviousPage,
    NextPage,
    LineStart,
    LineEnd,
    DocumentStart,
    DocumentEnd
};

struct KeyMotion {
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
    Motion motion;
};

constexpr KeyMotion kKeyMotions[] = {
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Motion::PreviousChar},
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Motion::NextChar},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Motion::PreviousLine},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Motion::NextLine},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Motion::PreviousPage},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Motion::NextPage},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Motion::LineStart},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Motion::LineEnd},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Motion::DocumentStart},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Motion::DocumentEnd},
};

// Plain scroll bars: while the view follows a stream they are repainted with every refresh, and
// the default style's gradients cost more than the text. The Windows style's, with a solid
// groove: its dotted one is filled on a thread pool.
class PlainScrollBarStyle : public QProxyStyle {
public:
    PlainScrollBarStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_ScrollBarAddPage || element == CE_ScrollBarSubPage)
            painter->fillRect(
                option->rect,
                option->palette.color(option->state & State_Sunken ? QPalette::Mid : QPalette::Midlight));
        else
            QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// Double-click selects a run of one class: letters and digits, blanks, or other characters.
int charClass(QChar c)
{
    if (c.isLetterOrNumber() || c == u'_')
        return 2;
    return c.isSpace() ? 1 : 0;
}
} // namespace

MonitorView::MonitorView(QWidget* parent) : QAbstractScrollArea(parent)
{
    installMonitorAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* plain = new PlainScrollBarStyle;
    plain->setParent(this);
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
        bar->setStyle(plain);
        // The style paints every pixel of the bar; a bar that is not opaque has the frame and
        // the main window behind it painted too, at each refresh.
        bar->setAttribute(Qt::WA_OpaquePaintEvent);
        // The scroll area lays its children out again at each change of a bar's range, which
        // repaints the other bar; with both bars always on, nothing moves but at a resize.
        disconnect(bar, &QScrollBar::rangeChanged, this, nullptr);
    }
    viewport()->setCursor(Qt::IBeamCursor);
    // The paint fills its area itself.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_refreshTimer, &QTimer::timeout, this, &MonitorView::refresh);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { m_follow = value >= verticalScrollBar()->maximum(); });
    m_sinceRefresh.start();
    remeasure();
}

void MonitorView::appendLine(QByteArrayView line)
{
    const qint64 removed = m_lines.removed();
    m_lines.appendText(line);
    added(removed);
}

void MonitorView::appendBinaryLine(const QString& text, std::span<const uint8_t> bytes)
{
    const qint64 removed = m_lines.removed();
    m_lines.append(text, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    added(removed);
}

void MonitorView::added(qint64 removedBefore)
{
    // The selection went with the lines the 1000-line rule emptied.
    if (m_lines.removed() != removedBefore)
        setSelection({}, {});
    scheduleRefresh();
}

void MonitorView::clearLines()
{
    m_lines.clear();
    setSelection({}, {});
    refresh();
}

void MonitorView::setLines(const QStringList& lines, const QList<QByteArray>& original)
{
    m_lines.assign(lines, original);
    setSelection({}, {});
    refresh();
}

void MonitorView::scheduleRefresh()
{
    // The first line after a quiet spell is shown at once, the rest on the repaint beat.
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start(repaintDelay(m_sinceRefresh));
}

void MonitorView::refresh()
{
    m_refreshTimer.stop();
    m_sinceRefresh.restart();
    const bool replaced = m_lines.removed() != m_removedAtRefresh;
    const qint64 matchesBefore = m_search.count();
    m_search.update(m_lines);
    if (replaced) {
        m_removedAtRefresh = m_lines.removed();
        m_measuredRows = 0;
        m_widest = 0;
        // What was scrolled to has gone; the view is at the end of what took its place. At the
        // top, the scroll bar's value does not change and would not turn following back on.
        m_follow = true;
    }
    const qsizetype firstNew = m_measuredRows;
    for (; m_measuredRows < m_lines.count(); ++m_measuredRows)
        m_widest = std::max(m_widest, m_metrics.width(m_lines.line(m_measuredRows)));
    // Following moves what is shown up (scrollContentsBy); only the new rows are painted.
    updateScrollBars();
    if (replaced) {
        viewport()->update();
    } else if (firstNew < m_lines.count()) {
        const int y = int(firstNew - verticalScrollBar()->value()) * m_rowHeight;
        viewport()->update(0, y, viewport()->width(), viewport()->height() - y);
    }
    notifyAccessibility(replaced);
    if (replaced || m_search.count() != matchesBefore)
        emit matchesChanged();
}

void MonitorView::setFindPattern(const QString& pattern, Qt::CaseSensitivity cs)
{
    m_search.setPattern(pattern, cs);
    m_search.update(m_lines);
    // A match selected before stays the one gone to, so that the next step goes on from it; one
    // the new text does not match is no longer selected (closing the bar leaves it).
    const bool wasMatch = m_match.has_value();
    m_match.reset();
    if (m_caret == TextPos{m_anchor.row, m_anchor.column + m_search.matchLength()} &&
        m_search.ordinal(m_lines, m_anchor) > 0)
        m_match = m_anchor;
    else if (wasMatch && !pattern.isEmpty())
        setSelection(m_anchor, m_anchor);
    viewport()->update();
    emit matchesChanged();
}

bool MonitorView::find(FindStep step)
{
    // Lines appended since the last refresh are searched and scrolled to as well.
    refresh();
    TextPos from{verticalScrollBar()->value(), 0};
    if (m_match)
        from = *m_match;
    else if (hasSelection())
        from = std::min(m_anchor, m_caret);
    std::optional<TextPos> found;
    switch (step) {
    case FindStep::Here:
        found = m_search.next(m_lines, from);
        break;
    case FindStep::Next:
        found = m_search.next(m_lines, m_match ? TextPos{from.row, from.column + 1} : from);
        break;
    case FindStep::Previous:
        found = m_search.previous(m_lines, from);
        break;
    }
    if (!found)
        return false;
    const TextPos end{found->row, found->column + m_search.matchLength()};
    setSelection(*found, end);
    m_match = *found;
    ensureVisible(end);
    ensureVisible(*found);
    // Set after scrolling: a match on the last page leaves the view at the end.
    m_follow = false;
    emit matchesChanged();
    return true;
}

qint64 MonitorView::currentMatch() const
{
    return m_match ? m_search.ordinal(m_lines, *m_match) : 0;
}

void MonitorView::remeasure()
{
    m_metrics = TextMetrics(font());
    const QFontMetrics metrics(TextMetrics::drawingFont(font()));
    m_rowHeight = std::max(1, metrics.lineSpacing());
    m_ascent = metrics.ascent();
    m_measuredRows = 0;
    m_widest = 0;
    horizontalScrollBar()->setSingleStep(std::max(1, int(std::lround(2 * m_metrics.spaceWidth()))));
    refresh();
}

int MonitorView::fullRows() const
{
    return std::max(1, viewport()->height() / m_rowHeight);
}

qreal MonitorView::contentLeft() const
{
    return horizontalScrollBar()->value() - kMargin;
}

void MonitorView::updateScrollBars()
{
    // A scroll bar repaints at every page step it is given, changed or not.
    const auto setPageStep = [](QScrollBar* bar, int step) {
        if (bar->pageStep() != step)
            bar->setPageStep(step);
    };
    QScrollBar* v = verticalScrollBar();
    const int rows = fullRows();
    setPageStep(v, rows);
    v->setRange(0, std::max(0, lineCount() - rows));
    // Not while the mouse selects: the lines would move away under it.
    if (m_follow && !m_dragging)
        v->setValue(v->maximum());
    QScrollBar* h = horizontalScrollBar();
    const int width = viewport()->width();
    setPageStep(h, width);
    h->setRange(0, int(std::clamp<qreal>(std::ceil(m_widest) + 2 * kMargin - width, 0,
                                         std::numeric_limits<int>::max())));
}

void MonitorView::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy * m_rowHeight);
}

void MonitorView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void MonitorView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        remeasure();
    else if (event->type() == QEvent::PaletteChange)
        viewport()->update();
}

bool MonitorView::event(QEvent* event)
{
    const bool handled = QAbstractScrollArea::event(event);
    if (event->type() == QEvent::Paint && hasFocus()) {
        // The focus shows as the frame in the highlight colour.
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::Highlight), lineWidth()));
        const qreal inset = lineWidth() / 2.0;
        p.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }
    return handled;
}

void MonitorView::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    const QRect area = event->rect();
    p.fillRect(area, palette().color(QPalette::Base));
    const qsizetype top = verticalScrollBar()->value();
    const qsizetype first = top + area.top() / m_rowHeight;
    const qsizetype last = std::min<qsizetype>(top + area.bottom() / m_rowHeight, m_lines.count() - 1);
    const qreal left = contentLeft() + area.left();
    for (qsizetype row = first; row <= last; ++row)
        paintRow(p, row, int(row - top) * m_rowHeight, left, left + area.width());
    if (hasFocus() && m_caret.row >= top && m_caret.row <= top + fullRows()) {
        const QRect caret = characterRect(m_caret);
        p.fillRect(QRect(caret.left(), caret.top(), 1, caret.height()), palette().color(QPalette::Text));
    }
    if (last >= first)
        m_paintedThrough = std::max(m_paintedThrough, m_lines.removed() + last + 1);
    emit painted();
}

void MonitorView::paintRow(QPainter& p, qsizetype row, int y, qreal left, qreal right)
{
    const LineRef line = m_lines.line(row);
    const TextMetrics::Slice slice = m_metrics.slice(line, left, right);
    const std::vector<qsizetype> matches = m_search.matchesIn(line);
    const qsizetype matchLength = m_search.matchLength();
    size_t nextMatch = 0;
    const auto matched = [&](qsizetype column) {
        while (nextMatch < matches.size() && matches[nextMatch] + matchLength <= column)
            ++nextMatch;
        return nextMatch < matches.size() && matches[nextMatch] <= column;
    };
    const auto [from, to] = std::minmax(m_anchor, m_caret);
    qsizetype selFrom = 0;
    qsizetype selTo = 0;
    if (from < to && from.row <= row && row <= to.row) {
        selFrom = row == from.row ? from.column : 0;
        // Past the end: the line end is selected too.
        selTo = row == to.row ? to.column : line.length() + 1;
    }
    const QColor text = palette().color(QPalette::Text);
    const QColor highlightedText = palette().color(QPalette::HighlightedText);
    const QBrush highlight = palette().brush(QPalette::Highlight);
    const qreal dx = -contentLeft();
    const qreal baseline = y + m_ascent;

    // Runs of characters drawn together: split where the selection or a match starts or ends, and
    // at tabs.
    enum class Look { Plain, Match, Selected };
    const QStringView shown = slice.text;
    qsizetype runStart = 0;
    qreal runX = slice.x;
    Look runLook = Look::Plain;
    const auto finish = [&](qsizetype end, qreal endX) {
        if (runLook == Look::Selected)
            p.fillRect(QRectF(runX + dx, y, endX - runX, m_rowHeight), highlight);
        else if (runLook == Look::Match)
            p.fillRect(QRectF(runX + dx, y, endX - runX, m_rowHeight), kMatchBackground);
        if (end > runStart && shown[runStart] != u'\t') {
            p.setPen(runLook == Look::Selected ? highlightedText
                     : runLook == Look::Match  ? kMatchText
                                               : text);
            m_metrics.draw(p, QPointF(runX + dx, baseline), shown.sliced(runStart, end - runStart));
        }
        runStart = end;
        runX = endX;
    };
    qreal x = slice.x;
    for (qsizetype i = 0; i < shown.size();) {
        const TextMetrics::Step step = m_metrics.step(shown, i, x);
        const qsizetype column = slice.column + i;
        const Look look = column >= selFrom && column < selTo ? Look::Selected
                          : matched(column)                   ? Look::Match
                                                              : Look::Plain;
        const bool tab = shown[i] == u'\t';
        if (look != runLook || tab) {
            finish(i, x);
            runLook = look;
        }
        x += step.width;
        i += step.length;
        if (tab)
            finish(i, x);
    }
    finish(shown.size(), x);
    if (selTo > line.length() && slice.column + slice.text.size() == line.length())
        p.fillRect(QRectF(x + dx, y, m_metrics.spaceWidth(), m_rowHeight), highlight);
}

QRect MonitorView::characterRect(TextPos pos) const
{
    if (m_lines.count() == 0)
        return {kMargin, 0, int(std::ceil(m_metrics.spaceWidth())), m_rowHeight};
    const LineRef line = m_lines.line(pos.row);
    const qreal x = m_metrics.xOf(line, pos.column);
    const qreal next = pos.column < line.length() ? m_metrics.xOf(line, line.nextColumn(pos.column))
                                                  : x + m_metrics.spaceWidth();
    const int y = int(pos.row - verticalScrollBar()->value()) * m_rowHeight;
    const qreal dx = -contentLeft();
    return QRectF(x + dx, y, next - x, m_rowHeight).toAlignedRect();
}

TextPos MonitorView::positionAt(QPoint point) const
{
    if (m_lines.count() == 0)
        return {};
    const auto row = qsizetype(verticalScrollBar()->value() + std::floor(double(point.y()) / m_rowHeight));
    const qsizetype clamped = std::clamp<qsizetype>(row, 0, m_lines.count() - 1);
    return {clamped, m_metrics.columnAt(m_lines.line(clamped), point.x() + contentLeft())};
}

void MonitorView::ensureVisible(TextPos pos)
{
    QScrollBar* v = verticalScrollBar();
    const int rows = fullRows();
    if (pos.row < v->value())
        v->setValue(int(pos.row));
    else if (pos.row >= v->value() + rows)
        v->setValue(int(pos.row) - rows + 1);
    if (m_lines.count() == 0)
        return;
    QScrollBar* h = horizontalScrollBar();
    const qreal x = m_metrics.xOf(m_lines.line(pos.row), pos.column);
    const int room = viewport()->width() - 2 * kMargin;
    if (x < h->value())
        h->setValue(int(std::floor(x)));
    else if (x > h->value() + room)
        h->setValue(int(std::ceil(x)) - room);
}

void MonitorView::setSelection(TextPos anchor, TextPos caret)
{
    const auto valid = [this](TextPos pos) -> TextPos {
        if (m_lines.count() == 0)
            return {};
        const qsizetype row = std::clamp<qsizetype>(pos.row, 0, m_lines.count() - 1);
        return {row, std::clamp<qsizetype>(pos.column, 0, m_lines.line(row).length())};
    };
    anchor = valid(anchor);
    caret = valid(caret);
    if (anchor == m_anchor && caret == m_caret)
        return;
    const TextPos oldAnchor = m_anchor;
    const TextPos oldCaret = m_caret;
    m_anchor = anchor;
    m_caret = caret;
    viewport()->update();
    announceSelection(oldAnchor, oldCaret);
    if (m_match && (m_anchor != *m_match ||
                    m_caret != TextPos{m_match->row, m_match->column + m_search.matchLength()})) {
        m_match.reset();
        emit matchesChanged();
    }
}

QString MonitorView::selectedText() const
{
    const auto [from, to] = std::minmax(m_anchor, m_caret);
    return m_lines.text(from, to, kLineEnd);
}

void MonitorView::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void MonitorView::selectAll()
{
    setSelection({}, m_lines.end());
}

QMenu* MonitorView::createContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    QAction* copyAction = menu->addAction(tr("&Copy"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    connect(copyAction, &QAction::triggered, this, [this] { copy(); });
    QAction* selectAllAction = menu->addAction(tr("Select &All"));
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setEnabled(m_lines.count() > 0);
    connect(selectAllAction, &QAction::triggered, this, &MonitorView::selectAll);
    return menu;
}

void MonitorView::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(createContextMenu(this));
    menu->exec(event->globalPos());
}

void MonitorView::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    for (const KeyMotion& k : kKeyMotions) {
        const bool select = event->matches(k.select);
        if (!select && !event->matches(k.move))
            continue;
        TextPos to = m_caret;
        if (m_lines.count() > 0) {
            const LineRef line = m_lines.line(to.row);
            const auto toRow = [&](qsizetype row) {
                row = std::clamp<qsizetype>(row, 0, m_lines.count() - 1);
                return TextPos{row, m_metrics.columnAt(m_lines.line(row), m_metrics.xOf(line, to.column))};
            };
            switch (k.motion) {
            case Motion::PreviousChar:
                if (to.column > 0)
                    to.column = line.previousColumn(to.column);
                else if (to.row > 0)
                    to = {to.row - 1, m_lines.line(to.row - 1).length()};
                break;
            case Motion::NextChar:
                if (to.column < line.length())
                    to.column = line.nextColumn(to.column);
                else if (to.row + 1 < m_lines.count())
                    to = {to.row + 1, 0};
                break;
            case Motion::PreviousLine:
                to = toRow(to.row - 1);
                break;
            case Motion::NextLine:
                to = toRow(to.row + 1);
                break;
            case Motion::PreviousPage:
                to = toRow(to.row - fullRows());
                break;
            case Motion::NextPage:
                to = toRow(to.row + fullRows());
                break;
            case Motion::LineStart:
                to.column = 0;
                break;
            case Motion::LineEnd:
                to.column = line.length();
                break;
            case Motion::DocumentStart:
                to = {};
                break;
            case Motion::DocumentEnd:
                to = m_lines.end();
                break;
            }
        }
        setSelection(select ? m_anchor : to, to);
        ensureVisible(to);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void MonitorView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const TextPos pos = positionAt(point);
    if (m_sinceDoubleClick.isValid() && !m_sinceDoubleClick.hasExpired(QApplication::doubleClickInterval()) &&
        (point - m_doubleClickPoint).manhattanLength() < QApplication::startDragDistance()) {
        m_sinceDoubleClick.invalidate();
        setSelection({pos.row, 0}, {pos.row, m_lines.count() > 0 ? m_lines.line(pos.row).length() : 0});
        return;
    }
    setSelection(event->modifiers() & Qt::ShiftModifier ? m_anchor : pos, pos);
    m_dragging = true;
}

void MonitorView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    const TextPos pos = positionAt(event->position().toPoint());
    setSelection(m_anchor, pos);
    ensureVisible(pos);
}

void MonitorView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    updateScrollBars();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void MonitorView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_lines.count() == 0)
        return;
    const TextPos pos = positionAt(event->position().toPoint());
    const LineRef line = m_lines.line(pos.row);
    if (line.length() == 0)
        return;
    const qsizetype at = std::min(pos.column, line.length() - 1);
    const int cls = charClass(line.at(at));
    qsizetype from = at;
    while (from > 0 && charClass(line.at(from - 1)) == cls)
        --from;
    qsizetype to = at + 1;
    while (to < line.length() && charClass(line.at(to)) == cls)
        ++to;
    setSelection({pos.row, from}, {pos.row, to});
    m_sinceDoubleClick.start();
    m_doubleClickPoint = event->position().toPoint();
}

void MonitorView::announceSelection(TextPos oldAnchor, TextPos oldCaret)
{
    if (!QAccessible::isActive())
        return;
    if (m_caret != oldCaret) {
        QAccessibleTextCursorEvent moved(this, int(m_lines.offsetOf(m_caret)));
        QAccessible::updateAccessibility(&moved);
    }
    if (std::minmax(m_anchor, m_caret) != std::minmax(oldAnchor, oldCaret)) {
        const auto [from, to] = std::minmax(m_anchor, m_caret);
        QAccessibleTextSelectionEvent selected(this, int(m_lines.offsetOf(from)), int(m_lines.offsetOf(to)));
        QAccessible::updateAccessibility(&selected);
    }
}

void MonitorView::notifyAccessibility(bool replaced)
{
    const qsizetype length = m_lines.textLength();
    if (QAccessible::isActive()) {
        if (replaced) {
            // What went is gone; its length is what counts, as in Qt's own text views.
            QAccessibleTextUpdateEvent update(this, 0, QString(m_announcedLength, u' '),
                                              m_lines.text({}, m_lines.end(), u"\n"));
            QAccessible::updateAccessibility(&update);
        } else if (length > m_announcedLength) {
            QAccessibleTextInsertEvent insert(
                this, int(m_announcedLength),
                m_lines.text(m_lines.posAt(m_announcedLength), m_lines.end(), u"\n"));
            QAccessible::updateAccessibility(&insert);
        }
    }
    m_announcedLength = length;
}
