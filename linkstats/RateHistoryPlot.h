#pragma once

#include "LinkStats.h"

#include <QStyledItemDelegate>
#include <QWidget>

class QPainter;

// Draws a row's reports per second as a line over `area`, scaled to its busiest second, with the
// reports found lost as red bars on the same scale where they were found. Both the table's small
// line and the larger drawing under it use it, so they read alike.
void drawRateHistory(QPainter& painter, const QRect& area, const RateHistory::Seconds& seconds,
                     const QColor& lineColour);

// The table's column of small lines, painted from the row's history role.
class RateHistoryDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// The selected row's history, large, with its scale and a time axis in minutes.
class RateHistoryView : public QWidget {
    Q_OBJECT
public:
    explicit RateHistoryView(QWidget* parent = nullptr);

    // A row's name and history; an empty name shows that no row is selected.
    void showHistory(const QString& name, const RateHistory::Seconds& seconds);
    [[nodiscard]] QString shownName() const { return m_name; }

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    RateHistory::Seconds m_seconds{};
};
