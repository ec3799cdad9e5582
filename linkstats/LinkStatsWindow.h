#pragma once

#include "LinkStats.h"
#include "LinkStatsModel.h"

#include <QTimer>
#include <QWidget>

#include <span>

class QPushButton;
class RateHistoryView;
class QTableView;

// Link statistics per transmitter: a tool window created hidden at start-up. It counts every
// received block whether shown or not; its table is read from the counts only while it is shown.
class LinkStatsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 500;

    explicit LinkStatsWindow(QWidget* owner = nullptr);

    // Every block the monitor receives, key report or not.
    void countReceivedBlock(std::span<const uint8_t> block);
    [[nodiscard]] const LinkStats& stats() const { return m_stats; }

    // Shows the window, or brings it to the front when it is shown already.
    void showInFront();

public slots:
    // Reads the counts into the table now; the timer does it every 500 ms while the window is shown.
    void refresh();
    void onResetClicked();
    void onSaveAsClicked();
    // Draws the selected row's history under the table.
    void showSelectedHistory();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    LinkStats m_stats;
    LinkStatsModel m_model;
    LinkStatsSortModel m_sorted;
    QTableView* statsTable = nullptr;
    RateHistoryView* historyView = nullptr;
    QPushButton* resetButton = nullptr;
    QPushButton* saveAsButton = nullptr;
    QTimer m_refresh;
    QString m_saveFileName;
    bool m_placed = false; // centred over the main window once, on the first showing
};
