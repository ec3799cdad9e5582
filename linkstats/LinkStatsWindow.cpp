#include "LinkStatsWindow.h"

#include "Dialogs.h"
#include "Fonts.h"
#include "MakeChild.h"
#include "Placement.h"
#include "RateHistoryPlot.h"
#include "Tick.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

LinkStatsWindow::LinkStatsWindow(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("linkStatsWindow"));
    setWindowTitle(QStringLiteral("Link Statistics"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(uiFont());

    m_sorted.setSourceModel(&m_model);
    statsTable = makeChild<QTableView>(this, QStringLiteral("statsTable"));
    statsTable->setModel(&m_sorted);
    statsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    statsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    statsTable->setWordWrap(false);
    statsTable->verticalHeader()->hide();
    statsTable->verticalHeader()->setDefaultSectionSize(20);
    statsTable->horizontalHeader()->setStretchLastSection(true);
    statsTable->setSortingEnabled(true);
    statsTable->sortByColumn(LinkStatsModel::DeviceId, Qt::AscendingOrder);
    statsTable->setItemDelegateForColumn(LinkStatsModel::History, new RateHistoryDelegate(statsTable));
    historyView = makeChild<RateHistoryView>(this, QStringLiteral("historyView"));

    resetButton = makeChild<QPushButton>(this, QStringLiteral("resetButton"));
    resetButton->setText(QStringLiteral("Reset"));
    saveAsButton = makeChild<QPushButton>(this, QStringLiteral("saveAsButton"));
    saveAsButton->setText(QStringLiteral("Save As..."));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(resetButton);
    buttons->addStretch(1);
    buttons->addWidget(saveAsButton);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(statsTable, 1);
    column->addWidget(historyView);
    column->addLayout(buttons);
    // Every column as wide as its header needs (the device ID as its 15 characters), so that the
    // whole table fits the window at the start.
    QHeaderView* header = statsTable->horizontalHeader();
    int tableWidth = 2 * statsTable->frameWidth() + statsTable->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < m_model.columnCount(); ++c) {
        // The small drawing gets a pixel for every two seconds.
        const int needed =
            c == LinkStatsModel::DeviceId
                ? statsTable->fontMetrics().horizontalAdvance(QStringLiteral("DDh DDh DDh DDh")) + 12
            : c == LinkStatsModel::History
                ? std::max(RateHistory::kSeconds / 2, header->sectionSizeHint(c) + 8)
                : header->sectionSizeHint(c) + 8;
        statsTable->setColumnWidth(c, needed);
        tableWidth += needed;
    }
    resize(tableWidth + column->contentsMargins().left() + column->contentsMargins().right(),
           360 + historyView->sizeHint().height());

    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &LinkStatsWindow::refresh);
    connect(resetButton, &QPushButton::clicked, this, &LinkStatsWindow::onResetClicked);
    connect(saveAsButton, &QPushButton::clicked, this, &LinkStatsWindow::onSaveAsClicked);
    connect(statsTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LinkStatsWindow::showSelectedHistory);
}

void LinkStatsWindow::showSelectedHistory()
{
    // The focus alone makes a row current without selecting it: only a selected row is drawn.
    const QModelIndexList selected = statsTable->selectionModel()->selectedRows(LinkStatsModel::DeviceId);
    if (selected.isEmpty()) {
        historyView->showHistory({}, {});
        return;
    }
    const QModelIndex row = selected.first();
    historyView->showHistory(row.data().toString(), row.siblingAtColumn(LinkStatsModel::History)
                                                        .data(LinkStatsModel::kHistoryRole)
                                                        .value<RateHistory::Seconds>());
}

void LinkStatsWindow::countReceivedBlock(std::span<const uint8_t> block)
{
    m_stats.count(block, tickCount());
}

void LinkStatsWindow::showInFront()
{
    show();
    raise();
    activateWindow();
}

void LinkStatsWindow::refresh()
{
    m_stats.advance(tickCount());
    m_model.update(m_stats);
    showSelectedHistory();
}

void LinkStatsWindow::onResetClicked()
{
    m_stats.clear();
    refresh();
}

void LinkStatsWindow::onSaveAsClicked()
{
    refresh();
    const QString path = chooseCsvFile(
        this, true, m_saveFileName.isEmpty() ? QStringLiteral("linkstats.csv") : m_saveFileName);
    if (path.isEmpty())
        return;
    if (const QString error = saveTableCsv(path, m_sorted); !error.isEmpty()) {
        showError(this, error);
        return;
    }
    m_saveFileName = path;
}

void LinkStatsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_placed) {
        m_placed = true;
        centreOverOwner(this);
    }
    refresh();
    m_refresh.start();
}

void LinkStatsWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Minimised, the window is still open; closed, its table is not worth keeping up to date.
    if (!event->spontaneous())
        m_refresh.stop();
}
