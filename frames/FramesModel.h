#pragma once

#include "FrameFilter.h"
#include "FrameLog.h"

#include <QAbstractTableModel>

#include <chrono>

// The frame log as a table, through a filter. The log grows on its own; the table announces the
// rows that came and went only when refresh() is called, so that a burst of frames costs the view
// one change, and a hidden window none.
class FramesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The bytes of a row's entry, for copying and sending again.
    static constexpr int kBytesRole = Qt::UserRole;

    explicit FramesModel(const FrameLog& log, QObject* parent = nullptr);

    // Builds the rows anew for another filter, or after the log was replaced.
    void setFilter(const FrameFilter& filter);
    [[nodiscard]] const FrameFilter& filter() const { return m_index.filter(); }
    // The same in steps: the rows stay as they are until a step finds the new ones complete.
    void startFilter(const FrameFilter& filter);
    // Filters on until the deadline; true when the rows are those of the new filter (or no
    // filter was being built).
    bool continueFilter(std::chrono::steady_clock::time_point deadline);
    [[nodiscard]] bool filtering() const { return m_index.filtering(); }
    [[nodiscard]] const FrameFilter& wantedFilter() const { return m_index.wantedFilter(); }
    // Removes the rows whose entries dropped out of the log and adds the rows of new entries that
    // pass the filter; true when rows were added.
    bool refresh();

    [[nodiscard]] const FrameIndex& frameIndex() const { return m_index; }
    // The entry of a row; null when it has dropped out of the log since the last refresh.
    [[nodiscard]] const FrameRecord* recordAt(int row) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;

private:
    const FrameLog& m_log;
    FrameIndex m_index;
    int m_rows = 0;
};
