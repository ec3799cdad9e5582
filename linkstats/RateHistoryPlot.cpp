#include "RateHistoryPlot.h"

#include "LinkStatsModel.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>

namespace {
int busiestSecond(const RateHistory::Seconds& seconds)
{
    int most = 1;
    for (const RateHistory::Second& s : seconds)
        most = std::max({most, int(s.reports), int(s.lost)});
    return most;
}

struct Totals {
    qulonglong reports = 0;
    qulonglong lost = 0;
};

Totals totalsOf(const RateHistory::Seconds& seconds)
{
    Totals t;
    for (const RateHistory::Second& s : seconds) {
        t.reports += s.reports;
        t.lost += s.lost;
    }
    return t;
}
} // namespace

void drawRateHistory(QPainter& painter, const QRect& area, const RateHistory::Seconds& seconds,
                     const QColor& lineColour)
{
    if (area.width() < 2 || area.height() < 2)
        return;
    const double most = busiestSecond(seconds);
    const int bottom = area.bottom();
    const double step = double(area.width()) / RateHistory::kSeconds;
    const auto x = [&](int i) { return area.left() + int((i + 0.5) * step); };
    const auto height = [&](int value) { return int(double(value) / most * (area.height() - 1) + 0.5); };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // A single lost report still shows beside a busy line: a bar is at least 3 pixels high.
    painter.setPen(QPen(QColor(220, 0, 0), std::max(1.0, step)));
    for (int i = 0; i < RateHistory::kSeconds; ++i) {
        if (const int lost = seconds[size_t(i)].lost; lost > 0)
            painter.drawLine(x(i), bottom, x(i), bottom - std::max(height(lost), 3));
    }
    QPolygon line(RateHistory::kSeconds);
    for (int i = 0; i < RateHistory::kSeconds; ++i)
        line.setPoint(i, x(i), bottom - height(seconds[size_t(i)].reports));
    painter.setPen(QPen(lineColour, 1));
    painter.drawPolyline(line);
    painter.restore();
}

void RateHistoryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    // The background and selection as for any cell, then the line inside a small margin.
    QStyledItemDelegate::paint(painter, option, index);
    const QVariant history = index.data(LinkStatsModel::kHistoryRole);
    if (!history.isValid())
        return;
    const QColor colour = option.palette.color(
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text);
    drawRateHistory(*painter, option.rect.adjusted(3, 3, -3, -3), history.value<RateHistory::Seconds>(),
                    colour);
}

RateHistoryView::RateHistoryView(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Reports per second over the last 5 minutes"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setMinimumHeight(90);
}

void RateHistoryView::showHistory(const QString& name, const RateHistory::Seconds& seconds)
{
    if (name == m_name && seconds == m_seconds)
        return;
    m_name = name;
    m_seconds = seconds;
    // What the drawing shows, for a screen reader.
    if (m_name.isEmpty()) {
        setAccessibleDescription(QStringLiteral("No row selected"));
    } else {
        const Totals t = totalsOf(m_seconds);
        setAccessibleDescription(QStringLiteral("%1: %2 reports, %3 lost, at most %4 in a second")
                                     .arg(m_name)
                                     .arg(t.reports)
                                     .arg(t.lost)
                                     .arg(busiestSecond(m_seconds)));
    }
    update();
}

QSize RateHistoryView::sizeHint() const
{
    return {400, 8 * fontMetrics().height()};
}

void RateHistoryView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics fm = fontMetrics();
    const QColor text = palette().color(QPalette::Text);
    const QColor axis = palette().color(QPalette::Mid);
    if (m_name.isEmpty()) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Select a row to see its last 5 minutes"));
        return;
    }
    const QString most = QString::number(busiestSecond(m_seconds));
    const int left = fm.horizontalAdvance(most) + 8;
    const int lineHeight = fm.height();
    const QRect plot(left, lineHeight + 4,
                     width() - left - fm.horizontalAdvance(QStringLiteral("now")) / 2 - 6,
                     height() - 2 * lineHeight - 10);
    p.setPen(text);
    p.drawText(QRect(left, 2, width() - left, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
               m_name + QStringLiteral(" — reports/s, lost in red"));
    p.drawText(QRect(0, plot.top() - lineHeight / 2, left - 4, lineHeight), Qt::AlignRight | Qt::AlignVCenter,
               most);
    p.drawText(QRect(0, plot.bottom() - lineHeight / 2, left - 4, lineHeight),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("0"));
    // A tick and a label for every minute back from now.
    for (int minute = 0; minute <= 5; ++minute) {
        const int x = plot.left() + plot.width() * (5 - minute) / 5;
        p.setPen(axis);
        p.drawLine(x, plot.top(), x, plot.bottom() + 3);
        p.setPen(text);
        const QString label = minute == 0 ? QStringLiteral("now") : QStringLiteral("-%1 min").arg(minute);
        const int w = fm.horizontalAdvance(label);
        p.drawText(QRect(std::max(0, x - w / 2), plot.bottom() + 4, w + 1, lineHeight), Qt::AlignCenter,
                   label);
    }
    p.setPen(axis);
    p.drawLine(plot.left(), plot.bottom(), plot.right(), plot.bottom());
    drawRateHistory(p, plot, m_seconds, palette().color(QPalette::Highlight));
}
