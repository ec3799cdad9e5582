#pragma once

#include "LinkStats.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <vector>

// A reading of the link statistics as a table. It is taken on a timer, not per block, so that
// counting stays cheap: the table only changes when update() is called.
class LinkStatsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        DeviceId,
        Frames,
        Bytes,
        Lost,
        LossPercent,
        Duplicates,
        Restarts,
        LastKey,
        ReportsPerSecond,
        SilentFor,
        History, // drawn: the last five minutes of reports per second
        ColumnCount
    };
    // Numbers for the numeric columns, so they sort as numbers.
    static constexpr int kSortRole = Qt::UserRole;
    // True for the summary rows of other frames.
    static constexpr int kSummaryRole = Qt::UserRole + 1;
    // A row's RateHistory::Seconds up to the reading's time, in the History column.
    static constexpr int kHistoryRole = Qt::UserRole + 2;
    // True in the header of a column that is drawn rather than written, which a CSV file leaves out.
    static constexpr int kDrawnRole = Qt::UserRole + 3;
    static constexpr int64_t kGreyAfterMs = 5 * 60 * 1000;

    using QAbstractTableModel::QAbstractTableModel;

    // Rows new since the last reading are inserted, the others change in place (their indices
    // are stable), so selection and sorting survive a refresh.
    void update(const LinkStats& stats);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;

private:
    [[nodiscard]] QString text(const LinkRow& row, int column) const;
    [[nodiscard]] QVariant sortValue(const LinkRow& row, int column) const;

    std::vector<LinkRow> m_rows;
    int64_t m_nowMs = 0;
};

// Sorts by any column, with the summary rows of other frames always below the transmitters.
class LinkStatsSortModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit LinkStatsSortModel(QObject* parent = nullptr);

protected:
    [[nodiscard]] bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

// Writes the table as CSV in UTF-8: a header row, then every row in the model's order, as shown.
// Saved by replaceRegularFile, so a failed save leaves an old file as it was. Returns the error
// message, empty on success.
[[nodiscard]] QString saveTableCsv(const QString& path, const QAbstractItemModel& model);
