#include "MonitorAccessible.h"

#include "MonitorView.h"

#include <QAccessibleWidget>
#include <QTextBoundaryFinder>

namespace {
// The monitor's text for assistive technology: its lines as shown, joined by '\n'.
class MonitorAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit MonitorAccessible(MonitorView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0 || !view()->hasSelection())
            return;
        const TextPos anchor = view()->anchor();
        const TextPos caret = view()->caret();
        *startOffset = offsetOf(std::min(anchor, caret));
        *endOffset = offsetOf(std::max(anchor, caret));
    }
    int selectionCount() const override { return view()->hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            view()->setSelection(view()->caret(), view()->caret());
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0)
            view()->setSelection(posAt(startOffset), posAt(endOffset));
    }

    int cursorPosition() const override { return offsetOf(view()->caret()); }
    void setCursorPosition(int position) override
    {
        view()->setSelection(posAt(position), posAt(position));
        view()->ensureVisible(posAt(position));
    }

    QString text(int startOffset, int endOffset) const override
    {
        return lines().text(posAt(startOffset), posAt(endOffset), u"\n");
    }
    int characterCount() const override { return int(lines().textLength()); }

    // Every boundary but NoBoundary is looked for within the line of the offset, so no call builds
    // the text of the whole monitor.
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                         int* endOffset) const override
    {
        const int count = characterCount();
        offset = std::clamp(offset, 0, count);
        if (type == QAccessible::NoBoundary || lines().count() == 0) {
            *startOffset = 0;
            *endOffset = count;
            return text(0, count);
        }
        const qsizetype row = posAt(offset).row;
        const int lineStart = offsetOf({row, 0});
        QString line = shownText(lines().line(row).toString());
        if (row + 1 < lines().count())
            line += u'\n';
        int from = 0;
        int to = int(line.size());
        if (type != QAccessible::LineBoundary && type != QAccessible::ParagraphBoundary) {
            QTextBoundaryFinder finder(type == QAccessible::CharBoundary   ? QTextBoundaryFinder::Grapheme
                                       : type == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                                                           : QTextBoundaryFinder::Sentence,
                                       line);
            const int at = offset - lineStart;
            finder.setPosition(at);
            from = finder.isAtBoundary() ? at : std::max<int>(0, int(finder.toPreviousBoundary()));
            finder.setPosition(at);
            const qsizetype next = finder.toNextBoundary();
            to = next < 0 ? int(line.size()) : int(next);
        }
        *startOffset = lineStart + from;
        *endOffset = lineStart + to;
        return line.mid(from, to - from);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                             int* endOffset) const override
    {
        int from = 0;
        int to = 0;
        textAtOffset(offset, type, &from, &to);
        if (from == 0 || type == QAccessible::NoBoundary) {
            *startOffset = *endOffset = 0;
            return {};
        }
        return textAtOffset(from - 1, type, startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                            int* endOffset) const override
    {
        int from = 0;
        int to = 0;
        textAtOffset(offset, type, &from, &to);
        if (to >= characterCount() || type == QAccessible::NoBoundary) {
            *startOffset = *endOffset = characterCount();
            return {};
        }
        return textAtOffset(to, type, startOffset, endOffset);
    }

    QRect characterRect(int offset) const override
    {
        const QRect r = view()->characterRect(posAt(offset));
        return {view()->viewport()->mapToGlobal(r.topLeft()), r.size()};
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        const QPoint local = view()->viewport()->mapFromGlobal(point);
        if (!view()->viewport()->rect().contains(local))
            return -1;
        return offsetOf(view()->positionAt(local));
    }
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        view()->ensureVisible(posAt(endIndex));
        view()->ensureVisible(posAt(startIndex));
    }
    QString attributes(int, int* startOffset, int* endOffset) const override
    {
        // One font and colour throughout.
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    MonitorView* view() const { return static_cast<MonitorView*>(widget()); }
    const MonitorLines& lines() const { return view()->content(); }
    int offsetOf(TextPos pos) const { return int(lines().offsetOf(pos)); }
    TextPos posAt(int offset) const { return lines().posAt(offset); }
};

QAccessibleInterface* monitorInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("MonitorView"))
        if (auto* view = qobject_cast<MonitorView*>(object))
            return new MonitorAccessible(view);
    return nullptr;
}
} // namespace

void installMonitorAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(monitorInterface);
        return true;
    }();
    (void)installed;
}
